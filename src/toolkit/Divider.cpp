#include "toolkit/Divider.h"

#include "toolkit/Theme.h"

#include <QPainter>

Divider::Divider(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Divider::paintEvent(QPaintEvent *)
{
    // The separator line of the platform is a foreground-coloured hairline; the column
    // draws it at 0.15 of its strength.
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).primary(0.15));
}
