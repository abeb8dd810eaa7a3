#pragma once

#include <QPushButton>

// A push button drawn like the window's other controls: its text in the rounded font on a
// tinted rounded rectangle, in the secondary colour, or in red for an action that takes
// something away. A prominent one, the action a dialog expects, is white on the accent.
// Reached with Tab; a click leaves the keyboard focus where it was. To screen readers and
// to a dialog's Return key it is a push button like any other.
class RoundedButton : public QPushButton
{
    Q_OBJECT

public:
    explicit RoundedButton(const QString &text, QWidget *parent = nullptr);

    bool isProminent() const { return m_prominent; }
    void setProminent(bool prominent);
    void setDestructive(bool destructive);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_prominent = false;
    bool m_destructive = false;
};
