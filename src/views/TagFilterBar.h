#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

class ColumnMotion;
class QScrollArea;
class TagChip;

// The sideways-scrolling strip of tag chips (no scroll bar; the mouse wheel and dragging
// scroll it, and a drag clicks no chip). A click reports the chip's tag and whether it was
// drawn selected; the report is made inside a 0.2 s ease-in-out transaction, so the state
// change it causes animates. Inside a transaction a new chip fades in at its place while
// the chips after it make room, and a chip whose tag went out of use fades out.
class TagFilterBar : public QWidget
{
    Q_OBJECT

public:
    explicit TagFilterBar(QWidget *parent = nullptr);

    // One chip per tag, in the given order; the chip whose tag equals the selected tag
    // without regard to case is drawn selected. Animated with the current transaction, if
    // any.
    void setState(const QStringList &allTags, const std::optional<QString> &selectedTag);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void chipClicked(const QString &tag, bool wasSelected);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TagChip *createChip(const QString &tag);
    void placeChips(const QList<TagChip *> &inserted, const QList<TagChip *> &removed);

    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    ColumnMotion *m_motion = nullptr;
    QList<TagChip *> m_chips;
};
