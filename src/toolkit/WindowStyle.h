#pragma once

#include <QProxyStyle>

#include <functional>

// Fusion with the parts Qt draws itself made to look like the rest of the window: menus in
// the window's font with rounded corners, padding and the theme's colours, their icons in
// the colour of the item's text; a slim scroll bar without arrow buttons.
class WindowStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // `translucentPopups` answers, as each menu is made, whether a window may have clear
    // pixels (a compositor runs): then its corners are rounded; else the menu is square.
    explicit WindowStyle(std::function<bool()> translucentPopups = [] { return true; });

    void polish(QWidget *widget) override;
    using QProxyStyle::polish;

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl subControl, const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;

    // The corner radius of a menu.
    static constexpr int menuRadius = 8;

private:
    std::function<bool()> m_translucentPopups;
};
