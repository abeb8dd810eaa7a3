#include "toolkit/ColumnCulling.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace {

bool overlapsVertically(const QRectF &rect, const QRect &band)
{
    return band.height() > 0 && rect.bottom() >= band.top() && rect.top() <= band.bottom() + 1;
}

} // namespace

ColumnCulling::ColumnCulling(QWidget *column, std::function<void()> sightChanged)
    : m_column(column), m_sightChanged(std::move(sightChanged))
{
    m_column->installEventFilter(this);
    watchAncestors();
}

ColumnCulling::~ColumnCulling()
{
    m_column->removeEventFilter(this);
    for (const QPointer<QWidget> &ancestor : std::as_const(m_ancestors)) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
}

void ColumnCulling::setCulled(QWidget *item, bool culled)
{
    if (culled)
        m_culled.insert(item);
    else
        m_culled.remove(item);
    // Hidden explicitly when culled, or showing the column would show it.
    item->setVisible(!culled);
}

bool ColumnCulling::isInSight(const QRectF &rect) const
{
    return overlapsVertically(rect, visiblePart());
}

bool ColumnCulling::isNearSight(const QRectF &rect) const
{
    return overlapsVertically(rect, nearBand());
}

QList<QWidget *> ColumnCulling::update(const QList<QWidget *> &items,
                                       const std::function<bool(const QWidget *)> &keep)
{
    QList<QWidget *> shown;
    if (m_updating)
        return shown;
    m_updating = true;
    // A hidden column only brings items back: it may be rendered without being shown, and
    // then everything in sight must be there.
    const bool mayHide = m_column->isVisible();
    const QRect band = nearBand();
    const QWidget *focus = QApplication::focusWidget();
    for (QWidget *item : items) {
        const bool culled = isCulled(item);
        if (item->isHidden() && !culled)
            continue; // hidden by its owner
        // The item with the keyboard focus stays, wherever it is: hiding it would take the
        // focus away (and end an edit in progress).
        const bool kept = keep(item) || overlapsVertically(QRectF(item->geometry()), band) ||
                          (focus && (focus == item || item->isAncestorOf(focus)));
        if (kept && culled) {
            setCulled(item, false);
            shown.append(item);
        } else if (!kept && !culled && mayHide) {
            setCulled(item, true);
        }
    }
    m_updating = false;
    return shown;
}

bool ColumnCulling::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        if (watched == m_column)
            watchAncestors();
        break;
    case QEvent::Show:
        if (watched == m_column)
            m_sightChanged();
        break;
    case QEvent::Move: // the column scrolled, or an ancestor moved
        m_sightChanged();
        break;
    case QEvent::Resize:
        if (watched != m_column) // the column's own resize lays it out anew anyway
            m_sightChanged();
        break;
    default:
        break;
    }
    return false;
}

QRect ColumnCulling::visiblePart() const
{
    // The column clipped by each of its ancestors, in the column's coordinates.
    QRect clip = m_column->rect();
    QPoint offset;
    const QWidget *widget = m_column;
    while (!widget->isWindow() && widget->parentWidget()) {
        offset += widget->pos();
        widget = widget->parentWidget();
        clip &= QRect(-offset, widget->size());
    }
    return clip;
}

QRect ColumnCulling::nearBand() const
{
    // Items near the visible part stay shown, so that a short scroll shows no gaps.
    const QRect visible = visiblePart();
    if (visible.height() <= 0)
        return {};
    const int margin = std::max(200, visible.height());
    return visible.adjusted(0, -margin, 0, margin);
}

void ColumnCulling::watchAncestors()
{
    for (const QPointer<QWidget> &ancestor : std::as_const(m_ancestors)) {
        if (ancestor)
            ancestor->removeEventFilter(this);
    }
    m_ancestors.clear();
    for (QWidget *widget = m_column->parentWidget(); widget && !widget->isWindow();
         widget = widget->parentWidget()) {
        widget->installEventFilter(this);
        m_ancestors.append(widget);
    }
}
