#include "views/TaskRow.h"

#include "model/Tags.h"
#include "toolkit/AnimatedColumn.h"
#include "toolkit/FadeScaleEffect.h"
#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Shapes.h"
#include "toolkit/Symbols.h"
#include "toolkit/Theme.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTextLayout>
#include <QVarLengthArray>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int horizontalPadding = 16;
constexpr int verticalPadding = 9;
constexpr int stackSpacing = 12;
constexpr qreal markSize = 20;
constexpr int markTopPadding = 1;
constexpr qreal deleteSize = 16;
constexpr int deleteTopPadding = 2;
constexpr qreal textSize = 15;
constexpr qreal chipTextSize = 10;
constexpr qreal chipHorizontalPadding = 6;
constexpr qreal chipVerticalPadding = 2;
constexpr qreal chipSpacing = 4;
constexpr qreal textToChips = 4;
constexpr qreal chipFillOpacity = 0.15;
constexpr qreal deleteMinimumScale = 0.8;
// QLineEdit draws its text this far inside its contents rectangle; the field is moved left
// by as much so that the edited text starts where the shown text did.
constexpr int lineEditTextMargin = 2;

const QString editPlaceholder = QStringLiteral("Tarea");

// Fonts and their metrics, made once: every row measures with them, and building metrics
// per row would dominate the cost of a long list.
struct RowFonts {
    QFont text = Fonts::rounded(textSize);
    QFont chip = Fonts::rounded(chipTextSize, QFont::Medium);
    QFontMetricsF textMetrics{text};
    QFontMetricsF chipMetrics{chip};
    qreal lineHeight = textMetrics.ascent() + textMetrics.descent();
    qreal chipHeight = chipMetrics.ascent() + chipMetrics.descent() + 2 * chipVerticalPadding;
};

RowFonts *rowFontsInstance = nullptr;

const RowFonts &rowFonts()
{
    if (!rowFontsInstance) {
        rowFontsInstance = new RowFonts;
        // Fonts must not outlive the application object.
        qAddPostRoutine([] {
            delete rowFontsInstance;
            rowFontsInstance = nullptr;
        });
    }
    return *rowFontsInstance;
}

QSize symbolBox(Symbol symbol, qreal pixelSize)
{
    const QSizeF size = Symbols::size(symbol, pixelSize);
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

// Interpolates in premultiplied form, so that a fade from clear does not pass through the
// (meaningless) colour of the clear end.
QColor mix(const QColor &from, const QColor &to, qreal t)
{
    if (t <= 0)
        return from;
    if (t >= 1)
        return to;
    const qreal a0 = from.alphaF();
    const qreal a1 = to.alphaF();
    const qreal alpha = a0 + (a1 - a0) * t;
    if (alpha <= 0)
        return QColor(0, 0, 0, 0);
    auto channel = [&](qreal c0, qreal c1) {
        return std::clamp((c0 * a0 + (c1 * a1 - c0 * a0) * t) / alpha, 0.0, 1.0);
    };
    return QColor::fromRgbF(float(channel(from.redF(), to.redF())),
                            float(channel(from.greenF(), to.greenF())),
                            float(channel(from.blueF(), to.blueF())), float(alpha));
}

// A stored text may hold line breaks; they are shown as breaks.
QString forLayout(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return text;
}

qreal layOutText(QTextLayout &layout, qreal width)
{
    layout.clearLayout();
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

// A transition's progress, 0 to 1; 1 when it is not running.
qreal progressOf(const QVariantAnimation *animation)
{
    if (!animation || animation->state() != QAbstractAnimation::Running)
        return 1.0;
    return animation->currentValue().toReal();
}

// Starts `animation` from 0 to 1 on the curve of the current transaction; false when there
// is none (or the widget is not on screen), and the change is then to be applied at once.
bool startTransition(QVariantAnimation *animation, const QWidget *widget,
                     const std::optional<Animation> &curve)
{
    animation->stop();
    if (!curve || !widget->isVisible() || curve->durationMs() <= 0)
        return false;
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(curve->durationMs());
    animation->setEasingCurve(curve->easingCurve());
    animation->start();
    return true;
}

} // namespace

TaskRow::TaskRow(const TaskItem &task, QWidget *parent)
    : QWidget(parent), m_task(task), m_displayText(task.displayText())
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(m_displayText);

    m_doneButton = new PlainButton(Symbol::Circle, markSize, this);
    m_doneButton->setObjectName(QStringLiteral("doneMark"));
    // Clicking the mark must not take the focus: that would end an edit in progress.
    m_doneButton->setFocusPolicy(Qt::NoFocus);
    m_doneButton->resize(m_doneButton->sizeHint());
    updateDoneMark();
    connect(m_doneButton, &QAbstractButton::clicked, this, [this] {
        const QUuid id = m_task.id;
        Motion::withAnimation(Animation::spring(0.2), [&] { emit doneToggled(id); });
    });

    m_doneFrom = m_task.isDone ? 1.0 : 0.0;
}

