#include "model/Tags.h"
#include "model/TaskItem.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Theme.h"
#include "views/TaskRow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

TaskItem makeTask(const QString &text, bool done = false, bool priority = false)
{
    TaskItem task(text);
    task.isDone = done;
    task.isPriority = priority;
    return task;
}

// A window holding one row at the list's width, and a second field that can take the
// focus away from the row's edit field. The row's requests are applied to `task` as the
// window would apply them to the store, and the result is shown again.
struct RowHarness
{
    explicit RowHarness(const TaskItem &initial) : task(initial)
    {
        window.resize(320, 200);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        row = new TaskRow(task, &window);
        otherField = new QLineEdit(&window);
        layout->addWidget(row);
        layout->addWidget(otherField);
        layout->addStretch();

        QObject::connect(row, &TaskRow::doneToggled, row, [this](const QUuid &id) {
            if (id == task.id) {
                task.isDone = !task.isDone;
                row->setTask(task);
            }
        });
        QObject::connect(row, &TaskRow::priorityToggled, row, [this](const QUuid &id) {
            if (id == task.id) {
                task.isPriority = !task.isPriority;
                row->setTask(task);
            }
        });
        QObject::connect(row, &TaskRow::textEdited, row,
                         [this](const QUuid &id, const QString &text) {
                             if (id == task.id) {
                                 task.text = text;
                                 task.tags = extractTags(text);
                                 row->setTask(task);
                             }
                         });
        window.show();
        window.activateWindow();
    }

    PlainButton *doneMark() const { return row->findChild<PlainButton *>("doneMark"); }
    PlainButton *deleteButton() const { return row->findChild<PlainButton *>("deleteButton"); }
    QLineEdit *editField() const { return row->findChild<QLineEdit *>("editField"); }

    void hover()
    {
        const QPointF inside(row->width() / 2.0, row->height() / 2.0);
        QEnterEvent enter(inside, row->mapTo(&window, inside), row->mapToGlobal(inside));
        QApplication::sendEvent(row, &enter);
    }
    void unhover()
    {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(row, &leave);
    }
    void doubleClickText()
    {
        // Inside the text line: right of the mark, on the first line.
        QTest::mouseDClick(row, Qt::LeftButton, {}, QPoint(60, 15));
    }
    QMenu *openContextMenu()
    {
        const QPoint inside(row->width() / 2, row->height() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, inside, row->mapToGlobal(inside));
        QApplication::sendEvent(row, &event);
        return row->findChild<QMenu *>();
    }

    TaskItem task;
    QWidget window;
    TaskRow *row = nullptr;
    QLineEdit *otherField = nullptr;
};

QColor expectedMarkColor(const Theme &theme, bool done, bool priority)
{
    if (done)
        return Theme::accent();
    return priority ? theme.red(0.6) : theme.primary(0.25);
}

} // namespace

class TaskRowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Motion::setAnimationsEnabled(false); }
    void init() { Motion::setAnimationsEnabled(false); }

    void doneMarkTogglesItsOwnTask_data();
    void doneMarkTogglesItsOwnTask();
    void contextMenuFlipsPriority_data();
    void contextMenuFlipsPriority();
    void backgroundFollowsPriorityAndHover_data();
    void backgroundFollowsPriorityAndHover();
    void hoverShowsDeleteButton();
    void hoverLeftWhileAnimatingEndsHidden();
    void showsDisplayTextAndTagsAsChips();
    void unchangedRecordDoesNotRepaint();

    void doubleClickEditsFullText();
    void returnCommitsTrimmedText_data();
    void returnCommitsTrimmedText();
    void blankEditKeepsText_data();
    void blankEditKeepsText();
    void focusLossCommits();
    void commitTwiceIsHarmless();
    void rowKeepsWorkingWhileEditing();
    void destroyingEditingRowRequestsNothing();

    void wrappingGrowsRowAndKeepsButtonsAtTop();
    void chipsWrapInsteadOfClipping();
};

void TaskRowTest::doneMarkTogglesItsOwnTask_data()
{
    QTest::addColumn<bool>("done");
    QTest::addColumn<bool>("priority");
    QTest::newRow("open task") << false << false;
    QTest::newRow("open priority task") << false << true;
    QTest::newRow("done task") << true << false;
    QTest::newRow("done priority task: done wins over priority") << true << true;
}

