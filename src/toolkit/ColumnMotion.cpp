#include "toolkit/ColumnMotion.h"

#include "toolkit/Motion.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QVariantAnimation>
#include <QWidget>

namespace {

QRect rounded(const QRectF &rect)
{
    return {qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height())};
}

QRectF interpolate(const QRectF &from, const QRectF &to, qreal t)
{
    auto mix = [t](qreal a, qreal b) { return a + (b - a) * t; };
    return {mix(from.x(), to.x()), mix(from.y(), to.y()), mix(from.width(), to.width()),
            mix(from.height(), to.height())};
}

// The start a motion towards `to` must have had so that at progress `t` it is at `now`;
// used to change a moving item's target without a jump.
QRectF startFor(const QRectF &now, const QRectF &to, qreal t)
{
    auto solve = [t](qreal current, qreal end) { return (current - t * end) / (1 - t); };
    return {solve(now.x(), to.x()), solve(now.y(), to.y()), solve(now.width(), to.width()),
            solve(now.height(), to.height())};
}

// The fade of an item, which also leaves out the item's part above a given line: an item
// sliding in from under the one above it is not drawn over that one. A clip rather than the
// stacking order, since the item above may let the window's background show through; and
// rather than a widget mask, which a graphics effect does not honour.
class ClippedOpacityEffect : public QGraphicsOpacityEffect
{
public:
    explicit ClippedOpacityEffect(QWidget *widget)
        : QGraphicsOpacityEffect(widget), m_widget(widget)
    {
    }
    // How many rows at the top of the widget are left out.
    void setHiddenTop(int rows)
    {
        if (rows != m_hiddenTop) {
            m_hiddenTop = rows;
            update();
        }
    }

protected:
    void draw(QPainter *painter) override
    {
        if (m_hiddenTop <= 0)
            return QGraphicsOpacityEffect::draw(painter);
        if (m_hiddenTop >= m_widget->height())
            return;
        // The painter is in the widget's coordinates here.
        painter->save();
        painter->setClipRect(QRect(0, m_hiddenTop, m_widget->width(), m_widget->height()),
                             Qt::IntersectClip);
        QGraphicsOpacityEffect::draw(painter);
        painter->restore();
    }

private:
    QWidget *m_widget;
    int m_hiddenTop = 0;
};

} // namespace

ColumnMotion::ColumnMotion(QObject *parent)
    : QObject(parent), m_animation(new QVariantAnimation(this))
{
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { applyProgress(value.toReal()); });
    connect(m_animation, &QVariantAnimation::finished, this, &ColumnMotion::finish);
}

ColumnMotion::~ColumnMotion()
{
    m_animation->disconnect(this);
    m_animation->stop();
}

bool ColumnMotion::isMoving(const QObject *item) const
{
    const auto found = m_tracks.constFind(item);
    return found != m_tracks.cend() && found->moving;
}

bool ColumnMotion::isRunning() const
{
    return m_animation->state() != QAbstractAnimation::Stopped;
}

bool ColumnMotion::isLeaving(const QObject *item) const
{
    const auto found = m_tracks.constFind(item);
    return found != m_tracks.cend() && found->leaving;
}

void ColumnMotion::restart(const QSet<QWidget *> &takenUp)
{
    m_animation->stop();
    const QList<const QObject *> moving = std::exchange(m_moving, {});
    for (const QObject *key : moving) {
        const auto found = m_tracks.find(key);
        if (found == m_tracks.end() || !found->moving || !found->widget)
            continue;
        found->from = QRectF(found->widget->geometry());
        found->opacityFrom = found->effect ? found->effect->opacity() : 1.0;
        if (found->leaving && !takenUp.contains(found->widget))
            m_moving.append(key); // still fading out, towards its old end
    }
}

void ColumnMotion::enter(QWidget *item, const QRectF &from, const QRectF &to, bool clipped)
{
    Track &entry = track(item);
    setLeaving(entry, false);
    entry.from = from;
    entry.to = to;
    entry.clipTop = clipped ? std::optional(to.top()) : std::nullopt;
    entry.opacityFrom = 0;
    entry.opacityTo = 1;
    entry.moving = true;
    item->setGeometry(rounded(from));
    setOpacity(entry, 0);
    m_moving.append(item);
}

void ColumnMotion::moveTo(QWidget *item, const QRectF &to)
{
    Track &entry = startHere(item);
    setLeaving(entry, false);
    entry.to = to;
    entry.opacityTo = 1;
    // One that was sliding in keeps below the highest of its old and new tops.
    if (entry.clipTop)
        entry.clipTop = std::min(*entry.clipTop, to.top());
}