TaskRow::~TaskRow()
{
    // The field may still hold the focus; losing it while the row is half destroyed must
    // not commit anything.
    m_editing = false;
    if (m_editField) {
        m_editField->removeEventFilter(this);
        m_editField->disconnect(this);
    }
}

QUuid TaskRow::taskId() const
{
    return m_task.id;
}

void TaskRow::setTask(const TaskItem &task)
{
    Q_ASSERT(task.id == m_task.id);
    const bool textChanged = task.text != m_task.text || task.tags != m_task.tags;
    const bool doneChanged = task.isDone != m_task.isDone;
    const bool priorityChanged = task.isPriority != m_task.isPriority;
    if (!textChanged && !doneChanged && !priorityChanged)
        return;

    const Theme theme = Theme::of(this);
    const QColor shownBackgroundBefore = shownBackground(theme);
    const qreal shownDoneBefore = shownDoneProgress();
    m_task = task;

    if (textChanged) {
        m_displayText = m_task.displayText();
        setAccessibleName(m_displayText);
        forgetTextMeasurements();
        geometryMayHaveChanged();
    }
    if (doneChanged || priorityChanged)
        updateDoneMark();
    if (doneChanged) {
        // The text style follows on its own ease-in-out, whatever curve the change came in.
        if (!m_styleAnimation) {
            m_styleAnimation = new QVariantAnimation(this);
            connect(m_styleAnimation, &QVariantAnimation::valueChanged, this, [this] { update(); });
        }
        m_doneFrom = shownDoneBefore;
        const std::optional<Animation> curve = Motion::current();
        startTransition(m_styleAnimation, this,
                        curve ? std::optional(Animation::easeInOut(0.2)) : std::nullopt);
    }
    if (priorityChanged) {
        if (!m_backgroundAnimation) {
            m_backgroundAnimation = new QVariantAnimation(this);
            connect(m_backgroundAnimation, &QVariantAnimation::valueChanged, this,
                    [this] { update(); });
        }
        m_backgroundFrom = shownBackgroundBefore;
        startTransition(m_backgroundAnimation, this, Motion::current());
    }
    update();
}

bool TaskRow::isHovered() const
{
    return m_hovered;
}

bool TaskRow::isEditing() const
{
    return m_editing;
}

void TaskRow::startEditing()
{
    if (!m_editField) {
        m_editField = new QLineEdit(this);
        m_editField->setObjectName(QStringLiteral("editField"));
        m_editField->setFrame(false);
        // QLineEdit cuts text at 32,767 characters by default, which would shorten a long
        // task on an unchanged edit.
        m_editField->setMaxLength(std::numeric_limits<int>::max());
        m_editField->setPlaceholderText(editPlaceholder);
        m_editField->setFont(rowFonts().text);
        m_editField->setAutoFillBackground(false);
        updateEditFieldColors();
        m_editField->installEventFilter(this);
        connect(m_editField, &QLineEdit::returnPressed, this, &TaskRow::commitEdit);
    }
    if (!m_editing) {
        // The full stored text, tag words included, not the shortened text shown.
        m_editField->setText(m_task.text);
        m_editing = true;
        geometryMayHaveChanged();
        m_editField->show();
    }
    m_editField->setFocus(Qt::OtherFocusReason);
}

void TaskRow::commitEdit()
{
    // Return commits, and so does the focus loss that follows when the field goes away; the
    // second call finds the edit already finished.
    if (!m_editing)
        return;
    const QString text = editedText();
    const QUuid id = m_task.id;
    finishEditing();
    // Last: whoever applies the change may rebuild the list and even remove this row.
    if (!text.isEmpty())
        emit textEdited(id, text);
}

