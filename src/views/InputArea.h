#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class PlainButton;
class QLineEdit;
class SuggestionList;

// The input line at the bottom, its add button, and the tag completion list above it.
//
// While the text ends in a "#" and word characters, the tags in use that contain that word
// are listed above the field. Tab moves the highlight down the list and Return puts the
// highlighted tag into the text; both keys are taken from the field only while the list is
// shown, otherwise Tab moves the focus as usual and Return adds the task. A click on a
// listed tag puts that tag into the text.
class InputArea : public QWidget
{
    Q_OBJECT

public:
    explicit InputArea(QWidget *parent = nullptr);

    // Where candidates come from; read afresh at every change of the text.
    void setTagSource(std::function<QStringList()> allTags);

    QLineEdit *field() const { return m_field; }
    // The most height the area may take, completion list and input row together; a long
    // list scrolls inside that room instead of pushing the input row off the window.
    void setAvailableHeight(int height);

signals:
    // The text trimmed of spaces and tabs, never blank, emitted inside a 0.25 s spring
    // transaction. The area then clears the field and closes the list; the focus stays.
    void taskSubmitted(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateTagSuggestions();
    // Replaces the trailing "#" and partial word with "#", the tag and a space.
    void applySuggestion(const QString &tag);
    bool isShowingSuggestions() const;
    void setSuggestionsShown(bool shown);
    void addTask();
    void updateAddButton();

    void updateSuggestionRoom();

    std::function<QStringList()> m_tagSource;
    int m_availableHeight = QWIDGETSIZE_MAX;
    QStringList m_tagSuggestions;
    int m_selectedSuggestionIndex = 0;

    SuggestionList *m_suggestionList = nullptr;
    QWidget *m_row = nullptr;
    QLineEdit *m_field = nullptr;
    PlainButton *m_addButton = nullptr;
};
