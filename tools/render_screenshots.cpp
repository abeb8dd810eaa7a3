// Renders ContentView at 320 x 720 with sample tasks, in light and dark appearance, into
// PNG files: `render_screenshots <output folder>`.

#include "model/TaskStore.h"
#include "platform/Preferences.h"
#include "toolkit/Motion.h"
#include "views/ContentView.h"
#include "views/InputArea.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

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

void render(const QString &folder, const QString &name, bool dark,
            const std::function<void(ContentView &)> &prepare)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication::setPalette(
        dark ? darkPalette() : QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette());
    Preferences preferences;
    ContentView view(preferences);
    view.resize(320, 720);
    view.show();
    prepare(view);
    QApplication::processEvents();
    const QString file = QDir(folder).filePath(
        name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
    view.grab().save(file);
    qInfo("%s", qPrintable(file));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    Motion::setAnimationsEnabled(false);

    for (bool dark : {false, true}) {
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
        render(folder, QStringLiteral("completion"), dark, [](ContentView &view) {
            addSampleTasks(view.store());
            QLineEdit *field = view.inputArea()->field();
            field->setFocus();
            QTest::keyClicks(field, QStringLiteral("Revisar facturas #c"));
            QTest::keyClick(field, Qt::Key_Tab);
        });
    }
    return 0;
}
