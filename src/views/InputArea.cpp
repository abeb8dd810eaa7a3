#include "views/InputArea.h"

#include "model/TagCompletion.h"
#include "model/Tags.h"
#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"
#include "views/SuggestionList.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>

#include <limits>

namespace {
// The input row: its content inset from the material, and the material from the area.
constexpr int contentSide = 14;
constexpr int contentVertical = 11;
constexpr int outerSide = 16;
constexpr int outerVertical = 12;
constexpr qreal rowRadius = 12;
} // namespace

InputArea::InputArea(QWidget *parent) : QWidget(parent)
{
    m_suggestionList = new SuggestionList(this);
    m_suggestionList->hide();

    m_row = new QWidget(this);
    m_field = new QLineEdit(m_row);
    m_field->setFrame(false);
    // QLineEdit cuts text at 32,767 characters by default; a task may be longer.
    m_field->setMaxLength(std::numeric_limits<int>::max());
    m_field->setPlaceholderText(tr("Añadir tarea..."));
    m_field->setAccessibleName(tr("Añadir tarea"));
    m_field->setFont(Fonts::rounded(15));
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_addButton = new PlainButton(Symbol::PlusCircleFill, 24, m_row);
    m_addButton->setAccessibleName(tr("Añadir tarea"));
    // Reachable with Tab, but a click leaves the focus in the field.
    m_addButton->setFocusPolicy(Qt::TabFocus);

    auto *rowLayout = new QHBoxLayout(m_row);
    rowLayout->setContentsMargins(outerSide + contentSide, outerVertical + contentVertical,
                                  outerSide + contentSide, outerVertical + contentVertical);
    rowLayout->setSpacing(10);
    rowLayout->addWidget(m_field, 1, Qt::AlignVCenter);
    rowLayout->addWidget(m_addButton, 0, Qt::AlignVCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_suggestionList);
    layout->addWidget(m_row);

    // Tab and Return must be seen before the field handles them: Tab would otherwise move
    // the focus, and Return would submit.
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textChanged, this, [this] {
        updateTagSuggestions();
        updateAddButton();
    });
    connect(m_field, &QLineEdit::returnPressed, this, &InputArea::addTask);
    connect(m_addButton, &QAbstractButton::clicked, this, &InputArea::addTask);
    connect(m_suggestionList, &SuggestionList::suggestionChosen, this, &InputArea::applySuggestion);
    Theme::of(this).applyTo(m_field);
    updateAddButton();
}

void InputArea::setAvailableHeight(int height)
{
    m_availableHeight = height;
    updateSuggestionRoom();
}

void InputArea::updateSuggestionRoom()
{
    m_suggestionList->setAvailableHeight(m_availableHeight - m_row->sizeHint().height());
    updateGeometry();
}

void InputArea::setTagSource(std::function<QStringList()> allTags)
{
    m_tagSource = std::move(allTags);
}

void InputArea::updateTagSuggestions()
{
    const std::optional<QString> partial = TagCompletion::partialTag(m_field->text());
    if (!partial) {
        // The candidates and the highlight stay as they were; nothing reads them while
        // the list is hidden.
        setSuggestionsShown(false);
        return;
    }
    const QStringList allTags = m_tagSource ? m_tagSource() : QStringList();
    m_tagSuggestions = TagCompletion::candidates(*partial, allTags);
    m_selectedSuggestionIndex = 0;
    if (!m_tagSuggestions.isEmpty()) {
        m_suggestionList->setSuggestions(m_tagSuggestions, m_selectedSuggestionIndex);
        // The number of rows may have changed while the list stays shown.
        updateGeometry();
    }
    setSuggestionsShown(!m_tagSuggestions.isEmpty());
}

void InputArea::applySuggestion(const QString &tag)
{
    // Setting the text runs updateTagSuggestions(), which finds the text ending in a space.
    if (const std::optional<QString> text = TagCompletion::applied(m_field->text(), tag))
        m_field->setText(*text);
    setSuggestionsShown(false);
}

bool InputArea::isShowingSuggestions() const
{
    return m_suggestionList->isVisibleTo(this);
}

void InputArea::setSuggestionsShown(bool shown)
{
    // The list appears and disappears at once, with no transition of its own.
    if (isShowingSuggestions() != shown) {
        m_suggestionList->setVisible(shown);
        updateGeometry();
    }
}

void InputArea::addTask()
{
    const QString text = trimmedSpacesAndTabs(m_field->text());
    if (text.isEmpty())
        return;
    Motion::withAnimation(Animation::spring(0.25), [&] { emit taskSubmitted(text); });
    // setText() also forgets the field's own typing, so that Ctrl+Z now undoes the addition
    // rather than bringing the added text back into the field.
    m_field->setText(QString());
    setSuggestionsShown(false);
}

void InputArea::updateAddButton()
{
    const bool blank = trimmedSpacesAndTabs(m_field->text()).isEmpty();
    m_addButton->setEnabled(!blank);
    m_addButton->setColor(blank ? Theme::of(this).primary(0.2) : Theme::accent());
}

bool InputArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress && isShowingSuggestions()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers chords =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (key->key() == Qt::Key_Tab && chords == Qt::NoModifier) {
            m_selectedSuggestionIndex = (m_selectedSuggestionIndex + 1) % m_tagSuggestions.size();
            m_suggestionList->setSuggestions(m_tagSuggestions, m_selectedSuggestionIndex);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            applySuggestion(m_tagSuggestions.at(m_selectedSuggestionIndex));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void InputArea::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF material =
        QRectF(m_row->geometry()).adjusted(outerSide, outerVertical, -outerSide, -outerVertical);
    Shapes::fillMaterial(painter, material, rowRadius, Theme::of(this));
}

void InputArea::changeEvent(QEvent *event)
{
    // The field and the button hold colours of the appearance.
    if (event->type() == QEvent::PaletteChange) {
        Theme::of(this).applyTo(m_field);
        updateAddButton();
    }
    QWidget::changeEvent(event);
}
