#pragma once

#include <QGraphicsEffect>

// Draws its widget faded and scaled about the widget's centre: at presence 0 the widget is
// invisible and at `minimumScale` of its size, at 1 it is drawn as usual. Used for the
// insertion and removal transition of small controls.
class FadeScaleEffect : public QGraphicsEffect
{
    Q_OBJECT

public:
    explicit FadeScaleEffect(qreal minimumScale, QObject *parent = nullptr);

    qreal presence() const { return m_presence; }
    void setPresence(qreal presence);

protected:
    void draw(QPainter *painter) override;

private:
    qreal m_minimumScale;
    qreal m_presence = 1.0;
};
