#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class SuggestionRow;

// The completion candidates above the input row: one row per tag on the regular material,
// every candidate shown (no height limit, no scrolling).
class SuggestionList : public QWidget
{
    Q_OBJECT

public:
    explicit SuggestionList(QWidget *parent = nullptr);

    void setSuggestions(const QStringList &tags, int highlightedIndex);
    QList<SuggestionRow *> rows() const { return m_rows; }

signals:
    void suggestionChosen(const QString &tag);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<SuggestionRow *> m_rows;
};
