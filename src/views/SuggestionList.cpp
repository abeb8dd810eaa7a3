#include "views/SuggestionList.h"

#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"
#include "views/SuggestionRow.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int sideInset = 16;
constexpr int bottomInset = 4;
constexpr qreal cornerRadius = 8;
} // namespace

SuggestionList::SuggestionList(QWidget *parent) : QWidget(parent)
{
    m_rowColumn = new QWidget;
    auto *rowLayout = new QVBoxLayout(m_rowColumn);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(0);

    // Drawn on the list's material: no frame, no background of its own, and never a stop
    // of the Tab order (Tab belongs to the input line while the list is shown).
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    m_scrollArea->setWidget(m_rowColumn);
    m_rowColumn->setAutoFillBackground(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(sideInset, 0, sideInset, bottomInset);
    layout->setSpacing(0);
    layout->addWidget(m_scrollArea);
}

void SuggestionList::setSuggestions(const QStringList &tags, int highlightedIndex)
{
    QStringList current;
    for (const SuggestionRow *row : std::as_const(m_rows))
        current.append(row->tag());

    if (current != tags) {
        // A row may be the sender of the click being handled: let it go later.
        for (SuggestionRow *row : std::as_const(m_rows)) {
            m_rowColumn->layout()->removeWidget(row);
            row->hide();
            row->deleteLater();
        }
        m_rows.clear();
        for (const QString &tag : tags) {
            auto *row = new SuggestionRow(tag, m_rowColumn);
            connect(row, &SuggestionRow::clicked, this,
                    [this, tag] { emit suggestionChosen(tag); });
            m_rowColumn->layout()->addWidget(row);
            // Counted by the layout at once, even while the list itself is hidden, so the
            // size asked for when it appears already holds every row.
            row->show();
            m_rows.append(row);
        }
        m_scrollArea->verticalScrollBar()->setValue(0);
        updateGeometry();
    }
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows[i]->setHighlighted(i == highlightedIndex);
    if (highlightedIndex >= 0 && highlightedIndex < m_rows.size()) {
        // The row column may not have its final size yet when the list has just appeared.
        m_rowColumn->adjustSize();
        m_scrollArea->ensureWidgetVisible(m_rows[highlightedIndex], 0, 0);
    }
}

void SuggestionList::setAvailableHeight(int height)
{
    if (height == m_availableHeight)
        return;
    m_availableHeight = height;
    updateGeometry();
}

int SuggestionList::rowHeight() const
{
    return m_rows.isEmpty() ? 0 : m_rows.first()->sizeHint().height();
}

int SuggestionList::visibleRowCount() const
{
    const int row = rowHeight();
    if (row == 0)
        return 0;
    const int fitting = std::max(1, (m_availableHeight - bottomInset) / row);
    return std::min({int(m_rows.size()), maximumVisibleRows, fitting});
}

QSize SuggestionList::sizeHint() const
{
    int width = 0;
    for (const SuggestionRow *row : m_rows)
        width = std::max(width, row->sizeHint().width());
    return {width + 2 * sideInset, visibleRowCount() * rowHeight() + bottomInset};
}

void SuggestionList::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF material = QRectF(rect()).adjusted(sideInset, 0, -sideInset, -bottomInset);
    Shapes::fillMaterial(painter, material, cornerRadius, Theme::of(this));
}
