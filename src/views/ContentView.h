#pragma once

#include "model/TaskStore.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <optional>

class AnimatedColumn;
class HeaderView;
class InputArea;
class Preferences;
class SettingsPanel;
class StorageNotices;
class TagFilterBar;
class TaskHistory;
class TaskListSection;
class UndoToast;

// The window's content: owns the task store and the window state, derives what the list
// shows, and keeps every section in line with it through one refresh(). It also stores the
// reminder interval chosen in the settings panel and tells the reminder of the change, and
// writes or removes the autostart entry as the panel's check box asks. Every change made
// here to the list goes through the history, so that it can be undone.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(Preferences &preferences, QWidget *parent = nullptr);
    ~ContentView() override;

    TaskStore &store() { return m_store; }

    void deleteTask(const QUuid &id);
    void toggleTagFilter(const QString &tag, bool wasSelected);
    void toggleSettings();
    void addTask(const QString &trimmedText);
    // Stores the text of any row still being edited, as leaving its field would.
    void commitOpenEdits();

    TaskListSection *listSection() const { return m_listSection; }
    InputArea *inputArea() const { return m_inputArea; }
    StorageNotices *storageNotices() const { return m_storageNotices; }
    TaskHistory &history() { return *m_history; }
    UndoToast *undoToast() const { return m_undoToast; }

    // Undoes or redoes the last change made to the list here, animated as the change was.
    void undo();
    void redo();

    // How the sync stands, for the settings panel's line (kept until the panel is first
    // made) and the dot on the settings button.
    void setSyncStatus(const QString &text);
    void setSyncProblem(bool problem);

signals:
    // The settings panel's "Sincronizar…" was clicked.
    void syncClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Positions in the store's list: filtered by the selected tag, priority first, store
    // order within each group.
    QList<int> filteredIndices() const;
    int pendingCount() const;
    void refresh();
    SettingsPanel *settingsPanel();
    void updateTask(const QUuid &id, const std::function<void(TaskItem &)> &change);
    void setTimerMinutes(int minutes);
    void placeUndoToast();
    void updateInputRoom();
    void setLaunchAtLogin(bool enabled);

    Preferences &m_preferences;
    TaskStore m_store;
    TaskHistory *m_history = nullptr;
    bool m_showSettings = false;
    std::optional<QString> m_selectedTag;
    QString m_syncStatus;

    AnimatedColumn *m_column = nullptr;
    HeaderView *m_header = nullptr;
    SettingsPanel *m_settingsPanel = nullptr;
    TagFilterBar *m_tagFilterBar = nullptr;
    QWidget *m_topDivider = nullptr;
    TaskListSection *m_listSection = nullptr;
    QWidget *m_bottomDivider = nullptr;
    InputArea *m_inputArea = nullptr;
    StorageNotices *m_storageNotices = nullptr;
    UndoToast *m_undoToast = nullptr;
};
