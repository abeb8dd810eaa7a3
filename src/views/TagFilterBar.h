#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

class QScrollArea;
class TagChip;

// The sideways-scrolling strip of tag chips (no scroll bar; the mouse wheel and dragging
// scroll it, and a drag clicks no chip). A click reports the chip's tag and whether it was
// drawn selected; the report is made inside a 0.2 s ease-in-out transaction, so the state
// change it causes animates.
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
    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    QList<TagChip *> m_chips;
};
