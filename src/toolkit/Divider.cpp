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
    // The platform's separator is already a faint hairline; the column draws it at 0.15 of
    // that, so it is barely there.
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).separator(0.15));
}
