#pragma once

#include <QFont>
#include <QMargins>
#include <QWidget>

#include <functional>

class Theme;

// One line of text in a given font, coloured from the current theme at each paint,
// optionally padded on a filled capsule. Its accessible name is the text. A new text set
// inside an animation transaction cross-fades with the old one while the label (and its
// capsule) takes the new width.
class TextLabel : public QWidget
{
    Q_OBJECT
    // 0 shows the previous text, 1 the current one; in between while a change animates.
    Q_PROPERTY(qreal textChange READ textChange WRITE setTextChange)

public:
    using ColorRole = std::function<QColor(const Theme &)>;

    TextLabel(const QString &text, const QFont &font, ColorRole color, QWidget *parent = nullptr);

    // Draws a capsule of this colour behind the text, which is padded inside it.
    void setCapsule(const QMargins &padding, ColorRole fill);

    QString text() const { return m_text; }
    void setText(const QString &text);
    // A text wider than the label then ends in an ellipsis, and the label takes the width
    // its layout gives it rather than its text's. The accessible name stays the whole text.
    void setElided(bool elided);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal textChange() const { return m_textChange; }
    void setTextChange(qreal change);
    qreal textWidth(const QString &text) const;

    QString m_text;
    QString m_previousText;
    qreal m_textChange = 1;
    ColorRole m_color;
    QMargins m_padding;
    ColorRole m_capsuleColor;
    bool m_elided = false;
};
