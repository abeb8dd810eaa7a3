#include "views/TaskRow.h"

#include "model/Tags.h"
#include "toolkit/FadeScaleEffect.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Shapes.h"
#include "toolkit/Symbols.h"
#include "toolkit/Theme.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>

#include <cmath>
#include <limits>

namespace {

using Layout = TaskRowLayout;

constexpr qreal deleteMinimumScale = 0.8;
// Text running under the delete button fades out over this much before it.
constexpr qreal deleteFadeWidth = 12;
// QLineEdit draws its text this far inside its contents rectangle; the field is moved left
// by as much so that the edited text starts where the shown text did.
constexpr int lineEditTextMargin = 2;

} // namespace

TaskRow::TaskRow(const TaskItem &task, QWidget *parent)
    : QWidget(parent), m_task(task), m_doneStyle(task.isDone ? 1.0 : 0.0)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    showContent();
    m_background = backgroundColor(Theme::of(this));

    m_doneButton = new PlainButton(Symbol::Circle, Layout::markSize, this);
    m_doneButton->setObjectName(QStringLiteral("doneMark"));
    // Clicking the mark must not take the focus: that would end an edit in progress.
    m_doneButton->setFocusPolicy(Qt::NoFocus);
    m_doneButton->resize(m_doneButton->sizeHint());
    updateDoneMark();
    connect(m_doneButton, &QAbstractButton::clicked, this, &TaskRow::toggleDone);
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

void TaskRow::setTask(const TaskItem &task)
{
    Q_ASSERT(task.id == m_task.id);
    const bool textChanged = task.text != m_task.text || task.tags != m_task.tags;
    const bool doneChanged = task.isDone != m_task.isDone;
    const bool priorityChanged = task.isPriority != m_task.isPriority;
    if (!textChanged && !doneChanged && !priorityChanged)
        return;

    const int heightBefore = geometry().height;
    m_task = task;
    if (textChanged) {
        showContent();
        updateShape(heightBefore);
    }
    // The mark, and what a screen reader says of the row, name the text and the state.
    updateDoneMark();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (doneChanged) {
        // The text style follows on its own ease-in-out, whatever curve the change came in.
        const bool animated = Motion::currentFor(this).has_value();
        Motion::animateProperty(this, "doneStyle", m_task.isDone ? 1.0 : 0.0,
                                animated ? std::optional(Animation::easeInOut(0.2)) : std::nullopt);
    }
    if (priorityChanged)
        Motion::animateProperty(this, "background", backgroundColor(Theme::of(this)));
}

void TaskRow::toggleDone()
{
    const QUuid id = m_task.id;
    Motion::withAnimation(Animation::spring(0.2), [&] { emit doneToggled(id); });
}

void TaskRow::togglePriority()
{
    const QUuid id = m_task.id;
    Motion::withAnimation(Animation::spring(0.2), [&] { emit priorityToggled(id); });
}

void TaskRow::requestDelete()
{
    emit deleteRequested(m_task.id);
}

void TaskRow::setFocusRingShown(bool shown)
{
    if (shown == m_focusRingShown)
        return;
    m_focusRingShown = shown;
    update();
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
        m_editField->setPlaceholderText(tr("Tarea"));
        m_editField->setAccessibleName(tr("Editar tarea"));
        m_editField->setFont(Layout::textFont());
        m_editField->setAutoFillBackground(false);
        Theme::of(this).applyTo(m_editField);
        m_editField->installEventFilter(this);
    }
    if (!m_editing) {
        // The full stored text, tag words included, not the shortened text shown.
        m_editField->setText(m_task.text);
        m_refocusAfterEdit = hasFocus();
        const int heightBefore = geometry().height;
        m_editing = true;
        updateShape(heightBefore);
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
    const int heightBefore = geometry().height;
    m_editing = false;
    if (m_editField) {
        // Focus first, so the field does not hand it on to the next widget in the chain
        // when it hides. An edit begun on the focused row gives the focus back to the row.
        if (m_refocusAfterEdit && m_editField->hasFocus())
            setFocus(Qt::OtherFocusReason);
        else
            m_editField->clearFocus();
        m_editField->hide();
    }
    updateShape(heightBefore);
}

int TaskRow::heightForWidth(int width) const
{
    return m_layout.geometry(width, m_editing).height;
}