QString TaskRow::editedText() const
{
    if (!m_editing || !m_editField)
        return {};
    return trimmedSpacesAndTabs(m_editField->text());
}

void TaskRow::discardEdit()
{
    if (m_editing)
        finishEditing();
}

void TaskRow::finishEditing()
{
    m_editing = false;
    if (m_editField) {
        // Focus first, so the field does not hand it on to the next widget in the chain
        // when it hides.
        m_editField->clearFocus();
        m_editField->hide();
    }
    geometryMayHaveChanged();
    update();
}

int TaskRow::heightForWidth(int width) const
{
    return geometryFor(width).height;
}

QSize TaskRow::sizeHint() const
{
    const int width = this->width() > 0 ? this->width() : 320;
    return {width, heightForWidth(width)};
}

QSize TaskRow::minimumSizeHint() const
{
    // The height is the one-line row's: the real one comes from heightForWidth, and
    // measuring the text at this narrow width would only waste a layout.
    const QSize mark = symbolBox(Symbol::Circle, markSize);
    const int deleteWidth = symbolBox(Symbol::XmarkCircleFill, deleteSize).width();
    return {2 * horizontalPadding + mark.width() + deleteWidth + 2 * stackSpacing,
            2 * verticalPadding + mark.height() + markTopPadding};
}

const TaskRow::Geometry &TaskRow::geometryFor(int width) const
{
    Geometry &g = m_geometry;
    if (g.width == width && g.hovered == m_hovered && g.editing == m_editing)
        return g;

    const RowFonts &fonts = rowFonts();
    const QSize mark = symbolBox(Symbol::Circle, markSize);
    const QSize remove = symbolBox(Symbol::XmarkCircleFill, deleteSize);

    g = Geometry();
    g.width = width;
    g.hovered = m_hovered;
    g.editing = m_editing;
    g.textX = horizontalPadding + mark.width() + stackSpacing;
    // The text area takes what the mark and, while shown, the delete button leave.
    qreal right = width - horizontalPadding;
    if (m_hovered)
        right -= remove.width() + stackSpacing;
    g.textWidth = std::max<qreal>(right - g.textX, 1);

    if (m_editing) {
        g.textHeight = fonts.lineHeight;
        g.displayHeight = fonts.lineHeight;
    } else {
        g.textHeight = textHeightFor(g.textWidth);
        g.displayHeight = g.textHeight;

        // Chips run left to right and wrap onto further lines rather than being cut off.
        if (!m_task.tags.isEmpty()) {
            if (m_chipWidths.size() != m_task.tags.size()) {
                m_chipWidths.clear();
                for (const QString &tag : m_task.tags) {
                    m_chipWidths.append(std::ceil(fonts.chipMetrics.horizontalAdvance(tag)) +
                                        2 * chipHorizontalPadding);
                }
            }
            const qreal top = verticalPadding + g.textHeight + textToChips;
            qreal x = 0;
            qreal y = 0;
            for (qsizetype i = 0; i < m_task.tags.size(); ++i) {
                const QString &tag = m_task.tags[i];
                Chip chip{QRectF(), tag, tag};
                qreal chipWidth = m_chipWidths[i];
                if (chipWidth > g.textWidth) {
                    chip.label = fonts.chipMetrics.elidedText(
                        tag, Qt::ElideRight, g.textWidth - 2 * chipHorizontalPadding);
                    chipWidth = g.textWidth;
                }
                if (x > 0 && x + chipWidth > g.textWidth) {
                    x = 0;
                    y += fonts.chipHeight + chipSpacing;
                }
                chip.rect = QRectF(g.textX + x, top + y, chipWidth, fonts.chipHeight);
                g.chips.append(chip);
                x += chipWidth + chipSpacing;
            }
            g.displayHeight += textToChips + y + fonts.chipHeight;
        }
    }

    qreal content = std::max<qreal>(mark.height() + markTopPadding, g.displayHeight);
    if (m_hovered)
        content = std::max<qreal>(content, remove.height() + deleteTopPadding);
    g.height = int(std::ceil(content)) + 2 * verticalPadding;
    return g;
}

