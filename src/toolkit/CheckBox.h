#pragma once

#include <QCheckBox>

// A check box drawn like the rest of the window rather than by the style: a small rounded
// square, outlined in the secondary colour when off, filled with the accent and a white check
// mark when on, then its text in the secondary colour. All of it is clickable; Tab reaches
// it, Space toggles it, and a ring shows around the square while it has the focus. To screen
// readers it is a check box like any other.
class CheckBox : public QCheckBox
{
    Q_OBJECT

public:
    static constexpr qreal indicatorSize = 14;
    // Room left around the square for the focus ring: the square is this far in from the
    // widget's left edge.
    static constexpr int focusMargin = 3;

    CheckBox(const QString &text, const QFont &font, QWidget *parent = nullptr);

    // Where the text starts, from the square's left edge; the square's width and 8 by default.
    void setTextIndent(int indent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint &pos) const override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int m_textIndent = int(indicatorSize) + 8;
};
