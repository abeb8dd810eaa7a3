#pragma once

#include <QString>
#include <QWidget>

class StepperArrow;

// A compact stepper: the value and its suffix as a label, then a pair of small up and down
// arrows. The digits of the label sit in cells of equal width, so the label keeps its width
// while the number of digits stays the same. With the keyboard focus, the Up and Down keys
// step it. The stepper only asks for steps; its owner decides the new value.
class Stepper : public QWidget
{
    Q_OBJECT

public:
    explicit Stepper(QWidget *parent = nullptr);

    void setValue(qint64 value);
    void setSuffix(const QString &suffix);
    // "30 min"
    QString labelText() const;
    // An arrow that would change nothing is dimmed and does nothing.
    void setStepsAvailable(bool up, bool down);

    StepperArrow *upArrow() const { return m_up; }
    StepperArrow *downArrow() const { return m_down; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void stepUpRequested();
    void stepDownRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    qreal digitCellWidth() const;
    qreal labelWidth() const;
    QRectF arrowsRect() const;
    void placeArrows();

    qint64 m_value = 0;
    QString m_suffix;
    StepperArrow *m_up = nullptr;
    StepperArrow *m_down = nullptr;
};
