#include "views/TagFilterBar.h"

#include "toolkit/Motion.h"
#include "views/TagChip.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QScroller>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr int sideInset = 16;
constexpr int verticalInset = 8;
constexpr int chipSpacing = 6;
// A notch of a mouse wheel (120 eighths of a degree) scrolls this many pixels.
constexpr qreal pixelsPerNotch = 40;
} // namespace

TagFilterBar::TagFilterBar(QWidget *parent) : QWidget(parent)
{
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);

    // Dragging with the left button scrolls the strip through a QScroller, fed from the
    // event filter: grabbing its gesture instead would leak a recognizer for every strip
    // destroyed unused (Qt 6.4), and would hold back every press on a chip. The strip
    // follows the pointer and stops when let go: no flick, no overshoot at the ends.
    QScroller *scroller = QScroller::scroller(m_scroll->viewport());
    QScrollerProperties properties = scroller->scrollerProperties();
    properties.setScrollMetric(QScrollerProperties::DragStartDistance,
                               QApplication::startDragDistance() * 0.0254 /
                                   m_scroll->viewport()->physicalDpiX());
    properties.setScrollMetric(QScrollerProperties::MaximumVelocity, 0);
    properties.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                               QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    scroller->setScrollerProperties(properties);

    m_content = new QWidget;
    auto *layout = new QHBoxLayout(m_content);
    layout->setContentsMargins(sideInset, verticalInset, sideInset, verticalInset);
    layout->setSpacing(chipSpacing);
    // Chips start at the leading edge when they need less than the width offered.
    layout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_scroll->setWidget(m_content);
    // setWidget() turns background filling on; the strip shows the window behind it.
    m_content->setAutoFillBackground(false);

    m_scroll->viewport()->installEventFilter(this);
    m_content->installEventFilter(this);
}

void TagFilterBar::setState(const QStringList &allTags, const std::optional<QString> &selectedTag)
{
    QList<TagChip *> chips;
    QList<TagChip *> spare = m_chips;
    for (const QString &tag : allTags) {
        // Chips are identified by their tag text.
        auto found = std::find_if(spare.begin(), spare.end(),
                                  [&](const TagChip *chip) { return chip->tag() == tag; });
        TagChip *chip = nullptr;
        if (found != spare.end()) {
            chip = *found;
            spare.erase(found);
        } else {
            chip = new TagChip(tag, m_content);
            chip->installEventFilter(this);
            connect(chip, &QAbstractButton::clicked, this, [this, chip] {
                const QString tag = chip->tag();
                const bool wasSelected = chip->isSelected();
                Motion::withAnimation(Animation::easeInOut(0.2),
                                      [&] { emit chipClicked(tag, wasSelected); });
            });
        }
        chips.append(chip);
    }
    for (TagChip *chip : std::as_const(spare)) {
        // The chip may be the sender of the click being handled.
        chip->hide();
        chip->deleteLater();
    }

    auto *layout = static_cast<QHBoxLayout *>(m_content->layout());
    while (layout->count() > 0)
        delete layout->takeAt(0);
    for (TagChip *chip : std::as_const(chips)) {
        layout->addWidget(chip, 0, Qt::AlignVCenter);
        chip->show();
    }
    m_chips = chips;

    for (TagChip *chip : std::as_const(m_chips)) {
        chip->setSelected(selectedTag &&
                          chip->tag().compare(*selectedTag, Qt::CaseInsensitive) == 0);
    }
    updateGeometry();
}

QSize TagFilterBar::sizeHint() const
{
    return m_content->sizeHint();
}

QSize TagFilterBar::minimumSizeHint() const
{
    return QSize(0, m_content->sizeHint().height());
}

void TagFilterBar::resizeEvent(QResizeEvent *)
{
    m_scroll->setGeometry(rect());
}

bool TagFilterBar::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
        type == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton && !(mouse->buttons() & Qt::LeftButton))
            return false;
        QScroller *scroller = QScroller::scroller(m_scroll->viewport());
        scroller->handleInput(type == QEvent::MouseButtonPress ? QScroller::InputPress
                              : type == QEvent::MouseMove      ? QScroller::InputMove
                                                               : QScroller::InputRelease,
                              m_scroll->viewport()->mapFromGlobal(mouse->globalPosition()),
                              mouse->timestamp());
        if (scroller->state() != QScroller::Dragging)
            return false;
        // A press that became a drag clicks nothing: the chip lets go of it, and the moves
        // are the strip's. The release still reaches the chip, so that it forgets the press.
        if (auto *chip = qobject_cast<TagChip *>(watched))
            chip->setDown(false);
        return type == QEvent::MouseMove;
    }
    if (type == QEvent::FocusIn) {
        // A chip reached with the keyboard scrolls into view.
        if (auto *chip = qobject_cast<TagChip *>(watched))
            m_scroll->ensureWidgetVisible(chip, sideInset, 0);
    } else if (type == QEvent::Wheel) {
        // Either axis scrolls sideways, over a chip or between chips.
        auto *wheel = static_cast<QWheelEvent *>(event);
        QScrollBar *bar = m_scroll->horizontalScrollBar();
        if (bar->maximum() == 0) {
            wheel->ignore();
            return false;
        }
        const QPoint pixels = wheel->pixelDelta();
        const QPoint angle = wheel->angleDelta();
        qreal delta = 0;
        if (!pixels.isNull())
            delta = std::abs(pixels.x()) > std::abs(pixels.y()) ? pixels.x() : pixels.y();
        else
            delta = (std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y()) *
                    pixelsPerNotch / 120.0;
        bar->setValue(bar->value() - int(std::lround(delta)));
        wheel->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
