#pragma once

#include <QStringList>
#include <QWidget>

#include <optional>

// The sideways-scrolling strip of tag chips (no scroll bar; mouse wheel and dragging
// scroll it). A click reports the chip's tag and whether it was drawn selected.
class TagFilterBar : public QWidget
{
    Q_OBJECT

public:
    explicit TagFilterBar(QWidget *parent = nullptr);

    // Animated with the current transaction, if any.
    void setState(const QStringList &allTags, const std::optional<QString> &selectedTag);

signals:
    void chipClicked(const QString &tag, bool wasSelected);
};