qreal TaskRow::textHeightFor(qreal textWidth) const
{
    const RowFonts &fonts = rowFonts();
    if (m_naturalWidth < 0) {
        const bool breaks = std::any_of(m_displayText.cbegin(), m_displayText.cend(), [](QChar c) {
            return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator;
        });
        m_naturalWidth = breaks ? std::numeric_limits<qreal>::infinity()
                                : fonts.textMetrics.horizontalAdvance(m_displayText);
    }
    if (m_naturalWidth <= textWidth)
        return fonts.lineHeight;
    for (const WrappedHeight &known : m_wrappedHeights) {
        if (known.width == textWidth)
            return known.height;
    }
    const QTextLayout &layout = wrappedLayout(textWidth);
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    const qreal height = last.isValid() ? last.y() + last.height() : fonts.lineHeight;
    m_wrappedHeights[m_nextWrappedSlot] = {textWidth, height};
    m_nextWrappedSlot = (m_nextWrappedSlot + 1) % 2;
    return height;
}

const QTextLayout &TaskRow::wrappedLayout(qreal textWidth) const
{
    if (!m_textLayout) {
        m_textLayout = std::make_unique<QTextLayout>(forLayout(m_displayText), rowFonts().text);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_textLayout->setTextOption(option);
        m_textLayout->setCacheEnabled(true);
    }
    if (m_textLayoutWidth != textWidth) {
        layOutText(*m_textLayout, textWidth);
        m_textLayoutWidth = textWidth;
    }
    return *m_textLayout;
}

void TaskRow::forgetTextMeasurements()
{
    m_naturalWidth = -1;
    m_chipWidths.clear();
    for (WrappedHeight &known : m_wrappedHeights)
        known = WrappedHeight();
    m_textLayout.reset();
    m_textLayoutWidth = -1;
}

void TaskRow::invalidateGeometry()
{
    m_geometry.width = -1;
}

bool TaskRow::geometryMayHaveChanged()
{
    const int before = m_geometry.width == width() ? m_geometry.height : -1;
    invalidateGeometry();
    const int after = geometryFor(width()).height;
    if (after != before)
        updateGeometry();
    placeChildren();
    update();
    return after != before;
}

void TaskRow::placeChildren()
{
    const Geometry &g = geometryFor(width());
    m_doneButton->move(horizontalPadding, verticalPadding + markTopPadding);
    if (m_deleteButton) {
        const QSize size = m_deleteButton->sizeHint();
        m_deleteButton->setGeometry(width() - horizontalPadding - size.width(),
                                    verticalPadding + deleteTopPadding, size.width(),
                                    size.height());
    }
    if (m_editField && m_editing) {
        const int height = m_editField->sizeHint().height();
        const qreal lineHeight = rowFonts().lineHeight;
        m_editField->setGeometry(int(g.textX) - lineEditTextMargin,
                                 verticalPadding + int(std::floor((lineHeight - height) / 2)),
                                 int(g.textWidth) + lineEditTextMargin, height);
    }
}

void TaskRow::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    const QColor shownBefore = shownBackground(Theme::of(this));
    m_hovered = hovered;

    if (!m_backgroundAnimation) {
        m_backgroundAnimation = new QVariantAnimation(this);
        connect(m_backgroundAnimation, &QVariantAnimation::valueChanged, this,
                [this] { update(); });
    }
    m_backgroundFrom = shownBefore;
    startTransition(m_backgroundAnimation, this, Motion::current());

    // The delete button grows in from 0.8 while fading in, and shrinks back while fading
    // out; while it goes it no longer takes clicks.
    if (hovered)
        ensureDeleteButton();
    if (m_deleteButton) {
        m_deleteButton->setAttribute(Qt::WA_TransparentForMouseEvents, !hovered);
        if (hovered)
            m_deleteButton->show();
        m_deleteFrom = m_deletePresence;
        if (!startTransition(m_deleteAnimation, this, Motion::current())) {
            setDeletePresence(hovered ? 1.0 : 0.0);
            m_deleteButton->setVisible(hovered);
        }
    }
    // The text area narrows while the delete button is shown, so a text near the edge
    // wraps anew. The list then moves the rows below with this transaction, rather than
    // jumping on the next layout request.
    if (geometryMayHaveChanged()) {
        if (auto *column = qobject_cast<AnimatedColumn *>(parentWidget());
            column && Motion::current() && isVisible()) {
            column->relayout();
        }
    }
}

