#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QScrollArea;
class SuggestionRow;

// The completion candidates above the input row: one row per tag on the regular material.
// Up to a number of rows (at most maximumVisibleRows, fewer when the window is short) the
// list shows every candidate; beyond it, it scrolls inside, the highlighted row kept in
// view, so that the input line under it never leaves the window.
class SuggestionList : public QWidget
{
    Q_OBJECT

public:
    static constexpr int maximumVisibleRows = 8;

    explicit SuggestionList(QWidget *parent = nullptr);

    void setSuggestions(const QStringList &tags, int highlightedIndex);
    QList<SuggestionRow *> rows() const { return m_rows; }
    // The height the list may take, its bottom inset included; it shows at least one row.
    void setAvailableHeight(int height);
    int visibleRowCount() const;
    QScrollArea *scrollArea() const { return m_scrollArea; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void suggestionChosen(const QString &tag);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int rowHeight() const;

    QList<SuggestionRow *> m_rows;
    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_rowColumn = nullptr;
    int m_availableHeight = QWIDGETSIZE_MAX;
};