QSize TaskRow::sizeHint() const
{
    const int width = this->width() > 0 ? this->width() : 320;
    return {width, heightForWidth(width)};
}

QSize TaskRow::minimumSizeHint() const
{
    // The one-line row's height: measuring the text at this narrow width would only waste
    // a layout.
    return Layout::minimumSize();
}

void TaskRow::showContent()
{
    m_layout.setContent(m_task.displayText(), m_task.tags);
}

const TaskRowLayout::Geometry &TaskRow::geometry() const
{
    return m_layout.geometry(width(), m_editing);
}

void TaskRow::updateShape(int heightBefore)
{
    placeChildren();
    update();
    if (geometry().height != heightBefore) {
        updateGeometry();
        emit heightChanged();
    }
}

void TaskRow::placeChildren()
{
    const Layout::Geometry &g = geometry();
    m_doneButton->move(Layout::horizontalPadding, Layout::verticalPadding + Layout::markTopPadding);
    if (m_deleteButton) {
        const QSize size = m_deleteButton->sizeHint();
        m_deleteButton->setGeometry(width() - Layout::horizontalPadding - size.width(),
                                    Layout::verticalPadding + Layout::deleteTopPadding,
                                    size.width(), size.height());
    }
    if (m_editField && m_editing) {
        const int height = m_editField->sizeHint().height();
        const int top = int(std::floor((Layout::lineHeight() - height) / 2));
        m_editField->setGeometry(int(g.textX) - lineEditTextMargin, Layout::verticalPadding + top,
                                 int(g.textWidth) + lineEditTextMargin, height);
    }
}

void TaskRow::setHovered(bool hovered)
{
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    Motion::animateProperty(this, "background", backgroundColor(Theme::of(this)));

    // The delete button grows in from 0.8 while fading in, and shrinks back while fading
    // out; while it goes it no longer takes clicks.
    if (hovered)
        ensureDeleteButton();
    if (m_deleteButton) {
        m_deleteButton->setAttribute(Qt::WA_TransparentForMouseEvents, !hovered);
        Motion::animateProperty(this, "deletePresence", hovered ? 1.0 : 0.0);
    }
    // The button lies over the end of the text area: the text keeps its lines and the row
    // its height.
    update();
}

void TaskRow::ensureDeleteButton()
{
    if (m_deleteButton)
        return;
    m_deleteButton = new PlainButton(Symbol::XmarkCircleFill, Layout::deleteSize, this);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_deleteButton->setFocusPolicy(Qt::NoFocus);
    m_deleteButton->setColor(Theme::of(this).tertiary());
    m_deleteButton->hide();
    connect(m_deleteButton, &QAbstractButton::clicked, this, &TaskRow::requestDelete);
    updateDoneMark(); // names the button
    placeChildren();
}

