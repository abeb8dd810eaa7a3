#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QLineEdit;
class QWidget;

// The colours of the interface, resolved for light or dark appearance. The appearance is
// read from the lightness of the palette's window colour, so a palette change (the desktop
// switching theme) gives a new Theme at the next paint.
class Theme
{
public:
    explicit Theme(bool dark) : m_dark(dark) {}
    static Theme of(const QWidget *widget);
    // Whether a palette reads as dark: its window colour is darker than mid grey.
    static bool isDark(const QPalette &palette);

    // sRGB (0.52, 0.65, 0.95), the same in both appearances.
    static QColor accent(qreal opacity = 1.0);
    // The tag's entry in the tag palette, picked by the tag's hash.
    static QColor tagColor(const QString &tag, qreal opacity = 1.0);

    // Foreground styles of first, second and third emphasis.
    QColor primary(qreal opacity = 1.0) const;
    QColor secondary(qreal opacity = 1.0) const;
    QColor tertiary(qreal opacity = 1.0) const;
    QColor red(qreal opacity = 1.0) const;
    // The accent as the colour of text: the accent itself is too light to read on a light
    // window, so a deeper shade of it there.
    QColor accentText() const;
    // The platform's separator line: the label colour at a tenth of its strength.
    QColor separator(qreal opacity = 1.0) const;

    // Flat grey behind the whole window: white level 0.07 dark, 0.98 light.
    QColor windowBackground() const;

    // The regular material: a translucent raised surface and its hairline border.
    QColor materialFill() const;
    QColor materialBorder() const;

    // A menu: an opaque raised surface a step off the window's grey, its hairline border, and
    // the fill behind the item under the pointer, on which text is white.
    QColor menuBackground() const;
    QColor menuBorder() const;
    QColor menuSelection() const;

    // A borderless text field on the window's background: clear base, primary text,
    // tertiary placeholder.
    void applyTo(QLineEdit *field) const;

private:
    bool m_dark;
};

// The colour a fraction `t` (0...1) of the way from `from` to `to`. Mixed in premultiplied
// form, so that a fade from a clear colour does not pass through that colour's (meaningless)
// hue.
QColor mix(const QColor &from, const QColor &to, qreal t);