void TaskRow::ensureDeleteButton()
{
    if (m_deleteButton)
        return;
    m_deleteButton = new PlainButton(Symbol::XmarkCircleFill, deleteSize, this);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_deleteButton->setAccessibleName(QStringLiteral("Eliminar tarea"));
    m_deleteButton->setFocusPolicy(Qt::NoFocus);
    m_deleteButton->setColor(Theme::of(this).tertiary());
    m_deleteButton->hide();
    connect(m_deleteButton, &QAbstractButton::clicked, this,
            [this] { emit deleteRequested(m_task.id); });

    m_deleteAnimation = new QVariantAnimation(this);
    connect(m_deleteAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) {
                const qreal target = m_hovered ? 1.0 : 0.0;
                setDeletePresence(m_deleteFrom + (target - m_deleteFrom) * value.toReal());
            });
    connect(m_deleteAnimation, &QVariantAnimation::finished, this, [this] {
        setDeletePresence(m_hovered ? 1.0 : 0.0);
        m_deleteButton->setVisible(m_hovered);
    });
    m_deletePresence = 0;
    placeChildren();
}

void TaskRow::setDeletePresence(qreal presence)
{
    m_deletePresence = presence;
    if (presence >= 1.0) {
        // Fully shown: drawn directly, without the effect's offscreen pass.
        if (m_deleteEffect) {
            m_deleteButton->setGraphicsEffect(nullptr);
            m_deleteEffect = nullptr;
        }
        return;
    }
    if (!m_deleteEffect) {
        m_deleteEffect = new FadeScaleEffect(deleteMinimumScale, m_deleteButton);
        m_deleteButton->setGraphicsEffect(m_deleteEffect);
    }
    m_deleteEffect->setPresence(presence);
}

void TaskRow::updateDoneMark()
{
    m_doneButton->setSymbol(m_task.isDone ? Symbol::CheckmarkCircleFill : Symbol::Circle);
    m_doneButton->setColor(markColor(Theme::of(this)));
    m_doneButton->setAccessibleName(m_task.isDone ? QStringLiteral("Marcar como pendiente")
                                                  : QStringLiteral("Marcar como hecha"));
}

void TaskRow::updateEditFieldColors()
{
    if (!m_editField)
        return;
    const Theme theme = Theme::of(this);
    QPalette palette = m_editField->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, theme.primary());
    palette.setColor(QPalette::PlaceholderText, theme.tertiary());
    m_editField->setPalette(palette);
}

QColor TaskRow::markColor(const Theme &theme) const
{
    if (m_task.isDone)
        return Theme::accent();
    if (m_task.isPriority)
        return theme.red(0.6);
    return theme.primary(0.25);
}

QColor TaskRow::backgroundColor(const Theme &theme) const
{
    if (m_task.isPriority)
        return theme.red(m_hovered ? 0.18 : 0.12);
    if (m_hovered)
        return theme.primary(0.05);
    return Qt::transparent;
}

QColor TaskRow::shownBackground(const Theme &theme) const
{
    return mix(m_backgroundFrom, backgroundColor(theme), progressOf(m_backgroundAnimation));
}

qreal TaskRow::shownDoneProgress() const
{
    const qreal target = m_task.isDone ? 1.0 : 0.0;
    return m_doneFrom + (target - m_doneFrom) * progressOf(m_styleAnimation);
}

QRectF TaskRow::displayRect() const
{
    const Geometry &g = geometryFor(width());
    return {g.textX, qreal(verticalPadding), g.textWidth, g.displayHeight};
}

void TaskRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Theme theme = Theme::of(this);
    const QColor background = shownBackground(theme);
    if (background.alpha() > 0)
        painter.fillRect(rect(), background);
    if (m_editing)
        return;

    const Geometry &g = geometryFor(width());
    painter.setRenderHint(QPainter::Antialiasing);
    paintText(painter, theme, g);
    paintChips(painter, g);
}

