#include "views/TagFilterBar.h"

#include "model/Tags.h"

#include "toolkit/ColumnMotion.h"
#include "toolkit/Motion.h"
#include "views/TagChip.h"

#include <QApplication>
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

// The chips' row inside the scroll area: as large as the chips placed on it need.
class ChipStrip : public QWidget
{
public:
    using QWidget::QWidget;
    void setContentSize(const QSize &size)
    {
        if (size == m_size)
            return;
        m_size = size;
        updateGeometry();
    }
    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return m_size; }

private:
    QSize m_size;
};

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

    m_content = new ChipStrip;
    m_scroll->setWidget(m_content);
    // setWidget() turns background filling on; the strip shows the window behind it.
    m_content->setAutoFillBackground(false);
    m_motion = new ColumnMotion(this);
    connect(m_motion, &ColumnMotion::itemLeft, this, [this](QObject *chip) {
        m_motion->drop(chip);
        static_cast<QWidget *>(chip)->hide();
        chip->deleteLater();
    });

    m_scroll->viewport()->installEventFilter(this);
    m_content->installEventFilter(this);
}

void TagFilterBar::setState(const QStringList &allTags, const std::optional<QString> &selectedTag)
{
    QList<TagChip *> chips;
    QList<TagChip *> inserted;
    QList<TagChip *> spare = m_chips;
    for (const QString &tag : allTags) {
        // Chips are identified by their tag text.
        auto found = std::find_if(spare.begin(), spare.end(),
                                  [&](const TagChip *chip) { return chip->tag() == tag; });
        if (found != spare.end()) {
            chips.append(*found);
            spare.erase(found);
        } else {
            chips.append(createChip(tag));
            inserted.append(chips.last());
        }
    }
    m_chips = chips;
    placeChips(inserted, spare);

    // Keyboard users meet the chips in the order shown, right after what comes before the
    // strip (chips made later would otherwise come last in the window's Tab order).
    QWidget *before = m_content;
    for (TagChip *chip : std::as_const(m_chips)) {
        chip->setSelected(selectedTag && sameTag(chip->tag(), *selectedTag));
        QWidget::setTabOrder(before, chip);
        before = chip;
    }
}

TagChip *TagFilterBar::createChip(const QString &tag)
{
    auto *chip = new TagChip(tag, m_content);
    chip->installEventFilter(this);
    connect(chip, &QAbstractButton::clicked, this, [this, chip] {
        const QString tag = chip->tag();
        const bool wasSelected = chip->isSelected();
        Motion::withAnimation(Animation::easeInOut(0.2),
                              [&] { emit chipClicked(tag, wasSelected); });
    });
    return chip;
}

void TagFilterBar::placeChips(const QList<TagChip *> &inserted, const QList<TagChip *> &removed)
{
    // One line from the leading edge, 6 apart, inset as the strip's padding says.
    QList<QRect> targets;
    int x = sideInset;
    int height = 0;
    for (const TagChip *chip : std::as_const(m_chips)) {
        const QSize size = chip->sizeHint();
        targets.append(QRect(QPoint(x, verticalInset), size));
        x += size.width() + chipSpacing;
        height = std::max(height, size.height());
    }
    const int width = m_chips.isEmpty() ? 2 * sideInset : x - chipSpacing + sideInset;
    static_cast<ChipStrip *>(m_content)->setContentSize(QSize(width, height + 2 * verticalInset));
    updateGeometry();

    const std::optional<Animation> animation = Motion::currentFor(this);
    if (animation)
        m_motion->restart({});
    for (TagChip *chip : removed) {
        if (animation) {
            m_motion->leave(chip, false);
        } else {
            // The chip may be the sender of the click being handled.
            m_motion->drop(chip);
            chip->hide();
            chip->deleteLater();
        }
    }
    for (qsizetype i = 0; i < m_chips.size(); ++i) {
        TagChip *chip = m_chips[i];
        if (inserted.contains(chip)) {
            chip->show();
            if (animation)
                m_motion->enter(chip, QRectF(targets[i]), QRectF(targets[i]));
            else
                chip->setGeometry(targets[i]);
        } else if (animation && (m_motion->isMoving(chip) || chip->geometry() != targets[i])) {
            m_motion->moveTo(chip, QRectF(targets[i]));
        } else if (m_motion->isMoving(chip)) {
            m_motion->redirect(chip, targets[i]);
        } else {
            chip->setGeometry(targets[i]);
        }
    }
    if (animation)
        m_motion->start(*animation);
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
    if (watched == m_content && type == QEvent::LayoutRequest) {
        // A chip's size changed (its font, say): the chips are placed again.
        placeChips({}, {});
    } else if (type == QEvent::FocusIn) {
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
