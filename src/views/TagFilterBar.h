#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <QWidget>

#include <optional>

class QScrollArea;
class TagChip;

// The sideways-scrolling strip of tag chips (no scroll bar; mouse wheel and dragging
// scroll it). A click reports the chip's tag and whether it was drawn selected; the report
// is made inside a 0.2 s ease-in-out transaction, so the state change it causes animates.
class TagFilterBar : public QWidget
{
    Q_OBJECT

public:
    explicit TagFilterBar(QWidget *parent = nullptr);

    // One chip per tag, in the given order; the chip whose tag equals the selected tag
    // without regard to case is drawn selected. Animated with the current transaction, if
    // any.
    void setState(const QStringList &allTags, const std::optional<QString> &selectedTag);

    QList<TagChip *> chips() const { return m_chips; }
    QScrollArea *scrollArea() const { return m_scroll; }
    int scrollOffset() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void chipClicked(const QString &tag, bool wasSelected);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scrollBy(qreal dx);
    void watch(QWidget *widget);

    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    QList<TagChip *> m_chips;

    // A press that moves far enough sideways becomes a drag of the strip, and its release
    // clicks nothing.
    bool m_pressed = false;
    bool m_dragging = false;
    QPointF m_pressPosition;
    int m_pressOffset = 0;
};