void TaskRow::paintText(QPainter &painter, const Theme &theme, const Geometry &g)
{
    const RowFonts &fonts = rowFonts();
    const qreal done = shownDoneProgress();
    const QPointF origin(g.textX, verticalPadding);
    painter.setPen(mix(theme.primary(), theme.tertiary(), done));

    // Each line's left end and natural width, for the strike-through.
    QVarLengthArray<QRectF, 4> lines;
    if (m_naturalWidth <= g.textWidth) {
        painter.setFont(fonts.text);
        painter.drawText(origin + QPointF(0, fonts.textMetrics.ascent()), m_displayText);
        lines.append(QRectF(origin.x(), origin.y(), m_naturalWidth, fonts.lineHeight));
    } else {
        const QTextLayout &layout = wrappedLayout(g.textWidth);
        layout.draw(&painter, origin);
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            lines.append(QRectF(origin.x() + line.x(), origin.y() + line.y(),
                                line.naturalTextWidth(), line.height()));
        }
    }
    if (done <= 0)
        return;

    // The strike-through has a colour of its own, so it is drawn here rather than by the
    // font.
    const QFontMetricsF &metrics = fonts.textMetrics;
    QPen pen(withOpacity(theme.secondary(), done));
    pen.setWidthF(std::max<qreal>(1.0, metrics.lineWidth()));
    painter.setPen(pen);
    for (const QRectF &line : lines) {
        if (line.width() <= 0)
            continue;
        const qreal y = line.top() + metrics.ascent() - metrics.strikeOutPos();
        painter.drawLine(QPointF(line.left(), y), QPointF(line.right(), y));
    }
}

void TaskRow::paintChips(QPainter &painter, const Geometry &g)
{
    if (g.chips.isEmpty())
        return;
    painter.setFont(rowFonts().chip);
    for (const Chip &chip : g.chips) {
        Shapes::fillCapsule(painter, chip.rect, Theme::tagColor(chip.tag, chipFillOpacity));
        painter.setPen(Theme::tagColor(chip.tag));
        painter.drawText(chip.rect, Qt::AlignCenter | Qt::TextSingleLine, chip.label);
    }
}

void TaskRow::resizeEvent(QResizeEvent *event)
{
    placeChildren();
    QWidget::resizeEvent(event);
}

void TaskRow::changeEvent(QEvent *event)
{
    // A switch between light and dark appearance: colours are read again at once.
    if (event->type() == QEvent::PaletteChange) {
        updateDoneMark();
        if (m_deleteButton)
            m_deleteButton->setColor(Theme::of(this).tertiary());
        updateEditFieldColors();
        update();
    }
    QWidget::changeEvent(event);
}

void TaskRow::enterEvent(QEnterEvent *event)
{
    Motion::withAnimation(Animation::easeInOut(0.15), [this] { setHovered(true); });
    QWidget::enterEvent(event);
}

void TaskRow::leaveEvent(QEvent *event)
{
    Motion::withAnimation(Animation::easeInOut(0.15), [this] { setHovered(false); });
    QWidget::leaveEvent(event);
}

void TaskRow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !m_editing &&
        displayRect().contains(event->position())) {
        startEditing();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TaskRow::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool priority = m_task.isPriority;
    const QColor iconColor = menu->palette().color(QPalette::Text);
    QAction *action = menu->addAction(
        Symbols::icon(priority ? Symbol::FlagSlash : Symbol::FlagFill, 16, iconColor),
        priority ? QStringLiteral("Quitar prioridad") : QStringLiteral("Marcar como prioritaria"));
    const QUuid id = m_task.id;
    connect(action, &QAction::triggered, this, [this, id] {
        Motion::withAnimation(Animation::spring(0.2), [&] { emit priorityToggled(id); });
    });
    menu->popup(event->globalPos());
    event->accept();
}

bool TaskRow::eventFilter(QObject *watched, QEvent *event)
{
    // Any focus loss ends the edit and stores it, except the one caused by a popup (the
    // field's own context menu, or this row's) after which the focus comes back.
    if (watched == m_editField && event->type() == QEvent::FocusOut && m_editing) {
        const auto *focusEvent = static_cast<QFocusEvent *>(event);
        if (focusEvent->reason() != Qt::PopupFocusReason)
            commitEdit();
    }
    return QWidget::eventFilter(watched, event);
}