void TaskRowTest::doneMarkTogglesItsOwnTask()
{
    QFETCH(bool, done);
    QFETCH(bool, priority);
    RowHarness h(makeTask("Llamar a Ana", done, priority));
    const Theme theme = Theme::of(h.row);
    QSignalSpy spy(h.row, &TaskRow::doneToggled);

    QCOMPARE(h.doneMark()->color(), expectedMarkColor(theme, done, priority));
    QCOMPARE(h.doneMark()->symbol(), done ? Symbol::CheckmarkCircleFill : Symbol::Circle);

    QTest::mouseClick(h.doneMark(), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QUuid>(), h.task.id);
    QCOMPARE(h.task.isDone, !done);
    QCOMPARE(h.doneMark()->color(), expectedMarkColor(theme, !done, priority));
    QCOMPARE(h.doneMark()->symbol(), done ? Symbol::Circle : Symbol::CheckmarkCircleFill);
    QCOMPARE(h.doneMark()->accessibleName(),
             done ? QStringLiteral("Marcar como hecha") : QStringLiteral("Marcar como pendiente"));

    QTest::mouseClick(h.doneMark(), Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(h.task.isDone, done);
    QCOMPARE(h.doneMark()->color(), expectedMarkColor(theme, done, priority));
}

void TaskRowTest::contextMenuFlipsPriority_data()
{
    QTest::addColumn<bool>("priority");
    QTest::addColumn<QString>("label");
    QTest::newRow("not priority") << false << "Marcar como prioritaria";
    QTest::newRow("priority") << true << "Quitar prioridad";
}

void TaskRowTest::contextMenuFlipsPriority()
{
    QFETCH(bool, priority);
    QFETCH(QString, label);
    RowHarness h(makeTask("Revisar informe", false, priority));
    QSignalSpy spy(h.row, &TaskRow::priorityToggled);

    QPointer<QMenu> menu = h.openContextMenu();
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 1);
    QAction *action = menu->actions().constFirst();
    QCOMPARE(action->text(), label);
    QVERIFY(!action->icon().isNull());

    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QUuid>(), h.task.id);
    QCOMPARE(h.task.isPriority, !priority);
    QTRY_VERIFY(!menu);

    // The label follows the new state; choosing it again returns to the first state.
    menu = h.openContextMenu();
    QVERIFY(menu);
    action = menu->actions().constFirst();
    QVERIFY(action->text() != label);
    action->trigger();
    menu->close();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(h.task.isPriority, priority);
}

void TaskRowTest::backgroundFollowsPriorityAndHover_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<bool>("done");
    QTest::addColumn<bool>("priority");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<QColor>("background"); // composed over the window colour below
    const auto over = [](const QColor &top, const QColor &base) {
        const qreal a = top.alphaF();
        return QColor::fromRgbF(float(top.redF() * a + base.redF() * (1 - a)),
                                float(top.greenF() * a + base.greenF() * (1 - a)),
                                float(top.blueF() * a + base.blueF() * (1 - a)));
    };
    for (const bool dark : {false, true}) {
        const Theme theme(dark);
        const QColor base = theme.windowBackground();
        const QString appearance = dark ? QStringLiteral("dark: ") : QStringLiteral("light: ");
        auto row = [&](const char *name) {
            return &QTest::newRow(qPrintable(appearance + QLatin1String(name)));
        };
        *row("plain, resting") << dark << false << false << false << base;
        *row("plain, hovered") << dark << false << false << true
                               << over(theme.primary(0.05), base);
        *row("priority, resting") << dark << false << true << false << over(theme.red(0.12), base);
        *row("priority, hovered") << dark << false << true << true << over(theme.red(0.18), base);
        *row("done priority keeps its red") << dark << true << true << false
                                             << over(theme.red(0.12), base);
    }
}

