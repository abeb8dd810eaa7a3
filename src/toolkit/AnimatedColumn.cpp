#include "toolkit/AnimatedColumn.h"

#include "toolkit/Motion.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QResizeEvent>
#include <QVariantAnimation>

#include <algorithm>

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

bool overlapsVertically(const QRectF &rect, const QRect &band)
{
    return band.height() > 0 && rect.bottom() >= band.top() && rect.top() <= band.bottom() + 1;
}

// The start a motion towards `to` must have had so that at progress `t` it is at `now`;
// used to change a moving item's target without a jump.
QRectF startFor(const QRectF &now, const QRectF &to, qreal t)
{
    auto solve = [t](qreal current, qreal end) { return (current - t * end) / (1 - t); };
    return {solve(now.x(), to.x()), solve(now.y(), to.y()), solve(now.width(), to.width()),
            solve(now.height(), to.height())};
}

} // namespace

AnimatedColumn::AnimatedColumn(QWidget *parent)
    : QWidget(parent), m_animation(new QVariantAnimation(this))
{
    watchAncestors();
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { applyProgress(value.toReal()); });
    connect(m_animation, &QVariantAnimation::finished, this, &AnimatedColumn::finishAnimation);
}

AnimatedColumn::~AnimatedColumn()
{
    // The children outlive this part of the object; they must not call back into it.
    m_animation->disconnect(this);
    m_animation->stop();
    for (QObject *watched : std::as_const(m_watched))
        disconnect(watched, &QObject::destroyed, this, nullptr);
}

void AnimatedColumn::setItems(const QList<QWidget *> &items)
{
    QList<QWidget *> listed;
    QSet<QWidget *> listedSet;
    listed.reserve(items.size());
    listedSet.reserve(items.size());
    for (QWidget *item : items) {
        if (item && item != this && !listedSet.contains(item)) {
            listed.append(item);
            listedSet.insert(item);
        }
    }

    QSet<QWidget *> removed;
    for (QWidget *item : std::as_const(m_items)) {
        if (!listedSet.contains(item))
            removed.insert(item);
    }

    QSet<QWidget *> inserted;
    for (QWidget *item : std::as_const(listed)) {
        const auto found = m_entries.find(item);
        if (found == m_entries.end()) {
            if (item->parentWidget() != this)
                item->setParent(this);
            watch(item);
            Entry entry;
            entry.widget = item;
            m_entries.insert(item, entry);
            inserted.insert(item);
        } else if (found->removing) {
            inserted.insert(item); // back before its fade-out ended
        }
    }

    m_items = listed;
    invalidateHeights();
    layoutPass(inserted, removed);
}

void AnimatedColumn::setStretchItem(QWidget *item)
{
    if (m_stretchItem == item)
        return;
    m_stretchItem = item;
    invalidateHeights();
    layoutPass({}, {});
}

void AnimatedColumn::setInsertion(QWidget *item, Insertion insertion)
{
    if (!item)
        return;
    watch(item);
    m_insertions.insert(item, insertion);
}

void AnimatedColumn::setDeletesRemovedItems(bool deletes)
{
    m_deletesRemovedItems = deletes;
}

void AnimatedColumn::setPadding(int top, int bottom)
{
    if (top == m_paddingTop && bottom == m_paddingBottom)
        return;
    m_paddingTop = top;
    m_paddingBottom = bottom;
    invalidateHeights();
    layoutPass({}, {});
}

void AnimatedColumn::relayout()
{
    invalidateHeights();
    layoutPass({}, {});
}

bool AnimatedColumn::isAnimating() const
{
    return m_animation->state() != QAbstractAnimation::Stopped;
}

int AnimatedColumn::heightForWidth(int width) const
{
    return naturalHeight(width);
}

QSize AnimatedColumn::sizeHint() const
{
    const int width = std::max(0, this->width());
    return {width, naturalHeight(width)};
}

QSize AnimatedColumn::minimumSizeHint() const
{
    return {0, m_stretchItem ? naturalHeight(std::max(0, width())) : 0};
}

void AnimatedColumn::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_resized = true;
    layoutPass({}, {});
}

