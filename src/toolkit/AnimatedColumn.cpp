#include "toolkit/AnimatedColumn.h"

#include "toolkit/ColumnCulling.h"
#include "toolkit/ColumnMotion.h"
#include "toolkit/Motion.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

AnimatedColumn::AnimatedColumn(QWidget *parent) : QWidget(parent), m_motion(new ColumnMotion(this))
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(m_motion, &ColumnMotion::itemLeft, this, &AnimatedColumn::finishRemoval);
    connect(m_motion, &ColumnMotion::finished, this, [this] {
        updateCulling();
        emit settled();
    });
}

AnimatedColumn::~AnimatedColumn()
{
    // The children outlive this part of the object; nothing may call back into it.
    m_motion->disconnect(this);
    delete m_motion;
    m_culling.reset();
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
            Entry entry;
            entry.widget = item;
            m_entries.insert(item, entry);
            inserted.insert(item);
        } else if (m_motion->isLeaving(item)) {
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
    relayout();
}

void AnimatedColumn::setInsertion(QWidget *item, Insertion insertion)
{
    if (item)
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
    relayout();
}

void AnimatedColumn::cullFarItems()
{
    if (!m_culling)
        m_culling = std::make_unique<ColumnCulling>(this, [this] { updateCulling(); });
}

void AnimatedColumn::relayout()
{
    invalidateHeights();
    layoutPass({}, {});
}

QSize AnimatedColumn::sizeHint() const
{
    const int width = std::max(0, this->width());
    return {width, heightForWidth(width)};
}

QSize AnimatedColumn::minimumSizeHint() const
{
    return {0, m_stretchItem ? heightForWidth(std::max(0, width())) : 0};
}

void AnimatedColumn::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_resized = true;
    layoutPass({}, {});
}

bool AnimatedColumn::event(QEvent *event)
{
    if (event->type() == QEvent::LayoutRequest) {
        // Some item's size hint changed; which one is not said, so all are asked again.
        relayout();
        return true;
    }
    // An item deleted or moved to another parent by its owner is no longer the column's.
    if (event->type() == QEvent::ChildRemoved)
        forget(static_cast<QChildEvent *>(event)->child());
    return QWidget::event(event);
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
    height = std::max(0, std::clamp(height, item->minimumHeight(), item->maximumHeight()));

    Entry::CachedHeight &slot =
        entry.heights[0].generation != m_generation ? entry.heights[0] : entry.heights[1];
    slot = {width, height, m_generation};
    return height;
}

