#include "views/EmptyStateView.h"

#include "toolkit/Fonts.h"
#include "toolkit/Symbols.h"
#include "toolkit/Theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

constexpr qreal symbolSize = 32;
constexpr qreal textSize = 15;
constexpr qreal spacing = 12;
constexpr int verticalPadding = 40;

QString message()
{
    return EmptyStateView::tr("Sin tareas por ahora");
}

QSizeF textBox()
{
    const QFontMetricsF metrics(Fonts::rounded(textSize));
    return {metrics.horizontalAdvance(message()), metrics.height()};
}

} // namespace

EmptyStateView::EmptyStateView(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(message());
}

QSize EmptyStateView::sizeHint() const
{
    const QSizeF symbol = QSizeF(Symbols::size(symbolSize));
    const QSizeF text = textBox();
    return {int(std::ceil(std::max(symbol.width(), text.width()))),
            int(std::ceil(symbol.height() + spacing + text.height())) + 2 * verticalPadding};
}

void EmptyStateView::paintEvent(QPaintEvent *)
{
    const QColor color = Theme::of(this).tertiary();
    const QSizeF symbol = QSizeF(Symbols::size(symbolSize));
    const QSizeF text = textBox();
    const qreal contentHeight = symbol.height() + spacing + text.height();

    // The group is centred in what is left once the padding is taken off.
    const QRectF area = QRectF(rect()).adjusted(0, verticalPadding, 0, -verticalPadding);
    const qreal top = area.top() + (area.height() - contentHeight) / 2;
    const qreal centreX = area.center().x();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    Symbols::paint(painter, Symbol::NoteText,
                   QRectF(centreX - symbol.width() / 2, top, symbol.width(), symbol.height()),
                   symbolSize, color);
    painter.setFont(Fonts::rounded(textSize));
    painter.setPen(color);
    painter.drawText(QRectF(centreX - text.width() / 2, top + symbol.height() + spacing,
                            text.width(), text.height()),
                     Qt::AlignCenter | Qt::TextSingleLine, message());
}