bool AnimatedColumn::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::LayoutRequest:
        // Some item's size hint changed; which one is not said, so all are asked again.
        invalidateHeights();
        layoutPass({}, {});
        return true;
    case QEvent::Move: // scrolled
    case QEvent::Show:
        updateCulling();
        break;
    case QEvent::ParentChange:
        watchAncestors();
        break;
    case QEvent::ChildRemoved: {
        // An item its owner moved to another parent is no longer the column's. (A child
        // being deleted is also removed, but its destroyed signal came first and it is
        // already forgotten: it must not be touched here.)
        QObject *removed = static_cast<QChildEvent *>(event)->child();
        if (m_entries.contains(removed)) {
            const QPointer<QObject> child = removed;
            QMetaObject::invokeMethod(
                this,
                [this, child] {
                    if (child && child->parent() != this)
                        releaseItem(static_cast<QWidget *>(child.data()));
                },
                Qt::QueuedConnection);
        }
        break;
    }
    default:
        break;
    }
    return QWidget::event(event);
}

bool AnimatedColumn::eventFilter(QObject *watched, QEvent *event)
{
    // An ancestor that moves or changes size changes which part of the column is visible.
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        updateCulling();
    return QWidget::eventFilter(watched, event);
}

int AnimatedColumn::cachedHeight(Entry &entry, int width) const
{
    for (const Entry::CachedHeight &cached : entry.heights) {
        if (cached.generation == m_generation && cached.width == width)
            return cached.height;
    }
    QWidget *item = entry.widget;
    int height = item->hasHeightForWidth() ? item->heightForWidth(width) : -1;
    if (height < 0)
        height = item->sizeHint().height();
    height = std::clamp(height, item->minimumHeight(), item->maximumHeight());
    height = std::max(0, height);

    Entry::CachedHeight &slot =
        entry.heights[0].generation != m_generation ? entry.heights[0] : entry.heights[1];
    slot = {width, height, m_generation};
    return height;
}

int AnimatedColumn::naturalHeight(int width) const
{
    if (m_memoGeneration == m_generation && m_memoWidth == width)
        return m_memoHeight;
    int total = m_paddingTop + m_paddingBottom;
    for (QWidget *item : m_items) {
        if (hiddenByOwner(m_entries[item]))
            continue;
        if (item == m_stretchItem) {
            total += std::max(0, item->minimumSizeHint().height());
            continue;
        }
        total += cachedHeight(m_entries[item], width);
    }
    m_memoWidth = width;
    m_memoHeight = total;
    m_memoGeneration = m_generation;
    return total;
}

bool AnimatedColumn::layoutDeferred() const
{
    // A hidden column that has not received its first resize yet gets one before it is
    // shown or rendered; laying out for the provisional size would be wasted work.
    return !isVisible() && !m_resized;
}

void AnimatedColumn::invalidateHeights()
{
    ++m_generation;
}

void AnimatedColumn::layoutPass(const QSet<QWidget *> &inserted, const QSet<QWidget *> &removed)
{
    if (m_inPass) {
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
        return;
    }
    m_inPass = true;

    const int width = std::max(0, this->width());
    const bool deferred = layoutDeferred();
    QList<QRect> targets;
    targets.reserve(m_items.size());

    int fixed = m_paddingTop + m_paddingBottom;
    QList<int> heights;
    heights.reserve(m_items.size());
    for (QWidget *item : std::as_const(m_items)) {
        int height = 0;
        const bool hidden = hiddenByOwner(m_entries[item]) && !inserted.contains(item);
        if (!deferred && !hidden && item != m_stretchItem)
            height = cachedHeight(m_entries[item], width);
        heights.append(height);
        fixed += height;
    }
    int y = m_paddingTop;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        int height = heights[i];
        if (m_items[i] == m_stretchItem && !deferred)
            height = std::max(0, this->height() - fixed);
        targets.append(QRect(0, y, width, height));
        y += height;
    }

    std::optional<Animation> animation = Motion::current();
    if (animation && (deferred || !isVisible() || animation->durationMs() <= 0))
        animation.reset();
    if (animation)
        placeAnimated(targets, inserted, removed, *animation);
    else
        placeAtOnce(targets, inserted, removed);

    // Everything the children asked for by now has been answered by this pass.
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    m_inPass = false;

    if (deferred) {
        m_reportedHeight = -1;
        updateGeometry();
        return;
    }
    updateCulling();
    const int natural = naturalHeight(width);
    if (natural != m_reportedHeight) {
        m_reportedHeight = natural;
        updateGeometry();
    }
}

