#pragma once

#include <QAbstractButton>

// One half of a stepper: a small plain arrow that repeats while held. It never takes the
// keyboard focus; the stepper it belongs to does.
class StepperArrow : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Direction { Up, Down };

    StepperArrow(Direction direction, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Direction m_direction;
};
