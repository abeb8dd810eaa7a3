#pragma once

#include <QAbstractButton>

// A borderless button whose label is a short text in the accent colour, as in a message's
// action ("Restaurar"). Reached with Tab; hover and press tint a capsule behind the text.
class TextButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit TextButton(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