void AnimatedColumn::placeAtOnce(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                                 const QSet<QWidget *> &removed)
{
    for (QWidget *item : removed)
        finishRemoval(item);

    const bool running = isAnimating();
    const qreal progress = running ? m_animation->currentValue().toReal() : 1.0;
    const QRect band = keptBand();
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        QWidget *item = m_items[i];
        Entry &entry = m_entries[item];
        const QRect &target = targets[i];
        if (inserted.contains(item)) {
            entry.tracked = false;
            endFadeOut(entry);
            dropEffect(entry);
            item->setGeometry(target);
            // Far out of sight it is not even shown: showing thousands of rows at once is
            // what makes a long list slow to open.
            // Before the column's first resize nothing is known of what will be in sight.
            entry.culled = layoutDeferred() || !overlapsVertically(QRectF(target), band);
            // Hidden explicitly when culled, or showing the column would show it.
            item->setVisible(!entry.culled);
        } else if (entry.tracked) {
            // Moving already: keep moving, towards the new place, without a jump.
            if (rounded(entry.to) == target)
                continue;
            if (progress < 0.999) {
                entry.from = startFor(QRectF(item->geometry()), QRectF(target), progress);
                entry.to = QRectF(target);
            } else {
                entry.tracked = false;
                dropEffect(entry);
                item->setGeometry(target);
            }
        } else if (item->geometry() != target) {
            item->setGeometry(target);
        }
    }
}

void AnimatedColumn::placeAnimated(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                                   const QSet<QWidget *> &removed, const Animation &animation)
{
    m_animation->stop();

    // Only what can be seen is animated: an item whose whole path lies outside the visible
    // part of the column (a long list in a scroll area) goes straight to its end, so one
    // frame costs as many items as are on screen, not as many as are in the list.
    const QRect visible = visiblePart();
    const QRect band = keptBand();
    auto seen = [&visible](const QRectF &from, const QRectF &to) {
        return overlapsVertically(from.united(to), visible);
    };

    // Whatever is in flight continues from where it is now.
    QList<QObject *> tracked;
    for (QObject *key : std::as_const(m_tracked)) {
        const auto found = m_entries.find(key);
        if (found == m_entries.end() || !found->tracked)
            continue;
        found->from = QRectF(found->widget->geometry());
        found->opacityFrom = currentOpacity(*found);
        QWidget *item = found->widget;
        if (found->removing && !inserted.contains(item) && !removed.contains(item))
            tracked.append(key); // still fading out, towards its old end
    }

    for (qsizetype i = 0; i < m_items.size(); ++i) {
        QWidget *item = m_items[i];
        Entry &entry = m_entries[item];
        const QRectF target(targets[i]);
        if (inserted.contains(item)) {
            if (entry.removing && entry.tracked) {
                // Back before its fade-out ended: fade in again from where it is.
                endFadeOut(entry);
                entry.to = target;
                entry.opacityTo = 1;
            } else {
                endFadeOut(entry);
                const bool slides =
                    m_insertions.value(item, Insertion::Fade) == Insertion::SlideFromTopAndFade;
                entry.from = slides ? target.translated(0, -target.height()) : target;
                entry.to = target;
                if (!seen(entry.from, entry.to)) {
                    entry.tracked = false;
                    dropEffect(entry);
                    item->setGeometry(targets[i]);
                    entry.culled = !overlapsVertically(target, band);
                    item->setVisible(!entry.culled);
                    continue;
                }
                entry.opacityFrom = 0;
                entry.opacityTo = 1;
                setOpacity(entry, 0);
                item->setGeometry(rounded(entry.from));
                entry.culled = false;
                item->show();
            }
            entry.tracked = true;
            tracked.append(item);
        } else if (hiddenByOwner(entry)) {
            item->setGeometry(targets[i]);
        } else if (entry.tracked) {
            entry.to = target;
            entry.opacityTo = 1;
            tracked.append(item);
        } else if (item->geometry() != targets[i]) {
            entry.from = QRectF(item->geometry());
            entry.to = target;
            if (!seen(entry.from, entry.to)) {
                item->setGeometry(targets[i]);
                continue;
            }
            entry.opacityFrom = entry.opacityTo = 1;
            entry.tracked = true;
            tracked.append(item);
            if (entry.culled) {
                entry.culled = false; // its path crosses the visible part
                item->show();
            }
        }
    }

    for (QWidget *item : removed) {
        Entry &entry = m_entries[item];
        if (!entry.tracked) {
            entry.from = QRectF(item->geometry());
            entry.opacityFrom = currentOpacity(entry);
        }
        if (hiddenByOwner(entry) || entry.culled || !seen(entry.from, entry.from)) {
            entry.tracked = false;
            finishRemoval(item);
            continue;
        }
        startFadeOut(entry);
        const bool slides =
            m_insertions.value(item, Insertion::Fade) == Insertion::SlideFromTopAndFade;
        entry.to = slides ? entry.from.translated(0, -entry.from.height()) : entry.from;
        entry.opacityTo = 0;
        entry.tracked = true;
        tracked.append(item);
    }

    for (QObject *key : std::as_const(tracked)) {
        Entry &entry = m_entries[key];
        if (entry.opacityFrom < 1 || entry.opacityTo < 1)
            setOpacity(entry, entry.opacityFrom);
        else
            dropEffect(entry);
    }
    m_tracked = tracked;
    if (m_tracked.isEmpty())
        return;

    applyProgress(0);
    m_animation->setDuration(animation.durationMs());
    m_animation->setEasingCurve(animation.easingCurve());
    m_animation->start();
}