void TaskRow::updateDoneMark()
{
    m_doneButton->setSymbol(m_task.isDone ? Symbol::CheckmarkCircleFill : Symbol::Circle);
    m_doneButton->setColor(markColor(Theme::of(this)));
    // The buttons say which task they act on: a screen reader may reach them on their own.
    const QString shown = m_task.displayText();
    m_doneButton->setAccessibleName(m_task.isDone ? tr("Marcar «%1» como pendiente").arg(shown)
                                                  : tr("Marcar «%1» como hecha").arg(shown));
    if (m_deleteButton)
        m_deleteButton->setAccessibleName(tr("Eliminar «%1»").arg(shown));
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

void TaskRow::setBackground(const QColor &color)
{
    m_background = color;
    update();
}

void TaskRow::setDoneStyle(qreal style)
{
    m_doneStyle = style;
    update();
}

void TaskRow::setDeletePresence(qreal presence)
{
    m_deletePresence = presence;
    m_deleteButton->setVisible(m_hovered || presence > 0);
    if (presence >= 1.0) {
        // Fully shown: drawn directly, without the effect's offscreen pass.
        if (m_deleteEffect) {
            m_deleteButton->setGraphicsEffect(nullptr); // deletes the effect
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

void TaskRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_background.alpha() > 0)
        painter.fillRect(rect(), m_background);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_focusRingShown) {
        painter.setPen(QPen(Theme::accent(), 2));
        painter.drawPath(Shapes::continuousRoundedRect(QRectF(rect()).adjusted(2, 1, -2, -1), 6));
    }
    if (m_editing)
        return;

    // The text goes from primary to tertiary as it is struck through.
    const Theme theme = Theme::of(this);
    const QColor textColor = mix(theme.primary(), theme.tertiary(), m_doneStyle);
    const QColor strikeColor = theme.secondary(m_doneStyle);
    const Layout::Geometry &g = geometry();
    const qreal coverLeft = m_deleteButton ? m_deleteButton->x() - deleteFadeWidth : width();
    if (m_deletePresence <= 0 || m_layout.firstLineRight(g) <= coverLeft) {
        m_layout.paint(painter, g, textColor, strikeColor);
        return;
    }
    // The delete button lies over the end of the first line: the text fades out before it
    // and leaves the row's background under it. Only the hovered row takes this pass.
    const qreal ratio = devicePixelRatioF();
    QImage layer((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    QPainter text(&layer);
    text.setRenderHint(QPainter::Antialiasing);
    m_layout.paint(text, g, textColor, strikeColor);
    QLinearGradient fade(coverLeft, 0, coverLeft + deleteFadeWidth, 0);
    fade.setColorAt(0, Qt::transparent);
    fade.setColorAt(1, QColor(0, 0, 0, qRound(255 * std::min<qreal>(m_deletePresence, 1))));
    text.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    text.fillRect(
        QRectF(coverLeft, 0, width() - coverLeft, Layout::verticalPadding + Layout::lineHeight()),
        fade);
    text.end();
    painter.drawImage(QPointF(0, 0), layer);
}

void TaskRow::resizeEvent(QResizeEvent *event)
{
    placeChildren();
    QWidget::resizeEvent(event);
}

void TaskRow::changeEvent(QEvent *event)
{
    // A switch between light and dark appearance: the colours held by the children and
    // the background are read again at once.
    if (event->type() == QEvent::PaletteChange) {
        const Theme theme = Theme::of(this);
        updateDoneMark();
        if (m_deleteButton)
            m_deleteButton->setColor(theme.tertiary());
        if (m_editField)
            theme.applyTo(m_editField);
        Motion::animateProperty(this, "background", backgroundColor(theme), std::nullopt);
    }
    QWidget::changeEvent(event);
}

void TaskRow::setPointerOver(bool over)
{
    Motion::withAnimation(Animation::easeInOut(0.15), [this, over] { setHovered(over); });
}

void TaskRow::enterEvent(QEnterEvent *event)
{
    setPointerOver(true);
    QWidget::enterEvent(event);
}

void TaskRow::leaveEvent(QEvent *event)
{
    setPointerOver(false);
    QWidget::leaveEvent(event);
}

void TaskRow::mouseDoubleClickEvent(QMouseEvent *event)
{
    const Layout::Geometry &g = geometry();
    const QRectF textArea(g.textX, Layout::verticalPadding, g.textWidth, g.displayHeight);
    if (event->button() == Qt::LeftButton && !m_editing && textArea.contains(event->position())) {
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
        priority ? tr("Quitar prioridad") : tr("Marcar como prioritaria"));
    connect(action, &QAction::triggered, this, &TaskRow::togglePriority);
    // Opened from the keyboard: under the start of the text, its item ready for Return.
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QPoint textStart(int(geometry().textX),
                           Layout::verticalPadding + int(Layout::lineHeight()));
    menu->popup(byKeyboard ? mapToGlobal(textStart) : event->globalPos());
    if (byKeyboard)
        menu->setActiveAction(action);
    event->accept();
}

bool TaskRow::eventFilter(QObject *watched, QEvent *event)
{
    // Return in the field commits. The field would pass the key on to the row, where it
    // would start the edit again.
    if (watched == m_editField && event->type() == QEvent::KeyPress && m_editing) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commitEdit();
            return true;
        }
    }
    // The focus moving elsewhere in the window ends the edit and stores it. A popup (the
    // field's own context menu, or this row's) or another window taking it does not: the
    // focus comes back to the field afterwards.
    if (watched == m_editField && event->type() == QEvent::FocusOut && m_editing) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            commitEdit();
    }
    return QWidget::eventFilter(watched, event);
}
