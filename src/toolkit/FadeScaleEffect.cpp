#include "toolkit/FadeScaleEffect.h"

#include <QPainter>

#include <algorithm>

FadeScaleEffect::FadeScaleEffect(qreal minimumScale, QObject *parent)
    : QGraphicsEffect(parent), m_minimumScale(minimumScale)
{
}

void FadeScaleEffect::setPresence(qreal presence)
{
    presence = std::clamp(presence, 0.0, 1.0);
    if (qFuzzyCompare(presence, m_presence))
        return;
    m_presence = presence;
    update();
}

void FadeScaleEffect::draw(QPainter *painter)
{
    if (m_presence <= 0.0)
        return;
    if (m_presence >= 1.0) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset);
    if (pixmap.isNull())
        return;
    const QSizeF size = pixmap.deviceIndependentSize();
    const QPointF centre = QPointF(offset) + QPointF(size.width() / 2, size.height() / 2);
    const qreal scale = m_minimumScale + (1.0 - m_minimumScale) * m_presence;

    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * m_presence);
    painter->translate(centre);
    painter->scale(scale, scale);
    painter->translate(-centre);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}
