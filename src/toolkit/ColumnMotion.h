#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSet>

#include <optional>

class QGraphicsOpacityEffect;
class QVariantAnimation;
class QWidget;
struct Animation;

// Moves and fades the items of an AnimatedColumn (or of any other row or column of widgets)
// on one animation: each item in motion goes from where it was to its target while its
// opacity goes to 1, or to 0 while it leaves (and then it takes no clicks). One animation for
// the whole column, so a long list costs one timer, not one per row. The owner decides where
// items go; this class only gets them there, and says when a leaving item has faded out.
class ColumnMotion : public QObject
{
    Q_OBJECT

public:
    explicit ColumnMotion(QObject *parent = nullptr);
    ~ColumnMotion() override;

    bool isMoving(const QObject *item) const;
    // The animation is under way.
    bool isRunning() const;
    bool isLeaving(const QObject *item) const;

    // Before the moves of a new animation: everything in motion stops where it is, which is
    // where it starts from again. Items leaving keep leaving unless `takenUp` holds them;
    // every other item in motion must be given a move (or dropped) before start().
    void restart(const QSet<QWidget *> &takenUp);
    // A new item fades in while it goes from `from` to `to`. One that `clipped` is never
    // drawn above the top of `to`, where the item before it ends.
    void enter(QWidget *item, const QRectF &from, const QRectF &to, bool clipped = false);
    // From where the item is, in its current opacity, to `to` in full opacity (also an item
    // coming back while it was leaving).
    void moveTo(QWidget *item, const QRectF &to);
    // The item fades out where it is, or sliding up by its own height, never drawn above
    // where it started.
    void leave(QWidget *item, bool slidesUp);
    void start(const Animation &animation);

    // Outside an animation: an item in motion keeps moving, now towards `to`, without a
    // jump; one nearly there is placed at once.
    void redirect(QWidget *item, const QRect &to);
    // Stops moving the item and takes off the column's traces (fade, deafness to clicks).
    void drop(QObject *item);

signals:
    void itemLeft(QObject *item);
    void finished();

private:
    struct Track {
        QPointer<QWidget> widget;
        QRectF from;
        QRectF to;
        qreal opacityFrom = 1;
        qreal opacityTo = 1;
        bool moving = false;
        bool leaving = false;
        bool wasMouseTransparent = false;
        std::optional<qreal> clipTop;            // in the parent's coordinates
        QPointer<QGraphicsOpacityEffect> effect; // made by setOpacity(), clipped as told
    };

    Track &track(QWidget *item);
    Track &startHere(QWidget *item);
    void applyProgress(qreal progress);
    void finish();
    void setOpacity(Track &track, qreal opacity);
    void dropEffect(Track &track);
    void setLeaving(Track &track, bool leaving);
    static void applyClip(Track &track);

    QVariantAnimation *m_animation = nullptr;
    QHash<const QObject *, Track> m_tracks;
    QList<const QObject *> m_moving; // in the running animation
};
