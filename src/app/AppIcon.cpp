#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace AppIcon {

void paint(QPainter &painter, const QRectF &target)
{
    // The drawing lives on a 256-unit square, as in the SVG.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(target.topLeft());
    painter.scale(target.width() / 256.0, target.height() / 256.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.52f, 0.65f, 0.95f));
    painter.drawEllipse(QPointF(128, 128), 120, 120);

    QPen pen(Qt::white, 13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const qreal y : {88.0, 128.0, 168.0}) {
        QPainterPath check;
        check.moveTo(60, y);
        check.lineTo(72, y + 11);
        check.lineTo(94, y - 11);
        painter.drawPath(check);
        painter.drawLine(QPointF(116, y), QPointF(194, y));
    }
    painter.restore();
}

QIcon icon()
{
    QIcon result;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(painter, QRectF(0, 0, size, size));
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace AppIcon
