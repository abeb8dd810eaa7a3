#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QWidget>

#include <optional>

class QGraphicsOpacityEffect;
class QVariantAnimation;
struct Animation;

// A vertical stack of child widgets, full width, each as tall as its heightForWidth (or
// size hint). One item may stretch to take the height left over.
//
// setItems() replaces the ordered list of items; new items become the column's children and
// are shown. Inside an animation transaction (Motion::withAnimation) inserted items fade in,
// removed ones fade out (taking no clicks meanwhile) and then hide, and items that move
// glide from where they were; outside a transaction everything is placed at once. All
// movement runs on one animation for the whole column, so a long list costs one timer, not
// one per row, and each frame touches only the items that move within sight.
//
// A change of an item's size hint (updateGeometry()) lays the column out again by itself.
// An item its owner hides takes no room. Items far outside the visible part of the column
// (a long list in a scroll area) are hidden by the column and shown again as they come near;
// the item holding the keyboard focus is never hidden that way.
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
    // How `item` comes in and goes out inside a transaction (a fade unless set).
    void setInsertion(QWidget *item, Insertion insertion);
    // Removed items are deleted after their fade instead of hidden.
    void setDeletesRemovedItems(bool deletes);
    void setPadding(int top, int bottom);

    // Lays the items out again (for example after an item's height changed); animated when
    // a transaction is current.
    void relayout();

    bool isAnimating() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void animationFinished();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What the column knows of one of its widgets: a listed item or one fading out.
    struct Entry {
        // Heights by width, valid for one layout generation; two widths because a scroll
        // area asks with and without room for its scroll bar.
        struct CachedHeight {
            int width = -1;
            int height = 0;
            quint64 generation = 0;
        };
        CachedHeight heights[2];

        QWidget *widget = nullptr;

        // The running animation moves the widget from `from` to `to` and its opacity from
        // `opacityFrom` to `opacityTo`.
        QRectF from;
        QRectF to;
        qreal opacityFrom = 1;
        qreal opacityTo = 1;
        bool tracked = false;  // part of the running animation
        bool removing = false; // no longer listed; fading out
        bool culled = false;   // hidden by the column while far outside the visible part
        bool wasMouseTransparent = false;
        QPointer<QGraphicsOpacityEffect> effect;
    };

    int cachedHeight(Entry &entry, int width) const;
    int naturalHeight(int width) const;
    bool layoutDeferred() const;
    void invalidateHeights();
    void layoutPass(const QSet<QWidget *> &inserted, const QSet<QWidget *> &removed);
    void placeAtOnce(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                     const QSet<QWidget *> &removed);
    void placeAnimated(const QList<QRect> &targets, const QSet<QWidget *> &inserted,
                       const QSet<QWidget *> &removed, const Animation &animation);
    void applyProgress(qreal progress);
    void finishAnimation();
    void finishRemoval(QObject *key);
    void setOpacity(Entry &entry, qreal opacity);
    void dropEffect(Entry &entry);
    void startFadeOut(Entry &entry);
    void endFadeOut(Entry &entry);
    static qreal currentOpacity(const Entry &entry);
    void watch(QWidget *item);
    void itemDestroyed(QObject *object);
    void releaseItem(QWidget *item);
    static bool hiddenByOwner(const Entry &entry);
    QRect visiblePart() const;
    QRect keptBand() const;
    void updateCulling();
    void watchAncestors();

    QList<QWidget *> m_items;
    QPointer<QWidget> m_stretchItem;
    mutable QHash<QObject *, Entry> m_entries;
    QHash<QObject *, Insertion> m_insertions;
    QList<QObject *> m_tracked;           // the widgets the running animation moves or fades
    QSet<QObject *> m_watched;            // widgets whose destruction the column listens for
    QList<QPointer<QWidget>> m_ancestors; // watched for moves that scroll the column
    QVariantAnimation *m_animation = nullptr;
    int m_paddingTop = 0;
    int m_paddingBottom = 0;
    bool m_deletesRemovedItems = false;
    bool m_inPass = false;
    bool m_inCulling = false;
    bool m_resized = false; // has had its first resize event
    quint64 m_generation = 1;
    mutable int m_memoWidth = -1;
    mutable int m_memoHeight = 0;
    mutable quint64 m_memoGeneration = 0;
    int m_reportedHeight = -1;
};
