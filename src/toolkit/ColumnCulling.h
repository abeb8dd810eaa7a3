#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSet>

#include <functional>

class QWidget;

// Keeps a long column cheap: its items far outside the part of it in sight (a long list in
// a scroll area) are hidden, and shown again as they come near, so that opening, scrolling
// and painting cost as many items as are on screen. The item holding the keyboard focus
// is never hidden, nor is one the caller still wants kept (one that is moving).
//
// The column places its items and asks here whether each is to be shown; whenever the
// part in sight may have changed (the column or one of its ancestors moved or resized, the
// column was shown) `sightChanged` is called so that the column can run update().
class ColumnCulling : public QObject
{
public:
    ColumnCulling(QWidget *column, std::function<void()> sightChanged);
    ~ColumnCulling() override;

    bool isCulled(const QObject *item) const { return m_culled.contains(item); }
    // Hides the item as culled, or shows it.
    void setCulled(QWidget *item, bool culled);
    void forget(const QObject *item) { m_culled.remove(item); }

    // Whether `rect` (in the column) crosses the part in sight, or the band kept around it.
    bool isInSight(const QRectF &rect) const;
    bool isNearSight(const QRectF &rect) const;

    // Hides the items far out of sight and shows again those that came near or that `keep`
    // holds on to. Items hidden by their owner stay as they are. Returns the items shown
    // again: a hidden item does not report changes of its size, so theirs may be stale.
    QList<QWidget *> update(const QList<QWidget *> &items,
                            const std::function<bool(const QWidget *)> &keep);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect visiblePart() const;
    QRect nearBand() const;
    void watchAncestors();

    QWidget *m_column;
    std::function<void()> m_sightChanged;
    QSet<const QObject *> m_culled;
    QList<QPointer<QWidget>> m_ancestors; // watched for moves that scroll the column
    bool m_updating = false;
};
