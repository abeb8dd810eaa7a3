#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QLineEdit;

// The input line at the bottom, its add button, and the tag completion list above it.
class InputArea : public QWidget
{
    Q_OBJECT

public:
    explicit InputArea(QWidget *parent = nullptr);

    // Where candidates come from; read afresh at every change of the text.
    void setTagSource(std::function<QStringList()> allTags);

    QLineEdit *field() const;
    bool isShowingSuggestions() const;
    QStringList tagSuggestions() const;
    int selectedSuggestionIndex() const;

signals:
    // The trimmed, non-blank text of a task to add. The area clears itself afterwards.
    void taskSubmitted(const QString &text);
};