void ColumnMotion::leave(QWidget *item, bool slidesUp)
{
    Track &entry = startHere(item);
    setLeaving(entry, true);
    entry.to = slidesUp ? entry.from.translated(0, -entry.from.height()) : entry.from;
    if (slidesUp)
        entry.clipTop =
            entry.clipTop ? std::min(*entry.clipTop, entry.from.top()) : entry.from.top();
    entry.opacityTo = 0;
}

void ColumnMotion::start(const Animation &animation)
{
    for (const QObject *key : std::as_const(m_moving)) {
        const auto found = m_tracks.find(key);
        if (found == m_tracks.end())
            continue;
        if (found->opacityFrom < 1 || found->opacityTo < 1)
            setOpacity(*found, found->opacityFrom);
        else
            dropEffect(*found);
    }
    if (m_moving.isEmpty())
        return;
    applyProgress(0);
    animation.applyTo(m_animation);
    m_animation->start();
}

void ColumnMotion::redirect(QWidget *item, const QRect &to)
{
    Track &entry = track(item);
    if (rounded(entry.to) == to)
        return;
    const bool running = m_animation->state() != QAbstractAnimation::Stopped;
    const qreal progress = running ? m_animation->currentValue().toReal() : 1.0;
    if (progress < 0.999) {
        entry.from = startFor(QRectF(item->geometry()), QRectF(to), progress);
        entry.to = QRectF(to);
    } else {
        drop(item);
        item->setGeometry(to);
    }
}

void ColumnMotion::drop(QObject *item)
{
    const auto found = m_tracks.find(item);
    if (found == m_tracks.end())
        return;
    // An item being destroyed (its pointer already cleared) is not touched.
    if (found->widget) {
        dropEffect(*found);
        setLeaving(*found, false);
    }
    m_tracks.erase(found);
}

ColumnMotion::Track &ColumnMotion::track(QWidget *item)
{
    Track &entry = m_tracks[item];
    entry.widget = item;
    return entry;
}

ColumnMotion::Track &ColumnMotion::startHere(QWidget *item)
{
    // One already in motion starts from where restart() found it.
    Track &entry = track(item);
    if (!entry.moving) {
        entry.from = QRectF(item->geometry());
        entry.opacityFrom = entry.effect ? entry.effect->opacity() : 1.0;
    }
    entry.moving = true;
    m_moving.append(item);
    return entry;
}

void ColumnMotion::applyProgress(qreal progress)
{
    for (const QObject *key : std::as_const(m_moving)) {
        const auto found = m_tracks.find(key);
        if (found == m_tracks.end() || !found->moving)
            continue;
        const QRect geometry = rounded(interpolate(found->from, found->to, progress));
        if (found->widget->geometry() != geometry)
            found->widget->setGeometry(geometry);
        applyClip(*found);
        if (found->effect)
            found->effect->setOpacity(found->opacityFrom +
                                      (found->opacityTo - found->opacityFrom) * progress);
    }
}

void ColumnMotion::finish()
{
    const QList<const QObject *> moving = std::exchange(m_moving, {});
    for (const QObject *key : moving) {
        const auto found = m_tracks.find(key);
        if (found == m_tracks.end() || !found->moving)
            continue;
        if (found->leaving) {
            emit itemLeft(found->widget);
        } else {
            found->widget->setGeometry(rounded(found->to));
            drop(found->widget);
        }
    }
    emit finished();
}

void ColumnMotion::applyClip(Track &entry)
{
    if (entry.clipTop && entry.effect) {
        static_cast<ClippedOpacityEffect *>(entry.effect.data())
            ->setHiddenTop(qRound(*entry.clipTop) - entry.widget->y());
    }
}

void ColumnMotion::setOpacity(Track &entry, qreal opacity)
{
    if (!entry.effect) {
        // An item that carries an effect of its own keeps it and simply does not fade.
        if (entry.widget->graphicsEffect())
            return;
        auto *effect = new ClippedOpacityEffect(entry.widget);
        entry.widget->setGraphicsEffect(effect);
        entry.effect = effect;
    }
    entry.effect->setOpacity(opacity);
    applyClip(entry);
}

void ColumnMotion::dropEffect(Track &entry)
{
    if (entry.effect && entry.widget->graphicsEffect() == entry.effect)
        entry.widget->setGraphicsEffect(nullptr); // deletes the effect
    entry.effect = nullptr;
}

void ColumnMotion::setLeaving(Track &entry, bool leaving)
{
    if (entry.leaving == leaving)
        return;
    entry.leaving = leaving;
    if (leaving)
        entry.wasMouseTransparent = entry.widget->testAttribute(Qt::WA_TransparentForMouseEvents);
    entry.widget->setAttribute(Qt::WA_TransparentForMouseEvents,
                               leaving || entry.wasMouseTransparent);
}
