#include "views/ContentView.h"

#include "model/Tags.h"
#include "preferences/AutostartEntry.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "toolkit/AnimatedColumn.h"
#include "toolkit/Divider.h"
#include "toolkit/Motion.h"
#include "toolkit/Theme.h"
#include "views/HeaderView.h"
#include "views/InputArea.h"
#include "views/SettingsPanel.h"
#include "views/StorageNotices.h"
#include "views/TagFilterBar.h"
#include "views/TaskHistory.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"
#include "views/UndoKeys.h"
#include "views/UndoToast.h"

#include <QEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

ContentView::ContentView(Preferences &preferences, QWidget *parent)
    : QWidget(parent), m_preferences(preferences), m_store(preferences)
{
    setAccessibleName(QStringLiteral("Lorvane"));

    m_column = new AnimatedColumn(this);
    m_header = new HeaderView(m_column);
    m_tagFilterBar = new TagFilterBar(m_column);
    m_topDivider = new Divider(m_column);
    m_listSection = new TaskListSection(m_column);
    m_bottomDivider = new Divider(m_column);
    m_inputArea = new InputArea(m_column);
    m_storageNotices = new StorageNotices(m_store, preferences, m_column);
    m_tagFilterBar->hide();
    m_history = new TaskHistory(m_store, this);
    // Over the column, never in it: it moves nothing when it comes and goes.
    m_undoToast = new UndoToast(this);
    m_bottomDivider->installEventFilter(this);
    new UndoKeys(
        this, [this] { undo(); }, [this] { redo(); });

    m_column->setStretchItem(m_listSection);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_column);

    connect(&m_store, &TaskStore::tasksChanged, this, &ContentView::refresh);
    connect(m_storageNotices, &StorageNotices::changed, this, &ContentView::refresh);
    connect(m_header, &HeaderView::settingsButtonClicked, this, &ContentView::toggleSettings);
    connect(m_tagFilterBar, &TagFilterBar::chipClicked, this, &ContentView::toggleTagFilter);
    connect(m_inputArea, &InputArea::taskSubmitted, this, &ContentView::addTask);
    m_inputArea->setTagSource([this] { return m_store.allTags(); });
    connect(m_history, &TaskHistory::removed, m_undoToast, &UndoToast::showFor);
    connect(m_history, &TaskHistory::restored, this, [this](const QUuid &id) {
        if (m_undoToast->task() == id)
            m_undoToast->dismiss();
    });
    connect(m_undoToast, &UndoToast::undoRequested, this, [this](const QUuid &id) {
        Motion::withAnimation(Animation::easeInOut(0.2), [&] { m_history->restoreRemoved(id); });
    });

    connect(m_listSection, &TaskListSection::deleteRequested, this, &ContentView::deleteTask);
    connect(m_listSection, &TaskListSection::doneToggled, this, [this](const QUuid &id) {
        updateTask(id, [](TaskItem &task) { task.isDone = !task.isDone; });
    });
    connect(m_listSection, &TaskListSection::priorityToggled, this, [this](const QUuid &id) {
        updateTask(id, [](TaskItem &task) { task.isPriority = !task.isPriority; });
    });
    connect(m_listSection, &TaskListSection::textEdited, this,
            [this](const QUuid &id, const QString &text) {
                // Text and tags are written together, so the saved record never holds a
                // new text with the old text's tags.
                updateTask(id, [&text](TaskItem &task) {
                    task.text = text;
                    task.tags = extractTags(text);
                });
            });

    refresh();
}

ContentView::~ContentView()
{
    // The rows go after the store (children outlive members), and a row being edited commits
    // when its field goes away: store that text now and hear nothing from the rows after.
    commitOpenEdits();
    m_listSection->disconnect(this);
}

QList<int> ContentView::filteredIndices() const
{
    const QList<TaskItem> &tasks = m_store.tasks();
    QList<int> indices;
    indices.reserve(tasks.size());
    for (int position = 0; position < tasks.size(); ++position) {
        if (m_selectedTag) {
            const QStringList &tags = tasks[position].tags;
            const bool carriesTag = std::any_of(tags.begin(), tags.end(), [&](const QString &t) {
                return sameTag(t, *m_selectedTag);
            });
            if (!carriesTag)
                continue;
        }
        indices.append(position);
    }
    // Priority tasks first; the stable sort keeps store order within each group.
    std::stable_sort(indices.begin(), indices.end(), [&tasks](int a, int b) {
        return tasks[a].isPriority && !tasks[b].isPriority;
    });
    return indices;
}

int ContentView::pendingCount() const
{
    const QList<TaskItem> &tasks = m_store.tasks();
    return int(std::count_if(tasks.begin(), tasks.end(),
                             [](const TaskItem &task) { return !task.isDone; }));
}

void ContentView::deleteTask(const QUuid &id)
{
    // A request for a task that is already gone changes nothing; the selected tag stays
    // even when no remaining task carries it.
    Motion::withAnimation(Animation::easeInOut(0.2), [&] { m_history->remove(id); });
}

void ContentView::toggleTagFilter(const QString &tag, bool wasSelected)
{
    Motion::withAnimation(Animation::easeInOut(0.2), [&] {
        if (wasSelected)
            m_selectedTag.reset();
        else
            m_selectedTag = tag;
        refresh();
    });
}

