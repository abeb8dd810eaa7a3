// The window over a real preferences file: the list after each request, undo, edits, the
// settings panel, the input line and its completion, the tag strip, the keyboard and screen
// readers, what animates with each action, and the notices of a list not stored or not read.
#include "model/TaskListCodec.h"
#include "preferences/AutostartEntry.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "support/FaultyCalls.h"
#include "toolkit/AnimatedColumn.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/RoundedButton.h"
#include "toolkit/Stepper.h"
#include "toolkit/StepperArrow.h"
#include "toolkit/TextButton.h"
#include "toolkit/TextLabel.h"
#include "views/ContentView.h"
#include "views/EmptyStateView.h"
#include "views/InputArea.h"
#include "views/NoticeBanner.h"
#include "views/SettingsPanel.h"
#include "views/StorageNotices.h"
#include "views/SuggestionList.h"
#include "views/SuggestionRow.h"
#include "views/TagChip.h"
#include "views/TagFilterBar.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"
#include "views/UndoToast.h"

#include <QAbstractAnimation>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Texts = QStringList;

// "B:p" is a priority task, "C:d" a done one, "D:pd" both; tags follow in the text.
static Texts describe(const QList<TaskItem> &tasks)
{
    Texts texts;
    for (const TaskItem &task : tasks)
        texts.append(task.text + (task.isPriority || task.isDone ? ":" : "") +
                     (task.isPriority ? "p" : "") + (task.isDone ? "d" : ""));
    return texts;
}

class TestContentView : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_config;
    FaultyCalls m_calls;
    std::optional<Preferences> m_preferences;
    std::unique_ptr<ContentView> m_view;

    void makeView(const Texts &stored)
    {
        QList<TaskItem> tasks;
        for (const QString &description : stored) {
            tasks.append(TaskItem(description.section(':', 0, 0)));
            tasks.last().isPriority = description.section(':', 1).contains('p');
            tasks.last().isDone = description.section(':', 1).contains('d');
        }
        QVERIFY(tasks.isEmpty() || m_preferences->setTasksDocument(TaskListCodec::encode(tasks)));
        m_view = std::make_unique<ContentView>(*m_preferences);
        m_view->resize(320, 720);
        m_view->show();
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
    }
    TaskRow *row(int position) const
    {
        for (TaskRow *row : m_view->listSection()->rows())
            if (row->taskId() == m_view->store().tasks().at(position).id)
                return row;
        return nullptr;
    }
    TagChip *chip(const QString &tag) const
    {
        for (TagChip *chip : m_view->findChildren<TagChip *>())
            if (chip->tag() == tag && !chip->isHidden())
                return chip;
        return nullptr;
    }
    // What the file holds, read back by a second Preferences.
    static Texts stored()
    {
        const auto document = Preferences().tasksDocument().value_or("");
        return describe(TaskListCodec::decode(document).value_or(QList<TaskItem>()));
    }

