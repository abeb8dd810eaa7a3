#pragma once

#include <QFont>
#include <QMargins>
#include <QWidget>

#include <functional>

class Theme;

// One line of text in a given font, coloured from the current theme at each paint,
// optionally padded on a filled capsule. Its accessible name is the text.
class TextLabel : public QWidget
{
    Q_OBJECT

public:
    using ColorRole = std::function<QColor(const Theme &)>;

    TextLabel(const QString &text, const QFont &font, ColorRole color, QWidget *parent = nullptr);

    // Draws a capsule of this colour behind the text, which is padded inside it.
    void setCapsule(const QMargins &padding, ColorRole fill);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    ColorRole m_color;
    QMargins m_padding;
    ColorRole m_capsuleColor;
};
