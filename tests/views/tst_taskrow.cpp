// One task row on its own: every request it makes (done mark, priority menu, delete button)
// carries its own task's id and is made once; the delete button fades with the hover and
// takes no clicks while it goes; an edit in place stores the trimmed text once, by Return or
// by leaving the field, never a blank text, and nothing when the row goes first.
#include "model/Tags.h"
#include "model/TaskItem.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "views/TaskRow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// One row at the list's width, and a second field that can take the focus away from the
// row's edit field. The row's requests are applied to `task` as the store would apply them,
// and the result is shown again.
struct RowHarness {
    explicit RowHarness(const QString &text, bool done = false, bool priority = false) : task(text)
    {
        task.isDone = done;
        task.isPriority = priority;
        window.resize(320, 200);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        row = new TaskRow(task, &window);
        otherField = new QLineEdit(&window);
        layout->addWidget(row);
        layout->addWidget(otherField);
        layout->addStretch();
        QObject::connect(row, &TaskRow::doneToggled, row, [this] {
            task.isDone = !task.isDone;
            row->setTask(task);
        });
        QObject::connect(row, &TaskRow::priorityToggled, row, [this] {
            task.isPriority = !task.isPriority;
            row->setTask(task);
        });
        QObject::connect(row, &TaskRow::textEdited, row, [this](const QUuid &, const QString &s) {
            task.text = s;
            task.tags = extractTags(s);
            row->setTask(task);
        });
        window.show();
        window.activateWindow();
    }

    PlainButton *doneMark() const { return row->findChild<PlainButton *>("doneMark"); }
    PlainButton *deleteButton() const { return row->findChild<PlainButton *>("deleteButton"); }
    QLineEdit *editField() const { return row->findChild<QLineEdit *>("editField"); }
    bool deleteShown() const { return deleteButton() && deleteButton()->isVisible(); }

    void hover(bool in = true)
    {
        const QPointF inside(row->width() / 2.0, row->height() / 2.0);
        QEnterEvent enter(inside, row->mapTo(&window, inside), row->mapToGlobal(inside));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(row, in ? static_cast<QEvent *>(&enter) : &leave);
    }
    // Inside the text line: right of the mark, on the first line.
    void doubleClickText() { QTest::mouseDClick(row, Qt::LeftButton, {}, QPoint(60, 15)); }

    TaskItem task;
    QWidget window;
    TaskRow *row = nullptr;
    QLineEdit *otherField = nullptr;
};

} // namespace

class TaskRowTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { Motion::setAnimationsEnabled(false); }

    void requestsCarryTheRowsId_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("done");
        QTest::addColumn<bool>("priority");
        QTest::addColumn<QString>("menuLabel");
        QTest::newRow("done mark, open task") << "mark" << false << false << "";
        QTest::newRow("done mark, done priority task") << "mark" << true << true << "";
        QTest::newRow("menu, plain task") << "menu" << false << false << "Marcar como prioritaria";
        QTest::newRow("menu, priority task") << "menu" << true << true << "Quitar prioridad";
        QTest::newRow("delete button") << "delete" << false << true << "";
    }
    void requestsCarryTheRowsId()
    {
        QFETCH(QString, control);
        QFETCH(bool, done);
        QFETCH(bool, priority);
        QFETCH(QString, menuLabel);
        RowHarness h("Llamar a Ana #casa", done, priority);
        QSignalSpy doneSpy(h.row, &TaskRow::doneToggled);
        QSignalSpy prioritySpy(h.row, &TaskRow::priorityToggled);
        QSignalSpy deleteSpy(h.row, &TaskRow::deleteRequested);

        QSignalSpy *expected = &deleteSpy;
        if (control == "mark") {
            expected = &doneSpy;
            QTest::mouseClick(h.doneMark(), Qt::LeftButton);
        } else if (control == "menu") {
            expected = &prioritySpy;
            const QPoint at(100, 10);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, h.row->mapToGlobal(at));
            QApplication::sendEvent(h.row, &event);
            QMenu *menu = h.row->findChild<QMenu *>();
            QCOMPARE(menu->actions().size(), 1);
            QCOMPARE(menu->actions().constFirst()->text(), menuLabel);
            menu->actions().constFirst()->trigger();
            menu->close();
        } else {
            h.hover();
            QTest::mouseClick(h.deleteButton(), Qt::LeftButton);
        }

        for (const QSignalSpy *spy : {&doneSpy, &prioritySpy, &deleteSpy})
            QCOMPARE(spy->count(), spy == expected ? 1 : 0);
        QCOMPARE(expected->at(0).at(0).value<QUuid>(), h.task.id);
        QCOMPARE(h.task.isDone, control == "mark" ? !done : done);
        QCOMPARE(h.task.isPriority, control == "menu" ? !priority : priority);
        QCOMPARE(h.doneMark()->symbol(),
                 h.task.isDone ? Symbol::CheckmarkCircleFill : Symbol::Circle);
    }

    // The delete row above shows the button at once, animations off; here it fades.
    void deleteButtonFadesWithTheHover()
    {
        Motion::setAnimationsEnabled(true);
        RowHarness h("Enviar factura");
        QVERIFY(!h.deleteShown());
        QVERIFY(QTest::qWaitForWindowExposed(&h.window));
        h.hover();
        QVERIFY(h.deleteShown());
        h.hover(false);
        // While it fades out it takes no clicks.
        QVERIFY(h.deleteButton()->testAttribute(Qt::WA_TransparentForMouseEvents));
        QTRY_VERIFY(!h.deleteShown());

        // Back in before a fade-out has ended: it ends shown, at full size, taking clicks.
        h.hover();
        h.hover(false);
        h.hover();
        QTRY_VERIFY(h.deleteButton()->graphicsEffect() == nullptr);
        QVERIFY(h.deleteShown());
        QVERIFY(!h.deleteButton()->testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    void commit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("stored"); // empty: nothing requested, the old text stays
        const QString same = QStringLiteral("Llamar al banco #finanzas");
        QTest::newRow("Return, spaces and tabs around") << "  \tComprar leche #casa \t"
                                                        << "Return"
                                                        << "Comprar leche #casa";
        QTest::newRow("Return, inner spaces kept") << "a   b"
                                                   << "Return"
                                                   << "a   b";
        QTest::newRow("Return, unchanged text written again") << same << "Return" << same;
        QTest::newRow("focus loss, tag case changed") << "Llamar al banco #Finanzas"
                                                      << "focus loss"
                                                      << "Llamar al banco #Finanzas";
        QTest::newRow("focus loss, tag removed") << "Llamar al banco"
                                                 << "focus loss"
                                                 << "Llamar al banco";
        QTest::newRow("Return, cleared") << ""
                                         << "Return"
                                         << "";
        QTest::newRow("Return, spaces and tabs only") << "  \t "
                                                      << "Return"
                                                      << "";
        QTest::newRow("focus loss, no-break space only") << QStringLiteral("\u00a0") << "focus loss"
                                                         << "";
        QTest::newRow("row destroyed first (its task is gone)") << "Llamar"
                                                                << "destroyed"
                                                                << "";
    }
    void commit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, end);
        QFETCH(QString, stored);
        const QString original = QStringLiteral("Llamar al banco #finanzas");
        RowHarness h(original, true, true);
        QVERIFY(QTest::qWaitForWindowActive(&h.window));
        const QUuid id = h.task.id;
        QSignalSpy spy(h.row, &TaskRow::textEdited);

        // A double click on the mark is two clicks on the mark, not an edit.
        QTest::mouseDClick(h.doneMark(), Qt::LeftButton);
        QVERIFY(!h.row->isEditing());
        QCOMPARE(h.row->displayText(), QStringLiteral("Llamar al banco"));
        h.doubleClickText();
        QTRY_VERIFY(h.editField()->hasFocus());
        QCOMPARE(h.editField()->text(), original); // the full text, tags included
        // Set rather than typed: a typed tab would move the focus on, which ends the edit.
        h.editField()->setText(typed);
        // Neither Escape, nor the field's own context menu taking the focus, nor a click on
        // the mark (which takes no focus) ends the edit.
        QTest::keyClick(h.editField(), Qt::Key_Escape);
        QFocusEvent popupFocusOut(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(h.editField(), &popupFocusOut);
        QTest::mouseClick(h.doneMark(), Qt::LeftButton);
        QVERIFY(!h.task.isDone);
        QVERIFY(h.row->isEditing());
        QVERIFY(h.editField()->hasFocus());

        if (end == "Return") {
            QTest::keyClick(h.editField(), Qt::Key_Return);
        } else if (end == "focus loss") {
            h.otherField->setFocus();
        } else {
            delete h.row;
            QCoreApplication::processEvents();
            QCOMPARE(spy.count(), 0);
            return;
        }
        // A second commit, and the focus loss after Return, find the edit already finished.
        h.row->commitEdit();
        h.otherField->setFocus();
        QCoreApplication::processEvents();

        QVERIFY(!h.row->isEditing());
        QVERIFY(!h.editField()->isVisible());
        QCOMPARE(spy.count(), stored.isEmpty() ? 0 : 1);
        if (!stored.isEmpty()) {
            QCOMPARE(spy.at(0).at(0).value<QUuid>(), id);
            QCOMPARE(spy.at(0).at(1).toString(), stored);
        }
        QCOMPARE(h.task.text, stored.isEmpty() ? original : stored);
        QVERIFY(h.task.isPriority);

        // The next edit starts from the stored text.
        h.doubleClickText();
        QCOMPARE(h.editField()->text(), h.task.text);
    }
};

QTEST_MAIN(TaskRowTest)
#include "tst_taskrow.moc"