private slots:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        m_config.emplace();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        qputenv("XDG_STATE_HOME", m_config->filePath("state").toUtf8());
        m_calls.disarm();
        m_preferences.emplace(m_calls);
    }
    void cleanup() { m_view.reset(); }

    // An action on the second stored task; the count is of open tasks, whatever the filter.
    void afterAnAction_data()
    {
        QTest::addColumn<Texts>("tasks");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Texts>("shown");
        QTest::addColumn<QString>("count");
        auto row = [](const char *name, const Texts &tasks, const char *action, const Texts &shown,
                      const char *count) {
            QTest::newRow(name) << tasks << QString(action) << shown << QString(count);
        };
        const Texts abc{"A", "B", "C"};
        row("no tasks, a tag chosen", {}, "filter", {}, "");
        row("chip clicked, filter without case",
            {"A #casa", "B #trabajo:p", "C #casa:p", "D #Casa:d"}, "click casa",
            {"C #casa:p", "A #casa", "D #Casa:d"}, "3 pendientes");
        row("one chip for every spelling of its tag",
            {u"A #café"_qs, u"B #CAFE\u0301"_qs, "C #cafe"}, "click café",
            {u"A #café"_qs, u"B #CAFE\u0301"_qs}, "3 pendientes");
        row("filter on a tag nobody carries: an empty list", {"A #casa"}, "filter", {},
            "1 pendiente");
        row("done mark", abc, "done", {"A", "B:d", "C"}, "2 pendientes");
        row("priority off by the menu", {"A", "B:p", "C"}, "priority", abc, "3 pendientes");
        row("flagged: up from under the pointer", abc, "flag", {"B:p", "A", "C"}, "3 pendientes");
        row("hovered, a text that nearly fills its line",
            {"A", "Llamar al dentista para pedir cita"}, "hover",
            {"A", "Llamar al dentista para pedir cita"}, "2 pendientes");
        row("delete button, then again", abc, "delete", {"A", "C"}, "2 pendientes");
        row("add: at the end", {"A", "B:p"}, "add", {"B:p", "A", "D #nueva"}, "3 pendientes");
    }
    void afterAnAction()
    {
        QFETCH(Texts, tasks);
        QFETCH(QString, action);
        QFETCH(Texts, shown);
        QFETCH(QString, count);
        makeView(tasks);
        const QList<TaskRow *> before = m_view->listSection()->rows();
        TaskRow *second = tasks.size() > 1 ? row(1) : nullptr;
        const QUuid id = second ? second->taskId() : QUuid();
        // The pointer rests on the second task; hovering it moves no row.
        const int height = second ? second->height() : 0;
        const QPoint pointer = second ? second->mapToGlobal(second->rect().center()) : QPoint();
        QCursor::setPos(pointer);
        QTRY_VERIFY(!second || second->isHovered());
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, {9, 9}, {9, 9});
        QEnterEvent enter({9, 9}, {9, 9}, {9, 9});
        if (action == "filter")
            m_view->toggleTagFilter("nada", false);
        else if (action.startsWith("click "))
            QTest::mouseClick(chip(action.mid(6)), Qt::LeftButton);
        else if (action == "done")
            QTest::mouseClick(second->findChild<QWidget *>("doneMark"), Qt::LeftButton);
        else if (action == "add")
            QTest::keyClicks(m_view->inputArea()->field(), "D #nueva\r");
        else if (action == "priority" && QApplication::sendEvent(second, &menuEvent))
            second->findChild<QMenu *>()->actions().first()->trigger();
        else if (action == "flag") // as the menu's item does, without a popup between
            second->togglePriority();
        else if (action == "delete" && QApplication::sendEvent(second, &enter))
            QTest::mouseClick(second->findChild<QWidget *>("deleteButton"), Qt::LeftButton);
        m_view->deleteTask(action == "delete" ? id : QUuid()); // a second time changes nothing
        QCoreApplication::processEvents();
        QList<TaskItem> rows;
        for (const TaskRow *row : m_view->listSection()->rows()) {
            rows.append(row->task());
            for (const TaskRow *old : before) // a task still shown keeps its row
                QVERIFY(old->taskId() != row->taskId() || old == row);
        }
        QCOMPARE(describe(rows), shown);
        // The hover follows the rows that moved, came or went under the resting pointer.
        for (const TaskRow *row : m_view->listSection()->rows()) {
            QCOMPARE(row->isHovered(),
                     QRect(row->mapToGlobal(QPoint()), row->size()).contains(pointer));
            QVERIFY(row != second || row->height() == height);
        }
        const auto *counter = m_view->findChild<TextLabel *>("pendingCount");
        QCOMPARE(counter->isVisible() ? counter->text() : QString(), count);
        // The empty state means no tasks at all; the tag strip, some tag in use.
        const bool noTasks = m_view->store().tasks().isEmpty();
        QCOMPARE(m_view->findChild<EmptyStateView *>()->isVisible(), noTasks);
        const bool tagsInUse = !m_view->store().allTags().isEmpty();
        QCOMPARE(m_view->findChild<TagFilterBar *>()->isVisible(), tagsInUse);
        QCOMPARE(stored(), describe(m_view->store().tasks()));
    }

    // Changes undone and redone by key wherever the focus is, or by the toast, also after another
    // program rewrote the file: the list stored at the end, the input line, the toast.
    void undoneInPlace_data()
    {
        QTest::addColumn<Texts>("steps");
        QTest::addColumn<Texts>("tasks");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("toast");
        auto row = [](const char *name, const char *steps, const Texts &tasks, const char *text,
                      bool toast) {
            QTest::newRow(name) << QString(steps).split(", ") << tasks << QString(text) << toast;
        };
        const Texts abc{"A", "B", "C"};
        row("delete, Ctrl+Z on a row: back in its place", "del B, focus A, ^z", abc, "", false);
        row("delete, the toast's button", "del B, toast", abc, "", false);
        row("delete, undo, redo by Ctrl+Shift+Z", "del B, ^z, ^Z", {"A", "C"}, "", true);
        row("a second delete takes the toast", "del A, del C, toast", {"B", "C"}, "", false);
        row("the toast after a later change keeps it", "del B, done A, toast", {"A:d", "B", "C"},
            "", false);
        row("undone delete after an outside change", "del B, outside X A C, ^z",
            {"X", "A", "B", "C"}, "", false);
        row("its neighbour gone outside: first", "del B, outside C, ^z", {"B", "C"}, "", false);
        row("the field's own typing first", "done A, type x, ^z", {"A:d", "B", "C"}, "", false);
        row("then the list", "done A, type x, ^z, ^z", abc, "", false);
        row("redo: the list, then the field", "done A, type x, ^z, ^z, ^y, ^y", {"A:d", "B", "C"},
            "x", false);
        row("edit, undo, redo", "edit B, ^z, ^y", {"A", "B2 #dos", "C"}, "", false);
        row("add by Return, undone in the field", "add D, ^z", abc, "", false);
        row("an undone flag keeps an outside edit", "prio B, outside A Bx C, ^z", {"A", "Bx", "C"},
            "", false);
    }
    void undoneInPlace()
    {
        QFETCH(Texts, steps);
        QFETCH(Texts, tasks);
        QFETCH(QString, text);
        QFETCH(bool, toast);
        makeView({"A", "B", "C"});
        QLineEdit *field = m_view->inputArea()->field();
        field->setFocus();
        auto rowOf = [this](const QString &text) -> TaskRow * {
            for (TaskRow *row : m_view->listSection()->rows())
                if (row->task().text == text)
                    return row;
            return nullptr;
        };
        for (const QString &step : steps) {
            const QString verb = step.section(' ', 0, 0);
            const QString what = step.section(' ', 1);
            TaskRow *target = rowOf(what.section(' ', 0, 0));
            QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, {9, 9}, {9, 9});
            if (verb == "del")
                m_view->deleteTask(target->taskId());
            else if (verb == "done")
                QTest::mouseClick(target->findChild<QWidget *>("doneMark"), Qt::LeftButton);
            else if (verb == "prio" && QApplication::sendEvent(target, &menuEvent))
                target->findChild<QMenu *>()->actions().first()->trigger();
            else if (verb == "edit") {
                QTest::mouseDClick(target, Qt::LeftButton, {}, QPoint(60, 15));
                QTest::keyClicks(target->findChild<QLineEdit *>(), "2 #dos\r");
            } else if (verb == "add" || verb == "type")
                QTest::keyClicks(field, what + (verb == "add" ? "\r" : ""));
            else if (verb == "focus")
                target->setFocus();
            else if (verb == "toast")
                QTest::mouseClick(m_view->undoToast()->undoButton(), Qt::LeftButton);
            else if (verb == "outside") {
                // The task shown with that text, or with one "x" less (edited there), or a new one.
                QList<TaskItem> outside;
                for (const QString &text : what.split(' ')) {
                    const TaskRow *same = rowOf(text) ? rowOf(text) : rowOf(text.chopped(1));
                    outside.append(same ? same->task() : TaskItem(text));
                    outside.last().text = text;
                }
                QVERIFY(Preferences().setTasksDocument(TaskListCodec::encode(outside)));
                QTRY_COMPARE(describe(m_view->store().tasks()).join(' ').remove(":p"), what);
            } else {
                // Without a focus widget the keys go to the window itself.
                QWidget *focused = QApplication::focusWidget();
                focused = focused ? focused : m_view.get();
                const Qt::KeyboardModifiers chord =
                    verb == "^Z" ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
                QTest::keyClick(focused, verb == "^y" ? Qt::Key_Y : Qt::Key_Z, chord);
            }
        }
        QCOMPARE(describe(m_view->store().tasks()), tasks);
        QCOMPARE(stored(), tasks);
        QCOMPARE(field->text(), text);
        QCOMPARE(m_view->undoToast()->isVisible(), toast);
        // A screen reader meets the toast as an alert, by its text, with its button.
        QAccessibleInterface *alert = QAccessible::queryAccessibleInterface(m_view->undoToast());
        QCOMPARE(alert->role(), QAccessible::AlertMessage);
        QCOMPARE(alert->text(QAccessible::Name), "Tarea eliminada");
        QCOMPARE(alert->child(0)->text(QAccessible::Name), "Deshacer");
    }

    // An edit open on C while A above it is deleted is stored trimmed to C alone however it ends,
    // also when its row leaves, if the task is still there; a blank edit stores nothing.
    void editStaysWithItsTask_data()
    {
        QTest::addColumn<QString>("end");
        for (const char *end :
             {"Return", "focus elsewhere", "window gone", "filtered out", "deleted", "blank"})
            QTest::newRow(end) << QString(end);
    }
    void editStaysWithItsTask()
    {
        QFETCH(QString, end);
        makeView({"A #uno", "B #dos", "C #tres"});
        QPointer<TaskRow> rowC = row(2);
        QWidget *mark = rowC->findChild<QWidget *>("doneMark");
        QTest::mouseDClick(mark, Qt::LeftButton); // two clicks on the mark, not an edit
        QTest::mouseDClick(rowC, Qt::LeftButton, {}, QPoint(60, 15));
        QLineEdit *field = rowC->findChild<QLineEdit *>();
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(field->text(), "C #tres"); // the full text, tags included
        m_view->deleteTask(m_view->store().tasks().at(0).id);
        field->setText(end == "blank" ? u"\u00a0 \t"_qs : " \tC cambiada #cuatro \t");
        // Neither Escape, nor a popup taking the focus, nor another window taking it, nor a
        // click on the mark ends it.
        QTest::keyClick(field, Qt::Key_Escape);
        QFocusEvent popupFocusOut(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(field, &popupFocusOut);
        QFocusEvent windowFocusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(field, &windowFocusOut);
        QTest::mouseClick(mark, Qt::LeftButton);
        QVERIFY(row(1) == rowC && rowC->isEditing() && field->hasFocus());
        if (end == "Return" || end == "blank")
            QTest::keyClick(field, Qt::Key_Return);
        else if (end == "focus elsewhere")
            m_view->inputArea()->field()->setFocus();
        else if (end == "window gone")
            m_view.reset();
        else if (end == "filtered out")
            m_view->toggleTagFilter("dos", false);
        else
            m_view->deleteTask(rowC->taskId());
        QCoreApplication::processEvents(); // a row that leaves hands its edit on afterwards
        QVERIFY(!rowC || !rowC->isEditing());
        const QString c = end == "blank" ? "C #tres:d" : "C cambiada #cuatro:d";
        QCOMPARE(stored(), Texts({"B #dos", c}).mid(0, end == "deleted" ? 1 : 2));
    }

    // The interval shown is the stored one; each step that changes it is stored first and
    // then announced once; an arrow that would change nothing is dimmed.
    void reminderInterval_data()
    {
        QTest::addColumn<qint64>("stored"); // 0: nothing stored, first launch
        QTest::addColumn<QString>("steps"); // 'u'/'d': arrow clicks, 'U'/'D': Up/Down keys
        QTest::addColumn<QList<int>>("announced");
        QTest::newRow("first launch, up, down by key") << 0ll << "uD" << QList<int>{35, 30};
        QTest::newRow("off the steps, to the top") << 107ll << "uuU" << QList<int>{112, 117, 120};
        QTest::newRow("beyond int, as it is") << 999999999999ll << "" << QList<int>{};
        QTest::newRow("beyond int, down") << 999999999999ll << "d" << QList<int>{120};
    }
    void reminderInterval()
    {
        QFETCH(qint64, stored);
        QFETCH(QString, steps);
        QFETCH(QList<int>, announced);
        if (stored)
            QSettings(m_preferences->filePath(), QSettings::NativeFormat)
                .setValue(Preferences::timerMinutesKey, stored);
        QList<int> posted; // with the interval stored at the moment of each post
        auto *center = &NotificationCenter::defaultCenter();
        const auto connection = connect(center, &NotificationCenter::posted, this, [&](auto name) {
            if (name == Notifications::timerIntervalChanged)
                posted.append(Preferences().storedTimerMinutes());
        });
        makeView({});
        m_view->toggleSettings();
        auto *stepper = m_view->findChild<Stepper *>();
        stepper->setFocus();
        for (const QChar step : steps) {
            if (step.isLower())
                QTest::mouseClick(step == 'u' ? stepper->upArrow() : stepper->downArrow(),
                                  Qt::LeftButton);
            else
                QTest::keyClick(stepper, step == 'U' ? Qt::Key_Up : Qt::Key_Down);
        }
        disconnect(connection);
        QCOMPARE(posted, announced);
        const qint64 shown = announced.isEmpty() ? (stored ? stored : 30) : announced.last();
        QCOMPARE(stepper->labelText(), QStringLiteral("%1 min").arg(shown));
        QCOMPARE(stepper->upArrow()->isEnabled(), shown != 120);
        QCOMPARE(stepper->downArrow()->isEnabled(), shown != 5);
        QCOMPARE(Preferences().storedTimerMinutes(), announced.isEmpty() ? stored : shown);
    }

    // The box shows the autostart entry on the disk as the panel opens; Space (Tab from the
    // stepper) turns it over on the disk. An entry written is valid and quotes the program.
    void launchAtLogin_data()
    {
        QTest::addColumn<QString>("program");     // an entry written for it first, if any
        QTest::addColumn<QByteArray>("existing"); // a file put there by hand; "folder": the
                                                  // autostart folder's name taken by a file
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("after");
        QTest::addColumn<QString>("exec"); // the Exec line of the entry written
        const QByteArray hand = "[Desktop Entry]\nType=Application\nName=L\nExec=lorvane\n";
        const QString running = "Exec=" + QCoreApplication::applicationFilePath();
        auto row = [](const char *name, const QString &program, const QByteArray &existing,
                      bool shown, bool after, const QString &exec) {
            QTest::newRow(name) << program << existing << shown << after << exec;
        };
        row("absent: off, then written", "", "", false, true, running);
        row("enabled: on, then removed", "", hand + "X-GNOME-Autostart-enabled=true\n", true, false,
            "");
        row("Hidden=true: off, then written anew", "", hand + "Hidden=true\n", false, true,
            running);
        row("off for GNOME: off, then written anew", "", hand + "X-GNOME-Autostart-enabled=false\n",
            false, true, running);
        row("a path with a space, $ and %: quoted", "/opt/Mis programas/lorvane$ 100%", "", true,
            false, R"(Exec="/opt/Mis programas/lorvane\\$ 100%%")");
        row("cannot be written: stays off, says why", "", "folder", false, false, "");
    }
    void launchAtLogin()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, existing);
        QFETCH(bool, shown);
        QFETCH(bool, after);
        QFETCH(QString, exec);
        const QString path = AutostartEntry::path();
        QCOMPARE(path, m_config->filePath("autostart/io.github.lorvane.Lorvane.desktop"));
        auto verifyWritten = [&] {
            QProcess validate;
            validate.start("desktop-file-validate", {path});
            QVERIFY2(validate.waitForFinished(), "desktop-file-validate is not installed");
            const QByteArray complaints = validate.readAllStandardOutput();
            QVERIFY2(validate.exitCode() == 0 && complaints.isEmpty(), complaints.constData());
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
            QVERIFY(lines.contains(exec) && lines.contains("X-GNOME-Autostart-enabled=true"));
        };
        if (!program.isEmpty()) {
            QVERIFY(!AutostartEntry(program).setEnabled(true));
            verifyWritten();
        }
        if (!existing.isEmpty()) {
            const bool folder = existing == "folder";
            QVERIFY(folder || QDir().mkpath(m_config->filePath("autostart")));
            QFile file(folder ? m_config->filePath("autostart") : path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(existing) > 0);
        }
        makeView({});
        m_view->toggleSettings();
        auto *box = m_view->findChild<CheckBox *>();
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(box);
        QCOMPARE(accessible->role(), QAccessible::CheckBox);
        QCOMPARE(accessible->text(QAccessible::Name), u"Abrir al iniciar la sesión"_qs);
        QCOMPARE(bool(accessible->state().checked), shown);
        m_view->findChild<Stepper *>()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box);
        if (existing == "folder")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^lorvane: .*autostart"));
        QTest::keyClick(box, Qt::Key_Space);
        QCOMPARE(box->isChecked(), after);
        QCOMPARE(QFileInfo::exists(path), after);
        if (after)
            verifyWritten();
        // Removed by hand while the panel is closed: off when it opens again.
        m_view->toggleSettings();
        QFile::remove(path);
        m_view->toggleSettings();
        QVERIFY(!box->isChecked());
    }

    // Sync statuses and problems given before and while the panel is open: the line, its room,
    // the red dot on the gear; the sync button, by Tab after the check box, asks once per press.
    void syncInSettings_data()
    {
        QTest::addColumn<Texts>("before");
        QTest::addColumn<Texts>("after");
        QTest::addColumn<QList<bool>>("problems");
        QTest::addColumn<QString>("shown");
        const QString synced = "Sincronizado con cloud.example.org";
        const QString offline = u"Sin conexión con cloud.example.org · 3 cambios pendientes "
                                u"desde el martes por la tarde"_qs;
        QTest::newRow("nothing given") << Texts{} << Texts{} << QList<bool>{} << "";
        QTest::newRow("given before the panel is made, a problem")
            << Texts{synced} << Texts{} << QList<bool>{true} << synced;
        QTest::newRow("too long for its row: cut short")
            << Texts{} << Texts{offline} << QList<bool>{true, true} << offline;
        QTest::newRow("cleared: its room goes too")
            << Texts{synced} << Texts{offline, ""} << QList<bool>{true, false} << "";
    }
    void syncInSettings()
    {
        QFETCH(Texts, before);
        QFETCH(Texts, after);
        QFETCH(QList<bool>, problems);
        QFETCH(QString, shown);
        makeView({"A #casa"});
        for (const QString &text : before)
            m_view->setSyncStatus(text);
        for (bool problem : problems)
            m_view->setSyncProblem(problem);
        m_view->toggleSettings();
        for (const QString &text : after)
            m_view->setSyncStatus(text);
        QCoreApplication::processEvents();
        auto *panel = m_view->findChild<SettingsPanel *>();
        auto *line = panel->findChild<TextLabel *>("syncStatus");
        QCOMPARE(line->isVisible() ? line->accessibleName() : QString(), shown);
        QCOMPARE(line->isVisible() ? line->toolTip() : QString(), shown);
        // The column gives the panel its new height, and the line stays inside its margins.
        const int bare = SettingsPanel().sizeHint().height();
        QCOMPARE(panel->height(), panel->sizeHint().height());
        QCOMPARE(panel->height() > bare, !shown.isEmpty());
        QCOMPARE(m_view->findChild<TagFilterBar *>()->y(), panel->geometry().bottom() + 1);
        QVERIFY(!line->isVisible() || line->geometry().right() < panel->width() - 15);

        auto *gear = m_view->findChild<PlainButton *>("settingsButton");
        const bool problem = !problems.isEmpty() && problems.last();
        QCOMPARE(QAccessible::queryAccessibleInterface(gear)->text(QAccessible::Description),
                 problem ? u"La sincronización falla"_qs : QString());
        const QImage image = m_view->grab().toImage();
        const QPoint dot = gear->mapTo(m_view.get(), QPoint(gear->width() - 2, 2));
        const QColor at = image.pixelColor(dot * image.devicePixelRatio());
        QCOMPARE(at.red() > 200 && at.green() < 110 && at.blue() < 110, problem);

        auto *sync = panel->findChild<RoundedButton *>();
        QCOMPARE(sync->accessibleName(), u"Sincronizar…"_qs);
        QSignalSpy clicked(m_view.get(), &ContentView::syncClicked);
        panel->findChild<CheckBox *>()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), sync);
        QTest::keyClick(sync, Qt::Key_Space);
        QTest::mouseClick(sync, Qt::LeftButton);
        QCOMPARE(clicked.size(), 2);
    }

    // Typing then keys or clicks, with casa, compras and trabajo in use: the list shown after
    // them ('*' marks the highlighted row), the text left in the field, the task added.
    void inputKeys_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Texts>("steps"); // keys, "click N" on a row, "add" (the button)
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("added");
        auto row = [](const char *name, const char *typed, const Texts &steps, const char *shown,
                      const char *text, const char *added) {
            QTest::newRow(name) << QString(typed) << steps << QString(shown) << QString(text)
                                << QString(added);
        };
        row("Tab wraps round", "#", Texts(3, "Tab"), "casa* compras trabajo", "#", "");
        row("Tab while hidden moves the focus on", "ir ", {"Tab"}, "", "ir ", "");
        row("Return applies, then adds", "ir #co", Texts(2, "Return"), "", "", "ir #compras");
        row("Enter applies the highlighted row", "x #c", {"Tab", "Enter"}, "", "x #compras ", "");
        row("no candidate: trimmed, added", " \tir #xyz\u00a0", {"Return"}, "", "", "ir #xyz");
        row("blank: nothing", " \t ", {"Return"}, "", " \t ", "");
        row("line breaks at the ends stay", " \nir #xyz\n\t", {"Return"}, "", "", "\nir #xyz\n");
        row("a click on a row applies it", "ir #a", {"click 2"}, "", "ir #trabajo ", "");
        row("the add button adds", "ir #ca", {"add"}, "", "", "ir #ca");
    }
    void inputKeys()
    {
        QFETCH(QString, typed);
        QFETCH(Texts, steps);
        QFETCH(QString, shown);
        QFETCH(QString, text);
        QFETCH(QString, added);
        makeView({"x #casa", "y #compras", "z #trabajo"});
        auto *area = m_view->inputArea();
        auto *list = area->findChild<SuggestionList *>();
        QLineEdit *field = area->field();
        field->setFocus();
        field->insert(typed);
        QCoreApplication::processEvents(); // the column makes room for the list
        for (const QString &step : steps) {
            if (step.startsWith("click "))
                QTest::mouseClick(list->rows().at(step.mid(6).toInt()), Qt::LeftButton);
            else if (step == "add")
                QTest::mouseClick(area->findChild<PlainButton *>(), Qt::LeftButton);
            else
                QTest::keyClick(field, step == "Tab"     ? Qt::Key_Tab
                                       : step == "Enter" ? Qt::Key_Enter
                                                         : Qt::Key_Return);
        }
        QCOMPARE(field->text(), text);
        QCOMPARE(describe(m_view->store().tasks()).mid(3),
                 added.isEmpty() ? Texts() : Texts{added});
        QCOMPARE(QApplication::focusWidget() == field, steps != Texts{"Tab"});
        QCOMPARE(area->findChild<PlainButton *>()->isEnabled(), !text.trimmed().isEmpty());
        Texts listed;
        for (const SuggestionRow *row : list->rows())
            listed.append(row->tag() + (row->isHighlighted() ? "*" : ""));
        QCOMPARE(list->isVisible() ? listed.join(' ') : QString(), shown);
    }

    // Many tags scroll in the height the window can give, the header, input line and highlighted
    // row in view; a few are all shown, the list as tall as its rows.
    void completionKeepsTheInputInView_data()
    {
        QTest::addColumn<int>("tags");
        QTest::addColumn<int>("windowHeight");
        QTest::addColumn<int>("tabs");
        QTest::addColumn<int>("visibleRows");
        QTest::newRow("three tags: all of them") << 3 << 720 << 2 << 3;
        QTest::newRow("300 tags, Tab past the eighth") << 300 << 720 << 20 << 8;
        QTest::newRow("300 tags, Tab round to the first") << 300 << 720 << 300 << 8;
        QTest::newRow("300 tags, a short window: fewer rows") << 300 << 420 << 5 << 3;
    }
    void completionKeepsTheInputInView()
    {
        QFETCH(int, tags);
        QFETCH(int, windowHeight);
        QFETCH(int, tabs);
        QFETCH(int, visibleRows);
        Texts tasks;
        for (int i = 0; i < tags; ++i)
            tasks.append(QString("T #etiqueta%1").arg(i, 3, 10, QChar('0')));
        makeView(tasks);
        m_view->resize(320, windowHeight);
        QLineEdit *field = m_view->inputArea()->field();
        field->setFocus();
        QTest::keyClicks(field, "#");
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(field, Qt::Key_Tab);
        QCoreApplication::processEvents();
        auto *list = m_view->inputArea()->findChild<SuggestionList *>();
        QVERIFY(list->isVisible());
        QCOMPARE(list->visibleRowCount(), visibleRows);
        const int rowHeight = list->rows().first()->height();
        QCOMPARE(list->scrollArea()->viewport()->height(), visibleRows * rowHeight);
        QCOMPARE(list->scrollArea()->verticalScrollBar()->isVisible(), tags > visibleRows);
        // The input line and the header stay inside the window.
        const QRect fieldRect(field->mapTo(m_view.get(), QPoint()), field->size());
        QVERIFY2(m_view->rect().contains(fieldRect), qPrintable(QString::number(fieldRect.y())));
        QVERIFY(m_view->findChild<TextLabel *>("pendingCount")->mapTo(m_view.get(), QPoint()).y() >=
                0);
        const SuggestionRow *highlighted = list->rows().at(tabs % tags);
        QVERIFY(highlighted->isHighlighted());
        const QRect inView(highlighted->mapTo(list->scrollArea()->viewport(), QPoint()),
                           highlighted->size());
        QVERIFY(list->scrollArea()->viewport()->rect().contains(inView));
    }

    // Keys from the input line (Shift+Tab first) and a screen reader's actions on the task
    // focused: what is stored, the name of what has the focus, whether a ring shows there.
    void keyboardAndScreenReader_data()
    {
        QTest::addColumn<Texts>("tasks");
        QTest::addColumn<Texts>("steps"); // keys; "'text" typed; "click" its mark; "do:" action
        QTest::addColumn<Texts>("after");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("ring");
        auto row = [](const char *name, const Texts &tasks, const QString &steps,
                      const Texts &after, const char *focus, bool ring) {
            QTest::newRow(name) << tasks << steps.split(' ') << after << QString(focus) << ring;
        };
        const Texts ab{"A", "B"};
        row("Shift+Tab reaches the first task, Space marks it done", {"A #casa", "B"},
            "Backtab Space", {"A #casa:d", "B"}, "A, hecha, casa", true);
        row("Up stops at the top; Delete: the next task takes the focus", {"A", "B", "C"},
            "Backtab Up Down Del", {"A", "C"}, "C", true);
        row("F2 edits, Return stores, the focus comes back", {"A"}, "Backtab F2 '#casa Return",
            {"A#casa"}, "A, casa", true);
        row("Shift+F10: the menu's item is ready for Return", ab, "Backtab Down Shift+F10 Return",
            {"A", "B:p"}, "B, prioritaria", true);
        row("after a click no ring, even where the focus goes on", ab, "Backtab click do:Delete",
            {"B"}, "B", false);
        row("actions of a screen reader", ab, "Backtab Down do:TogglePriority do:Toggle",
            {"A", "B:pd"}, "B, hecha, prioritaria", true);
        row("Tab leaves; the last task deleted, the focus goes on", {"A"},
            "Backtab Tab Backtab do:Delete", {}, "Añadir tarea", false);
    }
    void keyboardAndScreenReader()
    {
        QFETCH(Texts, tasks);
        QFETCH(Texts, steps);
        QFETCH(Texts, after);
        QFETCH(QString, focus);
        QFETCH(bool, ring);
        makeView(tasks);
        m_view->inputArea()->field()->setFocus();
        for (const QString &step : steps) {
            QWidget *to = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                            : QApplication::focusWidget();
            const QKeyCombination key = QKeySequence(step)[0];
            if (step.startsWith('\''))
                QTest::keyClicks(to, step.mid(1));
            else if (step == "click")
                QTest::mouseClick(to->findChild<QWidget *>("doneMark"), Qt::LeftButton);
            else if (step.startsWith("do:"))
                QAccessible::queryAccessibleInterface(to)->actionInterface()->doAction(step.mid(3));
            else
                QTest::keyClick(to, key.key(), key.keyboardModifiers());
        }
        QCOMPARE(stored(), after);
        QWidget *focused = QApplication::focusWidget();
        QCOMPARE(QAccessible::queryAccessibleInterface(focused)->text(QAccessible::Name), focus);
        const auto *focusedRow = qobject_cast<TaskRow *>(focused);
        QCOMPARE(focusedRow && focusedRow->isFocusRingShown(), ring);
        // The list's items are the rows in the order shown; each mark says whose it is.
        const QList<TaskRow *> rows = m_view->listSection()->rows();
        for (int i = 0; i < rows.size(); ++i) {
            auto *list = QAccessible::queryAccessibleInterface(rows[i])->parent();
            QVERIFY(list->role() == QAccessible::List && list->child(i)->object() == rows[i]);
            QCOMPARE(rows[i]->findChild<QWidget *>("doneMark")->accessibleName(),
                     "Marcar «" + rows[i]->task().displayText() +
                         (rows[i]->task().isDone ? "» como pendiente" : "» como hecha"));
        }
    }

    // Each change below, held half way, fades or cross-fades the parts named and no other;
    // one made outside any transaction lands at once.
    void animatesWithItsAction_data()
    {
        QTest::addColumn<Texts>("tasks");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Texts>("parts");
        QTest::newRow("first task: the empty state goes, the row comes")
            << Texts{} << "add A" << Texts{"EmptyStateView", "TaskRow", "pendingCount"};
        QTest::newRow("last task deleted: its row goes, the empty state and the toast come")
            << Texts{"A"} << "delete"
            << Texts{"EmptyStateView", "TaskRow", "UndoToast", "pendingCount"};
        QTest::newRow("another task: a new number, a new chip")
            << Texts{"A #casa"} << "add B #abc" << Texts{"TagChip", "TaskRow", "pendingCount"};
        QTest::newRow("done mark: the symbol changes")
            << Texts{"A"} << "done" << Texts{"doneMark", "pendingCount"};
        QTest::newRow("outside a transaction: at once") << Texts{"A"} << "append" << Texts{};
    }
    void animatesWithItsAction()
    {
        QFETCH(Texts, tasks);
        QFETCH(QString, action);
        QFETCH(Texts, parts);
        makeView(tasks);
        Motion::setAnimationsEnabled(true);
        TaskRow *first = tasks.isEmpty() ? nullptr : row(0); // kept while it fades out
        if (action.startsWith("add "))
            QTest::keyClicks(m_view->inputArea()->field(), action.mid(4) + "\r");
        else if (action == "delete")
            m_view->deleteTask(first->taskId());
        else if (action == "done")
            QTest::mouseClick(first->findChild<QWidget *>("doneMark"), Qt::LeftButton);
        else
            m_view->store().append(TaskItem("B"));
        int running = 0;
        for (QAbstractAnimation *animation : m_view->findChildren<QAbstractAnimation *>()) {
            if (animation->state() == QAbstractAnimation::Running && ++running) {
                animation->pause();
                animation->setCurrentTime(animation->duration() / 2);
            }
        }
        QCOMPARE(running > 0, !parts.isEmpty());
        Texts halfWay; // faded, or its text or symbol cross-faded, half way
        for (QWidget *part : m_view->findChildren<QWidget *>()) {
            const auto *fade = qobject_cast<QGraphicsOpacityEffect *>(part->graphicsEffect());
            const qreal shown = fade ? fade->opacity()
                                     : part->property("textChange").toReal() +
                                           part->property("symbolChange").toReal();
            if (shown > 0 && shown < 1)
                halfWay.append(part->objectName().isEmpty() ? part->metaObject()->className()
                                                            : part->objectName());
        }
        halfWay.sort();
        QCOMPARE(halfWay, parts);
    }

    // Which notices the column shows above the input line, with what text and action, as a
    // screen reader meets them; and what a click on the action or the close button does.
    void storageNotices_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("click");
        QTest::addColumn<Texts>("after");
        auto row = [](const char *name, const char *situation, const char *notice,
                      const char *action, const char *click, const Texts &after) {
            QTest::newRow(name) << QString(situation) << QString::fromUtf8(notice)
                                << QString::fromUtf8(action) << QString(click) << after;
        };
        row("disk full: told until a save succeeds", "ENOSPC",
            "No se pudo guardar: el disco está lleno. Los cambios se guardarán en cuanto haya "
            "espacio.",
            "", "room made", {"A", "B"});
        row("read-only file system", "EROFS",
            "No se pudo guardar: el disco es de solo lectura. Los cambios se guardarán en "
            "cuanto se pueda escribir en él.",
            "", "room made", {"A", "B"});
        row("an unreadable list: the last readable one restored", "unreadable",
            "No se pudo leer la lista guardada. Se guardó una copia en ", "Restaurar", "action",
            {"A", "B"});
        row("an unreadable list, the notice closed", "unreadable",
            "No se pudo leer la lista guardada. Se guardó una copia en ", "Restaurar", "close", {});
        row("changes the last quit could not store, restored", "unsaved quit",
            "Los últimos cambios no se pudieron guardar al salir. Se guardaron en ", "Restaurar",
            "action", {"A", "B"});
    }
    void storageNotices()
    {
        QFETCH(QString, situation);
        QFETCH(QString, notice);
        QFETCH(QString, action);
        QFETCH(QString, click);
        QFETCH(Texts, after);
        if (situation == "unreadable") {
            TaskStore(*m_preferences).setTasks({TaskItem("A"), TaskItem("B")});
            QSettings(m_preferences->filePath(), QSettings::IniFormat)
                .setValue(Preferences::tasksKey, "no es JSON");
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("copied to"));
        } else if (situation == "unsaved quit") {
            TaskStore store(*m_preferences);
            store.append(TaskItem("A"));
            m_calls.arm("write", 0, ENOSPC);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be saved"));
            store.append(TaskItem("B"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("offers it"));
            QVERIFY(!store.saveBeforeQuit().isEmpty());
            m_calls.disarm();
        }
        makeView({});
        m_view->store().setRetryInterval(std::chrono::milliseconds(20));
        StorageNotices *notices = m_view->storageNotices();
        if (situation.startsWith('E')) {
            m_view->addTask("A");
            m_calls.arm("write", 0, situation == "ENOSPC" ? ENOSPC : EROFS);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be saved"));
            m_view->addTask("B");
        }
        QCOMPARE(notices->banners().size(), 1);
        auto *banner = static_cast<NoticeBanner *>(notices->banners().first());
        const QList<QWidget *> items = m_view->findChild<AnimatedColumn *>()->items();
        QCOMPARE(items.at(items.indexOf(m_view->inputArea()) - 1), banner);
        QAccessibleInterface *alert = QAccessible::queryAccessibleInterface(banner);
        QCOMPARE(alert->role(), QAccessible::AlertMessage);
        QVERIFY(alert->text(QAccessible::Name).startsWith(notice));
        QCOMPARE(banner->message(), alert->text(QAccessible::Name));
        QAbstractButton *actionButton = nullptr;
        for (auto *button : banner->findChildren<QAbstractButton *>())
            if (!button->isHidden() && button->text() == action && !action.isEmpty())
                actionButton = button;
        QCOMPARE(actionButton != nullptr, !action.isEmpty());
        if (click == "room made") {
            m_calls.disarm();
        } else if (click == "action") {
            QTest::mouseClick(actionButton, Qt::LeftButton);
        } else {
            auto *close = banner->findChild<PlainButton *>();
            QCOMPARE(QAccessible::queryAccessibleInterface(close)->text(QAccessible::Name),
                     "Cerrar aviso");
            QTest::mouseClick(close, Qt::LeftButton);
        }
        QTRY_VERIFY(notices->banners().isEmpty());
        QVERIFY(!m_view->findChild<AnimatedColumn *>()->items().contains(banner));
        QCOMPARE(stored(), after);
        QCOMPARE(describe(m_view->store().tasks()), after);
        // A copy of unsaved changes goes once they are stored again.
        QCOMPARE(QDir(m_config->filePath("state/lorvane")).exists("unsaved-tasks.json"), false);
    }

    // A chip of the selected tag is drawn selected whatever the case; a drag scrolls the
    // strip sideways and clicks nothing.
    void tagStrip()
    {
        makeView({"a #casa #compras #deporte #familia #lectura #música #salud #trabajo #viajes"});
        m_view->toggleTagFilter("COMPRAS", false);
        QVERIFY(chip("compras")->isSelected() && !chip("casa")->isSelected());
        auto *bar =
            m_view->findChild<TagFilterBar *>()->findChild<QScrollArea *>()->horizontalScrollBar();
        TagChip *deporte = chip("deporte");
        const QPoint centre(deporte->width() / 2, deporte->height() / 2);
        QTest::mousePress(deporte, Qt::LeftButton, {}, centre);
        for (int dx = 10; dx <= 60; dx += 10)
            QTest::mouseMove(deporte, centre - QPoint(dx, 0));
        QTRY_VERIFY(bar->value() > 20);    // the strip follows at its frame rate
        QTest::mouseMove(deporte, centre); // back over the chip: still no click
        QTest::mouseRelease(deporte, Qt::LeftButton, {}, centre);
        QVERIFY(!deporte->isDown() && !deporte->isSelected() && chip("compras")->isSelected());
    }
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