void AnimatedColumn::applyProgress(qreal progress)
{
    for (QObject *key : std::as_const(m_tracked)) {
        const auto found = m_entries.find(key);
        if (found == m_entries.end() || !found->tracked)
            continue;
        Entry &entry = *found;
        const QRect geometry = rounded(interpolate(entry.from, entry.to, progress));
        if (entry.widget->geometry() != geometry)
            entry.widget->setGeometry(geometry);
        if (entry.effect)
            entry.effect->setOpacity(entry.opacityFrom +
                                     (entry.opacityTo - entry.opacityFrom) * progress);
    }
}

void AnimatedColumn::finishAnimation()
{
    const QList<QObject *> tracked = std::exchange(m_tracked, {});
    for (QObject *key : tracked) {
        const auto found = m_entries.find(key);
        if (found == m_entries.end() || !found->tracked)
            continue;
        found->tracked = false;
        if (found->removing) {
            finishRemoval(key);
        } else {
            found->widget->setGeometry(rounded(found->to));
            dropEffect(*found);
        }
    }
    updateCulling();
    emit animationFinished();
}

void AnimatedColumn::finishRemoval(QObject *key)
{
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return;
    Entry &entry = *found;
    QWidget *item = entry.widget;
    dropEffect(entry);
    endFadeOut(entry);
    m_entries.erase(found);
    if (m_deletesRemovedItems) {
        m_watched.remove(item);
        m_insertions.remove(item);
        disconnect(item, &QObject::destroyed, this, nullptr);
        // Hidden at once: the deferred delete may come after the next paint.
        item->hide();
        item->deleteLater();
    } else {
        item->hide();
    }
}

void AnimatedColumn::setOpacity(Entry &entry, qreal opacity)
{
    if (!entry.effect) {
        // An item that carries an effect of its own keeps it and simply does not fade.
        if (entry.widget->graphicsEffect())
            return;
        auto *effect = new QGraphicsOpacityEffect(entry.widget);
        entry.widget->setGraphicsEffect(effect);
        entry.effect = effect;
    }
    entry.effect->setOpacity(opacity);
}

void AnimatedColumn::dropEffect(Entry &entry)
{
    if (entry.effect && entry.widget->graphicsEffect() == entry.effect)
        entry.widget->setGraphicsEffect(nullptr); // deletes the effect
    entry.effect = nullptr;
}

void AnimatedColumn::startFadeOut(Entry &entry)
{
    if (entry.removing)
        return;
    entry.removing = true;
    entry.wasMouseTransparent = entry.widget->testAttribute(Qt::WA_TransparentForMouseEvents);
    entry.widget->setAttribute(Qt::WA_TransparentForMouseEvents, true);
}

