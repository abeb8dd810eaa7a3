#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QWidget>

#include <memory>

class ColumnCulling;
class ColumnMotion;
struct Animation;

// A vertical stack of child widgets, full width, each as tall as its heightForWidth (or
// size hint). One item may stretch to take the height left over.
//
// setItems() replaces the ordered list of items; new items become the column's children and
// are shown. Inside an animation transaction (Motion::withAnimation) inserted items fade in,
// removed ones fade out (taking no clicks meanwhile) and then hide, and items that move
// glide from where they were; outside a transaction everything is placed at once. All
// movement runs on one animation for the whole column, so a long list costs one timer, not
// one per row.
//
// A change of an item's size hint (updateGeometry()) lays the column out again by itself.
// An item its owner hides takes no room; one its owner deletes or moves elsewhere leaves.
class AnimatedColumn : public QWidget
{
    Q_OBJECT

public:
    enum class Insertion { Fade, SlideFromTopAndFade };

    explicit AnimatedColumn(QWidget *parent = nullptr);
    ~AnimatedColumn() override;

    void setItems(const QList<QWidget *> &items);
    const QList<QWidget *> &items() const { return m_items; }

    // The item that takes the height the others leave; without one the column's
    // heightForWidth is the sum of its items' heights (for use in a scroll area).
    void setStretchItem(QWidget *item);
    // How `item` comes in and goes out inside a transaction (a fade unless set). One that
    // slides is clipped meanwhile to below the item above it.
    void setInsertion(QWidget *item, Insertion insertion);
    // Removed items are deleted after their fade instead of hidden.
    void setDeletesRemovedItems(bool deletes);
    void setPadding(int top, int bottom);
    // For a long list in a scroll area: from now on items far out of sight are hidden (see
    // ColumnCulling), and only items whose path crosses the part in sight are animated.
    void cullFarItems();

    // Lays the items out again (for example after an item's height changed); animated when
    // a transaction is current.
    void relayout();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The items stand where a layout put them: after a pass placed them at once, or when
    // the animation that moved them has ended.
    void settled();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    // What the column knows of one of its listed items, or of one fading out.
    struct Entry {
        QPointer<QWidget> widget; // null once the widget is being destroyed
        // Heights by width, valid for one layout generation; two widths because a scroll
        // area asks with and without room for its scroll bar.
        struct CachedHeight {
            int width = -1;
            int height = 0;
            quint64 generation = 0;
        };
        CachedHeight heights[2];
    };

    int cachedHeight(Entry &entry, int width) const;
    bool layoutDeferred() const;
    void invalidateHeights();
    bool hiddenByOwner(const QWidget *item) const;
    bool isInSight(const QRectF &from, const QRectF &to) const;
    bool isNearSight(const QRectF &rect) const;
    void showItem(QWidget *item, bool shown);
    void layoutPass(const QSet<QWidget *> &inserted, const QSet<QWidget *> &removed);
    void placeAtOnce(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                     const QSet<QWidget *> &removed);
    void placeAnimated(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                       const QSet<QWidget *> &removed, const Animation &animation);
    void finishRemoval(QObject *key);
    void forget(QObject *key);
    void updateCulling();

    QList<QWidget *> m_items;
    QPointer<QWidget> m_stretchItem;
    mutable QHash<QObject *, Entry> m_entries;
    QHash<QObject *, Insertion> m_insertions;
    ColumnMotion *m_motion = nullptr;
    std::unique_ptr<ColumnCulling> m_culling;
    int m_paddingTop = 0;
    int m_paddingBottom = 0;
    bool m_deletesRemovedItems = false;
    bool m_inPass = false;
    bool m_resized = false; // has had its first resize event
    quint64 m_generation = 1;
    mutable int m_memoWidth = -1;
    mutable int m_memoHeight = 0;
    mutable quint64 m_memoGeneration = 0;
    int m_reportedHeight = -1;
};
