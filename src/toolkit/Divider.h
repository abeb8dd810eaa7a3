#pragma once

#include <QWidget>

// The thin horizontal separator between the column's sections, drawn faintly.
class Divider : public QWidget
{
    Q_OBJECT

public:
    explicit Divider(QWidget *parent = nullptr);

    QSize sizeHint() const override { return {0, 1}; }

protected:
    void paintEvent(QPaintEvent *event) override;
};