void TaskRowTest::backgroundFollowsPriorityAndHover()
{
    QFETCH(bool, dark);
    QFETCH(bool, done);
    QFETCH(bool, priority);
    QFETCH(bool, hovered);
    QFETCH(QColor, background);

    RowHarness h(makeTask("Tarea", done, priority));
    QPalette palette = h.window.palette();
    palette.setColor(QPalette::Window, Theme(dark).windowBackground());
    h.window.setPalette(palette);
    h.window.setAutoFillBackground(true);
    if (hovered)
        h.hover();

    // Bottom right corner: inside the row's padding, clear of text and buttons.
    const QImage image = h.window.grab(h.row->geometry()).toImage();
    const QColor pixel = image.pixelColor(image.width() - 3, image.height() - 3);
    const auto near = [](int a, int b) { return qAbs(a - b) <= 2; };
    QVERIFY2(near(pixel.red(), background.red()) && near(pixel.green(), background.green())
                 && near(pixel.blue(), background.blue()),
             qPrintable(QStringLiteral("got %1, expected %2")
                            .arg(pixel.name(), background.name())));
}

void TaskRowTest::hoverShowsDeleteButton()
{
    RowHarness h(makeTask("Enviar factura"));
    QSignalSpy deleteSpy(h.row, &TaskRow::deleteRequested);
    QSignalSpy doneSpy(h.row, &TaskRow::doneToggled);
    const auto deleteVisible = [&] { return h.deleteButton() && h.deleteButton()->isVisible(); };

    QVERIFY(!deleteVisible());
    h.hover();
    QVERIFY(h.row->isHovered());
    QVERIFY(deleteVisible());
    QCOMPARE(h.deleteButton()->accessibleName(), QStringLiteral("Eliminar tarea"));
    // Right end, near the top.
    QVERIFY(h.deleteButton()->geometry().right() > h.row->width() - 20);
    QVERIFY(h.deleteButton()->y() < 15);

    QTest::mouseClick(h.deleteButton(), Qt::LeftButton);
    QCOMPARE(deleteSpy.count(), 1);
    QCOMPARE(deleteSpy.at(0).at(0).value<QUuid>(), h.task.id);
    QCOMPARE(doneSpy.count(), 0);

    h.unhover();
    QVERIFY(!h.row->isHovered());
    QVERIFY(!deleteVisible());
}

void TaskRowTest::hoverLeftWhileAnimatingEndsHidden()
{
    Motion::setAnimationsEnabled(true);
    RowHarness h(makeTask("Enviar factura"));
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QSignalSpy deleteSpy(h.row, &TaskRow::deleteRequested);

    h.hover();
    QVERIFY(h.deleteButton()->isVisible());
    h.unhover();
    // While it fades out it takes no clicks.
    QVERIFY(h.deleteButton()->testAttribute(Qt::WA_TransparentForMouseEvents));
    QTRY_VERIFY(!h.deleteButton()->isVisible());
    QCOMPARE(deleteSpy.count(), 0);

    // And back in again before the fade-out has ended: it ends shown, at full size.
    h.hover();
    h.unhover();
    h.hover();
    QTRY_VERIFY(h.deleteButton()->graphicsEffect() == nullptr);
    QVERIFY(h.deleteButton()->isVisible());
    QVERIFY(!h.deleteButton()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TaskRowTest::showsDisplayTextAndTagsAsChips()
{
    RowHarness h(makeTask("Comprar pan #casa #Urgente"));
    QCOMPARE(h.row->displayText(), QStringLiteral("Comprar pan"));
    QCOMPARE(h.row->accessibleName(), QStringLiteral("Comprar pan"));

    // The chips add a line under the text; without tags there is none.
    RowHarness plain(makeTask("Comprar pan"));
    QVERIFY(h.row->heightForWidth(320) > plain.row->heightForWidth(320));
}

void TaskRowTest::unchangedRecordDoesNotRepaint()
{
    RowHarness h(makeTask("Comprar pan #casa"));
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QCoreApplication::processEvents();

    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    h.row->installEventFilter(&counter);

    TaskItem copy = h.task;
    h.row->setTask(copy);
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, 0);

    copy.isDone = true;
    h.row->setTask(copy);
    QTRY_VERIFY(counter.paints > 0);
}

void TaskRowTest::doubleClickEditsFullText()
{
    RowHarness h(makeTask("Llamar al banco #finanzas"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));

    h.doubleClickText();
    QVERIFY(h.row->isEditing());
    QLineEdit *field = h.editField();
    QVERIFY(field && field->isVisible());
    QCOMPARE(field->text(), QStringLiteral("Llamar al banco #finanzas"));
    QCOMPARE(field->placeholderText(), QStringLiteral("Tarea"));
    QVERIFY(!field->hasFrame());
    QTRY_VERIFY(field->hasFocus());

    // A double click on the mark is two clicks on the mark, not an edit.
    RowHarness other(makeTask("Otra"));
    QTest::mouseDClick(other.doneMark(), Qt::LeftButton);
    QVERIFY(!other.row->isEditing());
}

void TaskRowTest::returnCommitsTrimmedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("tags");
    QTest::newRow("surrounding spaces and tabs") << "  \tComprar leche #casa \t"
                                                 << "Comprar leche #casa" << QStringList{"casa"};
    QTest::newRow("inner spaces stay") << "a   b" << "a   b" << QStringList{};
    QTest::newRow("unchanged text is written again") << "Llamar al banco #finanzas"
                                                     << "Llamar al banco #finanzas"
                                                     << QStringList{"finanzas"};
    QTest::newRow("tag words removed") << "Llamar al banco" << "Llamar al banco"
                                       << QStringList{};
    QTest::newRow("tag case changed") << "Llamar al banco #Finanzas"
                                      << "Llamar al banco #Finanzas" << QStringList{"Finanzas"};
}

