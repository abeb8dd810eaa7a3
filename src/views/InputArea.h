#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class PlainButton;
class QLineEdit;
class SuggestionList;

// The input line at the bottom, its add button, and the tag completion list above it.
//
// While the text ends in a "#" and word characters, the tags in use that contain that word
// are listed above the field. Tab moves the highlight down the list and Return puts the
// highlighted tag into the text; both keys are taken from the field only while the list is
// shown, otherwise Tab moves the focus as usual and Return adds the task.
class InputArea : public QWidget
{
    Q_OBJECT

public:
    explicit InputArea(QWidget *parent = nullptr);

    // Where candidates come from; read afresh at every change of the text.
    void setTagSource(std::function<QStringList()> allTags);

    QLineEdit *field() const;
    PlainButton *addButton() const { return m_addButton; }
    SuggestionList *suggestionList() const { return m_suggestionList; }
    bool isShowingSuggestions() const;
    QStringList tagSuggestions() const;
    int selectedSuggestionIndex() const;

    // The word after the trailing "#" of the text, or none.
    std::optional<QString> partialTag() const;
    // Recomputes the candidates from the text; runs on every change of the text.
    void updateTagSuggestions();
    // Replaces the trailing "#" and partial word with "#", the tag and a space, and closes
    // the list.
    void applySuggestion(const QString &tag);
    // Tab and Return while the list is shown; false (key not consumed) otherwise.
    bool selectNextSuggestion();
    bool acceptSelectedSuggestion();
    // Submits the text trimmed of spaces and tabs, unless that is blank; then clears the
    // field and closes the list. The focus stays where it is.
    void addTask();

signals:
    // The trimmed, non-blank text of a task to add, emitted inside a 0.25 s spring
    // transaction. The area clears itself afterwards.
    void taskSubmitted(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setSuggestionsShown(bool shown);
    void updateAddButton();
    void applyColors();

    std::function<QStringList()> m_tagSource;
    QStringList m_tagSuggestions;
    bool m_showTagSuggestions = false;
    int m_selectedSuggestionIndex = 0;

    SuggestionList *m_suggestionList = nullptr;
    QWidget *m_row = nullptr;
    QLineEdit *m_field = nullptr;
    PlainButton *m_addButton = nullptr;
};
