#pragma once

#include <QWidget>

// What the list shows when there are no tasks at all: the note symbol over "Sin tareas por
// ahora", both in the tertiary colour, centred in the space given, 40 clear above and below.
class EmptyStateView : public QWidget
{
    Q_OBJECT

public:
    explicit EmptyStateView(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};
