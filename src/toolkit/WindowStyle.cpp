#include "toolkit/WindowStyle.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace {

// Menus: the panel's inner padding, an item's height and side padding, the icon's size and
// the gap after it, the corner radius of the highlight.
constexpr int menuPadding = 5;
constexpr int menuItemHeight = 26;
constexpr int menuSeparatorHeight = 9;
constexpr int itemPadding = 8;
constexpr int iconSize = 16;
constexpr int iconGap = 8;
constexpr int shortcutGap = 24;
constexpr qreal highlightRadius = 5;

// Scroll bars: the bar's width, the handle's thickness at rest and under the pointer, its
// shortest length and its inset from the bar's ends.
constexpr int scrollBarExtent = 10;
constexpr qreal handleThickness = 6;
constexpr qreal activeHandleThickness = 8;
constexpr int handleMinimumLength = 32;
constexpr qreal handleInset = 2;

Theme themeFor(const QStyleOption *option, const QWidget *widget)
{
    return widget ? Theme::of(widget) : Theme(Theme::isDark(option->palette));
}

// The icon in one colour: its shape (alpha) filled with `color`, as the platform's template
// images are, so that it turns white with the highlighted item's text.
QPixmap tinted(const QIcon &icon, qreal devicePixelRatio, const QColor &color)
{
    QImage image = icon.pixmap(QSize(iconSize, iconSize), devicePixelRatio)
                       .toImage()
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    return QPixmap::fromImage(image);
}

QPainterPath menuShape(const QRectF &rect)
{
    return Shapes::continuousRoundedRect(rect, WindowStyle::menuRadius);
}

void drawMenuItem(const QStyleOptionMenuItem &item, QPainter &painter, const Theme &theme,
                  const QWidget *widget)
{
    const QRect rect = item.rect;
    if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = rect.center().y();
        painter.fillRect(QRect(rect.left() + itemPadding, y, rect.width() - 2 * itemPadding, 1),
                         theme.separator(1.5));
        return;
    }
    const bool enabled = item.state & QStyle::State_Enabled;
    const bool selected = enabled && (item.state & QStyle::State_Selected);
    if (selected) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(Shapes::continuousRoundedRect(rect, highlightRadius),
                         theme.menuSelection());
        painter.restore();
    }
    const QColor text = !enabled   ? theme.tertiary()
                        : selected ? QColor(Qt::white)
                                   : theme.primary();
    int x = rect.left() + itemPadding;
    if (item.maxIconWidth > 0) {
        if (!item.icon.isNull()) {
            const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
            const QPoint at(x, rect.top() + (rect.height() - iconSize) / 2);
            painter.drawPixmap(at, tinted(item.icon, dpr, text));
        }
        x += iconSize + iconGap;
    }

    // "Label\tShortcut": the label after the icon, the shortcut at the right end, softer.
    const QString label = item.text.section(QLatin1Char('\t'), 0, 0);
    const QString shortcut = item.text.section(QLatin1Char('\t'), 1);
    const int mnemonic =
        widget && widget->style()->styleHint(QStyle::SH_UnderlineShortcut, &item, widget)
            ? Qt::TextShowMnemonic
            : Qt::TextHideMnemonic;
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine | mnemonic;
    const QRect textRect(x, rect.top(), rect.right() - itemPadding - x, rect.height());
    painter.setFont(item.font);
    painter.setPen(text);
    painter.drawText(textRect, flags | Qt::AlignLeft, label);
    if (!shortcut.isEmpty()) {
        painter.setPen(selected ? QColor(255, 255, 255, 200) : theme.secondary());
        painter.drawText(textRect, flags | Qt::AlignRight, shortcut);
    }
}

} // namespace

WindowStyle::WindowStyle(std::function<bool()> translucentPopups)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))),
      m_translucentPopups(std::move(translucentPopups))
{
}

void WindowStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (auto *menu = qobject_cast<QMenu *>(widget)) {
        menu->setFont(Fonts::rounded(13));
        // Before the native window exists: its visual is chosen with it.
        if (!menu->testAttribute(Qt::WA_WState_Created) && m_translucentPopups())
            menu->setAttribute(Qt::WA_TranslucentBackground);
    } else if (qobject_cast<QScrollBar *>(widget)) {
        widget->setAttribute(Qt::WA_Hover);
    }
}

int WindowStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                             const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return scrollBarExtent;
    case PM_ScrollBarSliderMin:
        return handleMinimumLength;
    case PM_MenuPanelWidth:
        return 0; // the border is part of the panel
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return menuPadding;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize WindowStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                    const QSize &size, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (type != CT_MenuItem || !item)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return {size.width(), menuSeparatorHeight};
    int width = 2 * itemPadding + size.width();
    if (item->maxIconWidth > 0)
        width += iconSize + iconGap;
    if (item->reservedShortcutWidth > 0)
        width += shortcutGap + item->reservedShortcutWidth;
    return {width, menuItemHeight};
}

void WindowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    if (element == PE_PanelMenu) {
        const Theme theme = themeFor(option, widget);
        painter->save();
        const QRectF panel = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->setPen(QPen(theme.menuBorder(), 1));
        painter->setBrush(theme.menuBackground());
        // An opaque menu (no compositor) has no clear pixels for rounded corners: a shape
        // mask would leave them to the window below, which X servers fill in late or never.
        if (widget && !widget->testAttribute(Qt::WA_TranslucentBackground)) {
            painter->drawRect(panel);
        } else {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->drawPath(menuShape(panel));
        }
        painter->restore();
        return;
    }
    if (element == PE_FrameMenu)
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void WindowStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const
{
    if (element == CE_MenuEmptyArea)
        return; // the panel is drawn whole, corners included
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element == CE_MenuItem && item) {
        painter->save();
        drawMenuItem(*item, *painter, themeFor(option, widget), widget);
        painter->restore();
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QRect WindowStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                  SubControl subControl, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar)
        return QProxyStyle::subControlRect(control, option, subControl, widget);

    // No arrow buttons: the groove is the whole bar.
    const QRect groove = option->rect;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const int length = horizontal ? groove.width() : groove.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int handleLength = length;
    if (range > 0) {
        const qint64 proportional = qint64(length) * bar->pageStep / (range + bar->pageStep);
        handleLength =
            int(std::clamp<qint64>(proportional, std::min(handleMinimumLength, length), length));
    }
    const int start = sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition,
                                              length - handleLength, bar->upsideDown);
    const QRect handle = horizontal
                             ? QRect(groove.x() + start, groove.y(), handleLength, groove.height())
                             : QRect(groove.x(), groove.y() + start, groove.width(), handleLength);
    switch (subControl) {
    case SC_ScrollBarGroove:
        return groove;
    case SC_ScrollBarSlider:
        return handle;
    case SC_ScrollBarSubPage:
        return horizontal ? QRect(groove.topLeft(), QPoint(handle.left() - 1, groove.bottom()))
                          : QRect(groove.topLeft(), QPoint(groove.right(), handle.top() - 1));
    case SC_ScrollBarAddPage:
        return horizontal ? QRect(QPoint(handle.right() + 1, groove.top()), groove.bottomRight())
                          : QRect(QPoint(groove.left(), handle.bottom() + 1), groove.bottomRight());
    default:
        return {};
    }
}

void WindowStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                     QPainter *painter, const QWidget *widget) const
{
    const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
    if (control != CC_ScrollBar || !bar) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // A capsule on no track, thicker while the pointer is over the bar or drags it.
    const bool active =
        (option->state & State_MouseOver) ||
        ((option->activeSubControls & SC_ScrollBarSlider) && (option->state & State_Sunken));
    const qreal thickness = active ? activeHandleThickness : handleThickness;
    QRectF handle = subControlRect(control, option, SC_ScrollBarSlider, widget);
    if (bar->orientation == Qt::Horizontal) {
        handle.adjust(handleInset, 0, -handleInset, 0);
        handle.setTop(handle.center().y() - thickness / 2);
        handle.setHeight(thickness);
    } else {
        handle.adjust(0, handleInset, 0, -handleInset);
        handle.setLeft(handle.center().x() - thickness / 2);
        handle.setWidth(thickness);
    }
    const Theme theme = themeFor(option, widget);
    Shapes::fillCapsule(*painter, handle, theme.primary(active ? 0.5 : 0.32));
}
