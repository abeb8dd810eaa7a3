// Renders ContentView at 320 x 720 with sample tasks, in light and dark appearance, into
// PNG files: `render_screenshots <output folder> [--frames]`. With `--frames` it renders the
// transitions that animate with their action (the pending count, a chip joining the tag bar,
// the empty state and the first or last row, the done mark) at 0, 50, 100 and 200 ms.
// "undo" shows the toast that offers a deleted task back.
// "storage" shows the notices of a list that could not be read and of a disk that is full.
// "sync-dialog" is the sync dialog offering the server's task lists, "sync-certificate" the
// same dialog refusing a server's certificate; "sync-problem" the settings panel with a
// failing sync: its status line, and the red dot on the gear.

#include "model/TaskStore.h"
#include "preferences/FileSystemCalls.h"
#include "preferences/Preferences.h"
#include "toolkit/Motion.h"
#include "toolkit/WindowStyle.h"
#include "views/ContentView.h"
#include "views/InputArea.h"
#include "views/SyncDialog.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QAbstractAnimation>
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

namespace {

QPalette darkPalette()
{
    QPalette palette = QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
    palette.setColor(QPalette::Window, QColor(30, 30, 30));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(24, 24, 24));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(45, 45, 45));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 90));
    return palette;
}

void addSampleTasks(TaskStore &store)
{
    const QStringList texts{
        QStringLiteral("Llamar al dentista para pedir cita #salud"),
        QStringLiteral("Comprar pan y leche #casa #compras"),
        QStringLiteral("Preparar la presentación del trimestre para el equipo de ventas "
                       "#trabajo"),
        QStringLiteral("Regar las plantas #casa"),
        QStringLiteral("Leer el capítulo 3 #lectura"),
    };
    for (const QString &text : texts)
        store.append(TaskItem(text));
    QList<TaskItem> tasks = store.tasks();
    tasks[0].isPriority = true;
    tasks[3].isDone = true;
    tasks[4].isDone = true;
    tasks[4].isPriority = true;
    store.setTasks(tasks);
}

void hover(QWidget *widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, widget->mapToGlobal(inside), widget->mapToGlobal(inside));
    QApplication::sendEvent(widget, &enter);
}

// The view with any open menu drawn over it where it stands on the screen.
void save(QWidget &view, const QString &folder, const QString &name, bool dark)
{
    const QString file = QDir(folder).filePath(
        name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
    QPixmap picture = view.grab();
    if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
        QPainter painter(&picture);
        painter.drawPixmap(view.mapFromGlobal(menu->pos()), menu->grab());
    }
    picture.save(file);
    qInfo("%s", qPrintable(file));
}

void render(const QString &folder, const QString &name, bool dark,
            const std::function<void(ContentView &)> &prepare,
            const std::function<void(ContentView &)> &act = {})
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication::setPalette(
        dark ? darkPalette() : QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette());
    Preferences preferences;
    ContentView view(preferences);
    view.resize(320, 720);
    view.show();
    view.activateWindow();
    prepare(view);
    QApplication::processEvents();
    if (!act) {
        save(view, folder, name, dark);
        return;
    }
    // The action, then its animations held at each moment in turn.
    Motion::setAnimationsEnabled(true);
    act(view);
    QList<QAbstractAnimation *> running;
    for (QAbstractAnimation *animation : view.findChildren<QAbstractAnimation *>()) {
        if (animation->state() == QAbstractAnimation::Running) {
            animation->pause();
            running.append(animation);
        }
    }
    for (int ms : {0, 50, 100, 200}) {
        for (QAbstractAnimation *animation : std::as_const(running))
            animation->setCurrentTime(std::min(ms, animation->duration()));
        QApplication::processEvents();
        save(view, folder, QStringLiteral("%1-%2ms").arg(name).arg(ms, 3, 10, QLatin1Char('0')),
             dark);
    }
    Motion::setAnimationsEnabled(false);
}

// A disk on which every write fails for want of space, once `isFull` is set.
class FullDisk : public FileSystemCalls
{
public:
    bool isFull = false;
    ssize_t write(int fd, const void *data, size_t size) override
    {
        if (!isFull)
            return FileSystemCalls::write(fd, data, size);
        errno = ENOSPC;
        return -1;
    }
};

// An unreadable stored list with a readable earlier one kept, and then a change that does not
// fit on the disk.
void renderStorageNotices(const QString &folder, bool dark)
{
    // A home of its own, so that the paths shown read as they would on a desktop.
    QTemporaryDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + u"/.config"_qs));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + u"/.local/state"_qs));
    QApplication::setPalette(
        dark ? darkPalette() : QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette());
    {
        Preferences earlier;
        TaskStore store(earlier);
        addSampleTasks(store);
    }
    Preferences().setTasksDocument("[{\"id\": ");
    FullDisk disk;
    Preferences preferences(disk);
    ContentView view(preferences);
    view.resize(320, 720);
    view.show();
    disk.isFull = true;
    view.store().append(TaskItem(QStringLiteral("Pagar la luz #facturas")));
    QApplication::processEvents();
    save(view, folder, QStringLiteral("storage"), dark);
    qputenv("HOME", realHome);
}