void ContentView::toggleSettings()
{
    Motion::withAnimation(Animation::easeInOut(0.2), [&] {
        m_showSettings = !m_showSettings;
        refresh();
    });
}

void ContentView::addTask(const QString &trimmedText)
{
    Motion::withAnimation(Animation::spring(0.25), [&] { m_history->add(TaskItem(trimmedText)); });
}

void ContentView::commitOpenEdits()
{
    for (TaskRow *row : m_listSection->rows()) {
        if (row->isEditing())
            row->commitEdit();
    }
}

void ContentView::updateTask(const QUuid &id, const std::function<void(TaskItem &)> &change)
{
    const int position = m_store.indexOf(id);
    if (position < 0)
        return;
    TaskItem task = m_store.tasks().at(position);
    change(task);
    m_history->replace(task);
}

void ContentView::undo()
{
    if (m_history->canUndo())
        Motion::withAnimation(Animation::easeInOut(0.2), [this] { m_history->undo(); });
}

void ContentView::redo()
{
    if (m_history->canRedo())
        Motion::withAnimation(Animation::easeInOut(0.2), [this] { m_history->redo(); });
}

void ContentView::setTimerMinutes(int minutes)
{
    const qint64 before = m_preferences.timerMinutes();
    // The observer of the notification reads the interval from the preferences, so the
    // value must be stored before the post.
    m_preferences.setTimerMinutes(minutes);
    if (m_preferences.timerMinutes() != before)
        NotificationCenter::defaultCenter().post(Notifications::timerIntervalChanged);
    settingsPanel()->setMinutes(m_preferences.timerMinutes());
}

void ContentView::setLaunchAtLogin(bool enabled)
{
    const AutostartEntry entry;
    if (const std::optional<SaveError> error = entry.setEnabled(enabled))
        qWarning("lorvane: the autostart entry could not be changed: %s",
                 qPrintable(error->toString()));
    // The box shows what the disk holds, whether or not the change was made.
    settingsPanel()->setLaunchAtLogin(entry.isEnabled());
}

void ContentView::setSyncStatus(const QString &text)
{
    m_syncStatus = text;
    if (m_settingsPanel)
        m_settingsPanel->setSyncStatus(text);
}

void ContentView::setSyncProblem(bool problem)
{
    m_header->setSyncProblem(problem);
}

SettingsPanel *ContentView::settingsPanel()
{
    // Made when first opened: it is not part of the first frame.
    if (!m_settingsPanel) {
        m_settingsPanel = new SettingsPanel(m_column);
        m_settingsPanel->hide();
        m_column->setInsertion(m_settingsPanel, AnimatedColumn::Insertion::SlideFromTopAndFade);
        connect(m_settingsPanel, &SettingsPanel::minutesChosen, this,
                &ContentView::setTimerMinutes);
        connect(m_settingsPanel, &SettingsPanel::launchAtLoginChosen, this,
                &ContentView::setLaunchAtLogin);
        connect(m_settingsPanel, &SettingsPanel::syncClicked, this, &ContentView::syncClicked);
        m_settingsPanel->setSyncStatus(m_syncStatus);
    }
    return m_settingsPanel;
}

void ContentView::refresh()
{
    const QStringList allTags = m_store.allTags();

    m_header->setPendingCount(pendingCount());
    m_header->setSettingsShown(m_showSettings);
    // The stored interval and the autostart entry may have changed while the panel was
    // hidden.
    if (m_showSettings) {
        settingsPanel()->setMinutes(m_preferences.timerMinutes());
        settingsPanel()->setLaunchAtLogin(AutostartEntry().isEnabled());
    }
    if (!allTags.isEmpty())
        m_tagFilterBar->setState(allTags, m_selectedTag);
    m_listSection->setState(m_store.tasks(), filteredIndices());

    QList<QWidget *> items{m_header};
    if (m_showSettings)
        items.append(settingsPanel());
    if (!allTags.isEmpty())
        items.append(m_tagFilterBar);
    items << m_topDivider << m_listSection << m_bottomDivider;
    items << m_storageNotices->banners() << m_inputArea;
    m_column->setItems(items);
    updateInputRoom();
}

void ContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).windowBackground());
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeUndoToast();
    updateInputRoom();
}

void ContentView::updateInputRoom()
{
    // The completion list may grow up to where the header, the tag strip and about three
    // rows of tasks stay in view above it.
    constexpr int keptForTasks = 3 * 44;
    int above = m_header->sizeHint().height() + keptForTasks + 2;
    if (!m_tagFilterBar->isHidden())
        above += m_tagFilterBar->sizeHint().height();
    m_inputArea->setAvailableHeight(height() - above);
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    // The divider under the list moves as notices and the completion list come and go.
    if (watched == m_bottomDivider &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeUndoToast();
    return QWidget::eventFilter(watched, event);
}

void ContentView::placeUndoToast()
{
    // Over the foot of the list, lined up with the input line's rounded field.
    constexpr int side = 16;
    constexpr int gap = 8;
    const int height = m_undoToast->sizeHint().height();
    const int bottom = m_bottomDivider->mapTo(this, QPoint(0, 0)).y() - gap;
    m_undoToast->setGeometry(side, bottom - height, width() - 2 * side, height);
}
