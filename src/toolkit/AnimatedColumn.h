#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QVariantAnimation;

// A vertical stack of child widgets, full width, each as tall as its heightForWidth (or
// size hint). One item may stretch to take the height left over.
//
// setItems() replaces the ordered list of items. Inside an animation transaction
// (Motion::withAnimation) inserted items fade in, removed ones fade out and then hide, and
// items that move glide from where they were; outside a transaction everything is placed
// at once. All movement runs on one animation for the whole column, so a long list costs
// one timer, not one per row.
class AnimatedColumn : public QWidget
{
    Q_OBJECT

public:
    enum class Insertion { Fade, SlideFromTopAndFade };

    explicit AnimatedColumn(QWidget *parent = nullptr);

    void setItems(const QList<QWidget *> &items);
    const QList<QWidget *> &items() const { return m_items; }

    void setStretchItem(QWidget *item);
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

private:
    // (implementation detail; free to change)
    QList<QWidget *> m_items;
    QPointer<QWidget> m_stretchItem;
};
