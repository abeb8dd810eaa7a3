#include "views/NoticeBanner.h"

#include "toolkit/Alerts.h"
#include "toolkit/Fonts.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Shapes.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/TextButton.h"
#include "toolkit/Theme.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>

#include <cmath>

namespace {

// Lined up with the input line's rounded field under it.
constexpr int outerSide = 16;
constexpr int outerTop = 10;
constexpr int padding = 12;
constexpr qreal radius = 12;
constexpr qreal signSize = 16;
constexpr int signGap = 8;
constexpr qreal closeSize = 14;
constexpr int actionGap = 4;

} // namespace

NoticeBanner::NoticeBanner(QWidget *parent) : QWidget(parent)
{
    Alerts::exposeAsAlert("NoticeBanner");

    setFont(Fonts::rounded(13));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_sign = new SymbolLabel(
        Symbol::ExclamationmarkTriangleFill, signSize,
        [](const Theme &theme) { return theme.red(); }, this);
    m_action = new TextButton(QString(), this);
    m_action->hide();
    connect(m_action, &TextButton::clicked, this, &NoticeBanner::actionClicked);
    m_close = new PlainButton(Symbol::Xmark, closeSize, this);
    m_close->setAccessibleName(tr("Cerrar aviso"));
    m_close->setFocusPolicy(Qt::TabFocus);
    m_close->hide();
    connect(m_close, &PlainButton::clicked, this, &NoticeBanner::closeClicked);
    updateCloseColor();
}

void NoticeBanner::setMessage(const QString &message, const QString &actionText)
{
    const bool isNews = message != m_message;
    m_message = message;
    setAccessibleName(message);
    m_action->setText(actionText);
    m_action->setAccessibleName(actionText);
    m_action->setVisible(!actionText.isEmpty());
    updateGeometry();
    placeChildren();
    update();
    if (isNews && isVisible()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void NoticeBanner::setClosable(bool closable)
{
    m_close->setVisible(closable);
    placeChildren();
    update();
}

qreal NoticeBanner::textWidth(int width) const
{
    const qreal closeRoom = m_close->isVisibleTo(this) ? closeSize + signGap : 0;
    return std::max<qreal>(40,
                           width - 2 * outerSide - 2 * padding - signSize - signGap - closeRoom);
}

qreal NoticeBanner::textHeight(int width) const
{
    const QRectF bounds(0, 0, textWidth(width), 1e6);
    return QFontMetricsF(font()).boundingRect(bounds, Qt::TextWordWrap, m_message).height();
}

int NoticeBanner::heightForWidth(int width) const
{
    qreal height = outerTop + 2 * padding + textHeight(width);
    if (m_action->isVisibleTo(this))
        height += actionGap + m_action->sizeHint().height();
    return int(std::ceil(height));
}

QSize NoticeBanner::sizeHint() const
{
    const int width = 320;
    return {width, heightForWidth(width)};
}

QRectF NoticeBanner::boxRect() const
{
    return QRectF(rect()).adjusted(outerSide, outerTop, -outerSide, 0);
}

void NoticeBanner::placeChildren()
{
    const QRectF box = boxRect();
    const qreal lineHeight = QFontMetricsF(font()).height();
    const qreal textLeft = box.left() + padding + signSize + signGap;
    const qreal firstLineMiddle = box.top() + padding + lineHeight / 2;
    m_sign->setGeometry(
        QRectF(box.left() + padding, firstLineMiddle - signSize / 2, signSize, signSize)
            .toAlignedRect());
    m_close->setGeometry(QRectF(box.right() - padding - closeSize, firstLineMiddle - closeSize / 2,
                                closeSize, closeSize)
                             .toAlignedRect());
    // The action's label starts where the text does; its tinted capsule reaches out left.
    const QSize action = m_action->sizeHint();
    const int textBottom = int(std::ceil(box.top() + padding + textHeight(width())));
    m_action->setGeometry(int(textLeft) - 8, textBottom + actionGap, action.width(),
                          action.height());
}

void NoticeBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const QRectF box = boxRect();
    Shapes::fillRoundedRect(painter, box, radius, theme.red(0.10));
    painter.setPen(QPen(theme.red(0.30), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Shapes::continuousRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius));
    painter.setPen(theme.primary());
    const QRectF text(box.left() + padding + signSize + signGap, box.top() + padding,
                      textWidth(width()), textHeight(width()));
    painter.drawText(text, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, m_message);
}

void NoticeBanner::resizeEvent(QResizeEvent *)
{
    placeChildren();
}

void NoticeBanner::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateCloseColor();
    QWidget::changeEvent(event);
}

void NoticeBanner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The bridge tells of a newly shown alert, which screen readers then read out.
    Alerts::announce(this);
}

void NoticeBanner::updateCloseColor()
{
    m_close->setColor(Theme::of(this).secondary());
}
