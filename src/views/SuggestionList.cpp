#include "views/SuggestionList.h"

#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"
#include "views/SuggestionRow.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr int sideInset = 16;
constexpr int bottomInset = 4;
constexpr qreal cornerRadius = 8;
} // namespace

SuggestionList::SuggestionList(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(sideInset, 0, sideInset, bottomInset);
    layout->setSpacing(0);
}

void SuggestionList::setSuggestions(const QStringList &tags, int highlightedIndex)
{
    QStringList current;
    for (const SuggestionRow *row : std::as_const(m_rows))
        current.append(row->tag());

    if (current != tags) {
        // A row may be the sender of the click being handled: let it go later.
        for (SuggestionRow *row : std::as_const(m_rows)) {
            layout()->removeWidget(row);
            row->hide();
            row->deleteLater();
        }
        m_rows.clear();
        for (const QString &tag : tags) {
            auto *row = new SuggestionRow(tag, this);
            connect(row, &SuggestionRow::clicked, this,
                    [this, tag] { emit suggestionChosen(tag); });
            layout()->addWidget(row);
            // Counted by the layout at once, even while the list itself is hidden, so the
            // size asked for when it appears already holds every row.
            row->show();
            m_rows.append(row);
        }
        updateGeometry();
    }
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows[i]->setHighlighted(i == highlightedIndex);
}

void SuggestionList::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF material = QRectF(rect()).adjusted(sideInset, 0, -sideInset, -bottomInset);
    Shapes::fillMaterial(painter, material, cornerRadius, Theme::of(this));
}