int AnimatedColumn::heightForWidth(int width) const
{
    // The sum of the items' heights, remembered for one width and layout generation.
    if (m_memoGeneration == m_generation && m_memoWidth == width)
        return m_memoHeight;
    int total = m_paddingTop + m_paddingBottom;
    for (QWidget *item : m_items) {
        if (hiddenByOwner(item))
            continue;
        if (item == m_stretchItem)
            total += std::max(0, item->minimumSizeHint().height());
        else
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

bool AnimatedColumn::hiddenByOwner(const QWidget *item) const
{
    return item->isHidden() && !(m_culling && m_culling->isCulled(item));
}

bool AnimatedColumn::isInSight(const QRectF &from, const QRectF &to) const
{
    return !m_culling || m_culling->isInSight(from.united(to));
}

bool AnimatedColumn::isNearSight(const QRectF &rect) const
{
    // Before the column's first resize nothing is known of what will be in sight.
    return !m_culling || (!layoutDeferred() && m_culling->isNearSight(rect));
}

void AnimatedColumn::showItem(QWidget *item, bool shown)
{
    if (m_culling)
        m_culling->setCulled(item, !shown);
    else
        item->setVisible(shown);
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
    int fixed = m_paddingTop + m_paddingBottom;
    QList<int> heights;
    heights.reserve(m_items.size());
    for (QWidget *item : std::as_const(m_items)) {
        int height = 0;
        const bool hidden = hiddenByOwner(item) && !inserted.contains(item);
        if (!deferred && !hidden && item != m_stretchItem)
            height = cachedHeight(m_entries[item], width);
        heights.append(height);
        fixed += height;
    }
    QList<QRect> targets;
    targets.reserve(m_items.size());
    int y = m_paddingTop;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        int height = heights[i];
        if (m_items[i] == m_stretchItem && !deferred)
            height = std::max(0, this->height() - fixed);
        targets.append(QRect(0, y, width, height));
        y += height;
    }

    const std::optional<Animation> animation = deferred ? std::nullopt : Motion::currentFor(this);
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
    const int natural = heightForWidth(width);
    if (natural != m_reportedHeight) {
        m_reportedHeight = natural;
        updateGeometry();
    }
    if (!m_motion->isRunning())
        emit settled();
}

void AnimatedColumn::placeAtOnce(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                                 const QSet<QWidget *> &removed)
{
    for (QWidget *item : removed)
        finishRemoval(item);

    for (qsizetype i = 0; i < m_items.size(); ++i) {
        QWidget *item = m_items[i];
        const QRect &target = targets[i];
        if (inserted.contains(item)) {
            m_motion->drop(item);
            item->setGeometry(target);
            // Far out of sight it is not even shown: showing thousands of rows at once is
            // what makes a long list slow to open.
            showItem(item, isNearSight(QRectF(target)));
        } else if (m_motion->isMoving(item)) {
            m_motion->redirect(item, target);
        } else if (item->geometry() != target) {
            item->setGeometry(target);
        }
    }
}

void AnimatedColumn::placeAnimated(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                                   const QSet<QWidget *> &removed, const Animation &animation)
{
    auto slides = [this](QWidget *item) {
        return m_insertions.value(item, Insertion::Fade) == Insertion::SlideFromTopAndFade;
    };
    // Only what can be seen is animated: an item whose whole path lies out of sight goes
    // straight to its end, so that one frame costs as many items as are on screen.
    m_motion->restart(inserted);
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        QWidget *item = m_items[i];
        const QRectF target(targets[i]);
        const bool moving = m_motion->isMoving(item);
        if (inserted.contains(item) && !(moving && m_motion->isLeaving(item))) {
            const QRectF from = slides(item) ? target.translated(0, -target.height()) : target;
            if (isInSight(from, target)) {
                // Sliding in from under the item above, not over it.
                m_motion->enter(item, from, target, slides(item));
                showItem(item, true);
            } else {
                m_motion->drop(item);
                item->setGeometry(targets[i]);
                showItem(item, isNearSight(target));
            }
        } else if (hiddenByOwner(item)) {
            m_motion->drop(item);
            item->setGeometry(targets[i]);
        } else if (moving) {
            m_motion->moveTo(item, target); // also one back before its fade-out ended
        } else if (item->geometry() != targets[i]) {
            if (isInSight(QRectF(item->geometry()), target)) {
                m_motion->moveTo(item, target);
                showItem(item, true); // a culled one whose path crosses the part in sight
            } else {
                item->setGeometry(targets[i]);
            }
        }
    }
    for (QWidget *item : removed) {
        const QRectF from(item->geometry());
        if (item->isHidden() || !isInSight(from, from))
            finishRemoval(item);
        else
            m_motion->leave(item, slides(item));
    }
    m_motion->start(animation);
}

void AnimatedColumn::finishRemoval(QObject *key)
{
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return;
    QWidget *item = found->widget;
    m_entries.erase(found);
    m_motion->drop(item);
    if (m_culling)
        m_culling->forget(item);
    // Hidden at once: a deferred delete may come after the next paint.
    item->hide();
    if (m_deletesRemovedItems) {
        m_insertions.remove(item);
        item->deleteLater();
    }
}

void AnimatedColumn::forget(QObject *key)
{
    m_insertions.remove(key);
    if (!m_entries.contains(key))
        return; // not an item
    const bool listed = !m_motion->isLeaving(key);
    m_entries.remove(key);
    m_motion->drop(key); // takes its fade off one that moved elsewhere
    if (m_culling)
        m_culling->forget(key);
    if (listed) {
        m_items.removeIf([key](QWidget *item) { return static_cast<QObject *>(item) == key; });
        invalidateHeights();
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    }
}

void AnimatedColumn::updateCulling()
{
    if (!m_culling || m_inPass || layoutDeferred())
        return;
    // Showing and hiding items posts layout requests that tell nothing new. Requests
    // already waiting are answered first, so that those can be dropped afterwards.
    QCoreApplication::sendPostedEvents(this, QEvent::LayoutRequest);
    const QList<QWidget *> shown = m_culling->update(
        m_items, [this](const QWidget *item) { return m_motion->isMoving(item); });
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    // A hidden item does not report changes of its size: those shown again are asked now,
    // against the height they were laid out with.
    for (QWidget *item : shown) {
        Entry &entry = m_entries[item];
        const int laidOut = cachedHeight(entry, width());
        entry.heights[0].generation = entry.heights[1].generation = 0;
        if (item != m_stretchItem && cachedHeight(entry, width()) != laidOut) {
            relayout();
            return;
        }
    }
}