void TaskRowTest::returnCommitsTrimmedText()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QStringList, tags);
    RowHarness h(makeTask("Llamar al banco #finanzas", true, true));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    const QUuid id = h.task.id;
    QSignalSpy spy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    // Set rather than typed: a typed tab would move the focus on, which ends the edit.
    h.editField()->setText(typed);
    QTest::keyClick(h.editField(), Qt::Key_Return);

    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QUuid>(), id);
    QCOMPARE(spy.at(0).at(1).toString(), stored);
    QVERIFY(!h.row->isEditing());
    QVERIFY(!h.editField()->isVisible());
    QCOMPARE(h.task.text, stored);
    QCOMPARE(h.task.tags, tags);
    QCOMPARE(h.task.isDone, true);
    QCOMPARE(h.task.isPriority, true);
}

void TaskRowTest::blankEditKeepsText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("cleared") << "";
    QTest::newRow("spaces and tabs only") << "  \t ";
    QTest::newRow("no-break space only") << QStringLiteral("\u00a0");
}

void TaskRowTest::blankEditKeepsText()
{
    QFETCH(QString, typed);
    RowHarness h(makeTask("Regar plantas #casa"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy spy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    h.editField()->setText(typed);
    QTest::keyClick(h.editField(), Qt::Key_Return);

    QCOMPARE(spy.count(), 0);
    QVERIFY(!h.row->isEditing());
    QCOMPARE(h.row->displayText(), QStringLiteral("Regar plantas"));
}

void TaskRowTest::focusLossCommits()
{
    RowHarness h(makeTask("Pagar luz"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy spy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    QTRY_VERIFY(h.editField()->hasFocus());
    QTest::keyClicks(h.editField(), " y agua");
    // Escape is not a way out: the edit stays open.
    QTest::keyClick(h.editField(), Qt::Key_Escape);
    QVERIFY(h.row->isEditing());

    // The field's own context menu takes the focus for a moment; that does not end the edit.
    QFocusEvent popupFocusOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(h.editField(), &popupFocusOut);
    QVERIFY(h.row->isEditing());

    h.otherField->setFocus();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("Pagar luz y agua"));
    QVERIFY(!h.row->isEditing());
    QVERIFY(h.otherField->hasFocus());
}

void TaskRowTest::commitTwiceIsHarmless()
{
    RowHarness h(makeTask("Pagar luz"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy spy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    QTest::keyClicks(h.editField(), "!");
    QTest::keyClick(h.editField(), Qt::Key_Return);
    h.row->commitEdit();
    h.otherField->setFocus();
    QCoreApplication::processEvents();

    QCOMPARE(spy.count(), 1);
    QCOMPARE(h.task.text, QStringLiteral("Pagar luz!"));
    QVERIFY(!h.row->isEditing());

    // A new edit starts from the stored text again.
    h.doubleClickText();
    QCOMPARE(h.editField()->text(), QStringLiteral("Pagar luz!"));
}

void TaskRowTest::rowKeepsWorkingWhileEditing()
{
    RowHarness h(makeTask("Pagar luz"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy doneSpy(h.row, &TaskRow::doneToggled);
    QSignalSpy deleteSpy(h.row, &TaskRow::deleteRequested);
    QSignalSpy editSpy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    QTRY_VERIFY(h.editField()->hasFocus());
    QTest::keyClicks(h.editField(), " hoy");

    // The mark takes no focus, so the edit stays open while the task is marked done.
    QTest::mouseClick(h.doneMark(), Qt::LeftButton);
    QCOMPARE(doneSpy.count(), 1);
    QVERIFY(h.task.isDone);
    QVERIFY(h.row->isEditing());
    QCOMPARE(h.editField()->text(), QStringLiteral("Pagar luz hoy"));
    QVERIFY(h.editField()->hasFocus());

    h.hover();
    QVERIFY(h.deleteButton()->isVisible());
    QTest::mouseClick(h.deleteButton(), Qt::LeftButton);
    QCOMPARE(deleteSpy.count(), 1);
    QVERIFY(h.row->isEditing());

    QPointer<QMenu> menu = h.openContextMenu();
    QVERIFY(menu);
    menu->actions().constFirst()->trigger();
    menu->close();
    QVERIFY(h.task.isPriority);
    QVERIFY(h.row->isEditing());
    QCOMPARE(editSpy.count(), 0);
}

void TaskRowTest::destroyingEditingRowRequestsNothing()
{
    RowHarness h(makeTask("Pagar luz"));
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy spy(h.row, &TaskRow::textEdited);

    h.doubleClickText();
    QTRY_VERIFY(h.editField()->hasFocus());
    QTest::keyClicks(h.editField(), " y gas");
    delete h.row;
    h.row = nullptr;
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
}

void TaskRowTest::wrappingGrowsRowAndKeepsButtonsAtTop()
{
    RowHarness shortRow(makeTask("Corta"));
    RowHarness longRow(makeTask(
        "Una tarea con un texto bastante largo que no cabe en una sola línea de la lista "
        "y tiene que seguir en varias líneas más"));
    QVERIFY(QTest::qWaitForWindowExposed(&longRow.window));
    QCOMPARE(longRow.row->width(), 320);

    const int oneLine = shortRow.row->heightForWidth(320);
    const int wrapped = longRow.row->heightForWidth(320);
    QVERIFY2(wrapped >= oneLine + 2 * 15,
             qPrintable(QStringLiteral("%1 vs %2").arg(wrapped).arg(oneLine)));
    QCOMPARE(longRow.row->height(), wrapped);
    // Narrower means more lines.
    QVERIFY(longRow.row->heightForWidth(200) > wrapped);

    longRow.hover();
    shortRow.hover();
    QCOMPARE(longRow.doneMark()->y(), shortRow.doneMark()->y());
    QCOMPARE(longRow.deleteButton()->y(), shortRow.deleteButton()->y());
    QCOMPARE(longRow.doneMark()->y(), 9 + 1);
    QCOMPARE(longRow.deleteButton()->y(), 9 + 2);
}

void TaskRowTest::chipsWrapInsteadOfClipping()
{
    RowHarness oneTag(makeTask("Plan #viaje"));
    RowHarness manyTags(makeTask("Plan #viaje #familia #presupuesto #reservas #equipaje "
                                 "#documentos #vacunas #seguro"));
    // Wide enough for one line of chips with one tag, not with eight.
    QVERIFY(manyTags.row->heightForWidth(320) > oneTag.row->heightForWidth(320));
    QCOMPARE(oneTag.row->heightForWidth(320), oneTag.row->heightForWidth(2000));
    QCOMPARE(manyTags.row->heightForWidth(2000), oneTag.row->heightForWidth(2000));
}

QTEST_MAIN(TaskRowTest)
#include "tst_taskrow.moc"