// The dialog on its own, as it offers the lists of a server it has just reached, or with a
// server whose certificate is not trusted.
void renderSyncDialog(const QString &folder, bool dark, bool untrusted)
{
    QApplication::setPalette(
        dark ? darkPalette() : QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette());
    SyncDialog dialog;
    dialog.showDisconnected(QStringLiteral("cloud.example.org"), QStringLiteral("ana"));
    const QString calendars = QStringLiteral("/remote.php/dav/calendars/ana/");
    if (untrusted) {
        dialog.showStatus(QDateTime(), QStringLiteral("Certificado no válido"));
        dialog.showCertificateProblem(QStringLiteral("3FA2").repeated(16));
    } else {
        dialog.showCollections(
            {{calendars + u"personal/"_qs, QStringLiteral("Personal")},
             {calendars + u"trabajo/"_qs, QStringLiteral("Trabajo")},
             {calendars + u"compras/"_qs, QStringLiteral("Lista de la compra")}});
        dialog.showStatus(QDateTime(), QString());
    }
    dialog.show();
    QApplication::processEvents();
    save(dialog, folder, untrusted ? u"sync-certificate"_qs : u"sync-dialog"_qs, dark);
}

void addTask(ContentView &view, const QString &text)
{
    QLineEdit *field = view.inputArea()->field();
    field->setFocus();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void renderFrames(const QString &folder, bool dark)
{
    auto none = [](ContentView &) {};
    auto samples = [](ContentView &view) { addSampleTasks(view.store()); };
    auto one = [](ContentView &view) { view.store().append(TaskItem(QStringLiteral("Pan"))); };
    auto firstMark = [](ContentView &view) {
        QTest::mouseClick(view.listSection()->rows().first()->findChild<QWidget *>("doneMark"),
                          Qt::LeftButton);
    };
    render(folder, QStringLiteral("first-task"), dark, none,
           [](ContentView &view) { addTask(view, QStringLiteral("Comprar pan #casa")); });
    render(folder, QStringLiteral("last-task"), dark, one,
           [](ContentView &view) { view.deleteTask(view.store().tasks().first().id); });
    render(folder, QStringLiteral("count-and-chip"), dark, samples,
           [](ContentView &view) { addTask(view, QStringLiteral("Pagar la luz #facturas")); });
    render(folder, QStringLiteral("done-mark"), dark, one, firstMark);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(new WindowStyle);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    Motion::setAnimationsEnabled(false);
    if (argc > 2 && QByteArray(argv[2]) == "--frames") {
        for (bool dark : {false, true})
            renderFrames(folder, dark);
        return 0;
    }

    for (bool dark : {false, true}) {
        renderStorageNotices(folder, dark);
        render(folder, QStringLiteral("empty"), dark, [](ContentView &) {});
        render(folder, QStringLiteral("tasks"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            QApplication::processEvents();
            const QList<TaskRow *> rows = view.listSection()->rows();
            if (rows.size() > 1)
                hover(rows[1]);
        });
        render(folder, QStringLiteral("settings"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            view.toggleSettings();
        });
        render(folder, QStringLiteral("filter"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            view.toggleTagFilter(QStringLiteral("casa"), false);
        });
        render(folder, QStringLiteral("keyboard"), dark, [](ContentView &view) {
            // Shift+Tab from the input line to the list, then down to the second task.
            addSampleTasks(view.store());
            (void)QTest::qWaitForWindowActive(&view);
            view.inputArea()->field()->setFocus();
            QTest::keyClick(view.inputArea()->field(), Qt::Key_Backtab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        });
        render(folder, QStringLiteral("completion"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            QLineEdit *field = view.inputArea()->field();
            field->setFocus();
            QTest::keyClicks(field, QStringLiteral("Revisar facturas #c"));
            QTest::keyClick(field, Qt::Key_Tab);
        });
        render(folder, QStringLiteral("menu"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            QApplication::processEvents();
            TaskRow *row = view.listSection()->rows().at(1);
            const QPoint at(120, row->height() / 2);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, row->mapToGlobal(at));
            QApplication::sendEvent(row, &event);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (menu)
                menu->setActiveAction(menu->actions().value(0));
        });
        render(folder, QStringLiteral("long-list"), dark, [](ContentView &view) {
            for (int i = 1; i <= 24; ++i)
                view.store().append(TaskItem(QStringLiteral("Tarea número %1 #lista").arg(i)));
        });
        render(folder, QStringLiteral("undo"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            view.deleteTask(view.store().tasks().at(2).id);
        });
        renderSyncDialog(folder, dark, false);
        renderSyncDialog(folder, dark, true);
        render(folder, QStringLiteral("sync-problem"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            view.toggleSettings();
            view.setSyncStatus(u"Sin conexión con cloud.example.org · 3 cambios pendientes"_qs);
            view.setSyncProblem(true);
        });
    }
    return 0;
}
