#include "views/UndoToast.h"

#include "toolkit/Alerts.h"
#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/Shapes.h"
#include "toolkit/TextButton.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int sidePadding = 14;
constexpr int verticalPadding = 8;
constexpr qreal radius = 12;
// Under the pointer the toast stays on: it goes this long after the pointer leaves it.
constexpr int lingerMsec = 1500;

// A raised surface that hides the rows under it: unlike the translucent material, the
// text of the list must not show through.
QColor surface(const Theme &theme, bool dark)
{
    return dark ? mix(theme.windowBackground(), QColor(Qt::white), 0.12) : QColor(Qt::white);
}

} // namespace

UndoToast::UndoToast(QWidget *parent) : QWidget(parent)
{
    Alerts::exposeAsAlert("UndoToast");

    m_message = tr("Tarea eliminada");
    setAccessibleName(m_message);
    setFont(Fonts::rounded(13));
    m_undo = new TextButton(tr("Deshacer"), this);
    m_undo->setAccessibleName(tr("Deshacer"));
    connect(m_undo, &TextButton::clicked, this, [this] {
        if (!m_task.isNull())
            emit undoRequested(m_task);
    });
    m_expiry.setSingleShot(true);
    connect(&m_expiry, &QTimer::timeout, this, &UndoToast::expire);
    hide();
}

void UndoToast::showFor(const QUuid &task)
{
    m_task = task;
    m_expiry.start(shownMsec);
    if (Motion::isPresent(this)) {
        // A new deletion: told again, as the toast it replaces.
        Alerts::announce(this);
        return;
    }
    raise();
    Motion::withAnimation(Animation::easeInOut(0.2), [this] { Motion::setPresent(this, true); });
}

void UndoToast::dismiss()
{
    m_expiry.stop();
    m_task = QUuid();
    Motion::withAnimation(Animation::easeInOut(0.2), [this] { Motion::setPresent(this, false); });
}

void UndoToast::expire()
{
    if (underMouse() || m_undo->hasFocus()) {
        m_expiry.start(lingerMsec);
        return;
    }
    dismiss();
}

QSize UndoToast::sizeHint() const
{
    const int text = int(std::ceil(QFontMetricsF(font()).height()));
    const int height = std::max(text, m_undo->sizeHint().height()) + 2 * verticalPadding;
    return {288, height};
}

void UndoToast::resizeEvent(QResizeEvent *)
{
    const QSize button = m_undo->sizeHint();
    // The capsule behind the action's label reaches into the padding.
    m_undo->setGeometry(width() - sidePadding - button.width() + 8,
                        (height() - button.height()) / 2, button.width(), button.height());
}

void UndoToast::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const bool dark = Theme::isDark(palette());
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    Shapes::fillRoundedRect(painter, box, radius, surface(theme, dark));
    painter.setPen(QPen(dark ? theme.primary(0.12) : theme.primary(0.10), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(Shapes::continuousRoundedRect(box, radius));
    painter.setPen(theme.primary());
    const QRectF text(sidePadding, 0, m_undo->x() - sidePadding, height());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_message);
}

void UndoToast::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    Alerts::announce(this);
}