void AnimatedColumn::endFadeOut(Entry &entry)
{
    if (!entry.removing)
        return;
    entry.removing = false;
    entry.widget->setAttribute(Qt::WA_TransparentForMouseEvents, entry.wasMouseTransparent);
}

qreal AnimatedColumn::currentOpacity(const Entry &entry)
{
    return entry.effect ? entry.effect->opacity() : 1.0;
}

void AnimatedColumn::watch(QWidget *item)
{
    if (m_watched.contains(item))
        return;
    m_watched.insert(item);
    connect(item, &QObject::destroyed, this, &AnimatedColumn::itemDestroyed);
}

void AnimatedColumn::itemDestroyed(QObject *object)
{
    m_watched.remove(object);
    m_insertions.remove(object);
    const auto found = m_entries.find(object);
    if (found == m_entries.end())
        return;
    const bool listed = !found->removing;
    m_entries.erase(found);
    if (listed) {
        m_items.removeIf(
            [object](QWidget *item) { return static_cast<QObject *>(item) == object; });
        invalidateHeights();
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    }
}

void AnimatedColumn::releaseItem(QWidget *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    found->tracked = false;
    dropEffect(*found);
    endFadeOut(*found);
    m_watched.remove(item);
    disconnect(item, &QObject::destroyed, this, nullptr);
    itemDestroyed(item);
}

bool AnimatedColumn::hiddenByOwner(const Entry &entry)
{
    return entry.widget->isHidden() && !entry.culled;
}

QRect AnimatedColumn::visiblePart() const
{
    // The column clipped by each of its ancestors, in the column's coordinates.
    QRect clip = rect();
    QPoint offset;
    const QWidget *widget = this;
    while (!widget->isWindow() && widget->parentWidget()) {
        offset += widget->pos();
        widget = widget->parentWidget();
        clip &= QRect(-offset, widget->size());
    }
    return clip;
}

QRect AnimatedColumn::keptBand() const
{
    // Items near the visible part stay shown, so that a short scroll shows no gaps.
    const QRect visible = visiblePart();
    if (visible.height() <= 0)
        return {};
    const int margin = std::max(200, visible.height());
    return visible.adjusted(0, -margin, 0, margin);
}

void AnimatedColumn::updateCulling()
{
    if (m_inPass || m_inCulling || layoutDeferred())
        return;
    // Showing and hiding items posts layout requests that tell nothing new. Requests
    // already waiting are answered first, so that those can be dropped afterwards.
    QCoreApplication::sendPostedEvents(this, QEvent::LayoutRequest);
    m_inCulling = true;
    // A hidden column only brings items back: it may be rendered without being shown, and
    // then everything in sight must be there.
    const bool mayHide = isVisible();
    const QRect band = keptBand();
    const QWidget *focus = QApplication::focusWidget();
    const int width = this->width();
    bool heightsChanged = false;
    for (QWidget *item : std::as_const(m_items)) {
        Entry &entry = m_entries[item];
        if (hiddenByOwner(entry))
            continue;
        // The item with the keyboard focus stays, wherever it is: hiding it would take
        // the focus away (and end an edit in progress).
        const bool kept = entry.tracked || overlapsVertically(QRectF(item->geometry()), band) ||
                          (focus && (focus == item || item->isAncestorOf(focus)));
        if (kept && entry.culled) {
            entry.culled = false;
            item->show();
            // A hidden item does not report changes of its size: ask it now.
            if (item != m_stretchItem) {
                entry.heights[0].generation = entry.heights[1].generation = 0;
                heightsChanged |= cachedHeight(entry, width) != item->height();
            }
        } else if (!kept && !entry.culled && mayHide) {
            entry.culled = true;
            item->hide();
        }
    }
    m_inCulling = false;
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    if (heightsChanged) {
        invalidateHeights();
        layoutPass({}, {});
    }
}

void AnimatedColumn::watchAncestors()
{
    for (const QPointer<QWidget> &ancestor : std::as_const(m_ancestors)) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget *widget = parentWidget(); widget && !widget->isWindow();
         widget = widget->parentWidget()) {
        widget->installEventFilter(this);
        m_ancestors.append(widget);
    }
}
