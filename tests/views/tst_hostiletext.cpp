// Hostile task texts (very long, right-to-left, emoji and combining marks around "#", control
// characters, line breaks) come back character for character through paste, store, file,
// restart and an edit in place, and are shown without their tags (then named with them).
#include "model/Tags.h"
#include "model/TaskStore.h"
#include "preferences/Preferences.h"
#include "toolkit/Motion.h"
#include "views/ContentView.h"
#include "views/InputArea.h"
#include "views/TaskListSection.h"
#include "views/TaskRow.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class HostileTextTest : public QObject
{
    Q_OBJECT

    // The single task holds exactly this text in the store, after a restart and on its row.
    static void checkKeptEverywhere(ContentView &view, const QString &expected)
    {
        QCOMPARE(view.store().tasks().size(), 1);
        const TaskItem task = view.store().tasks().first();
        Preferences restarted;
        QVERIFY(task.text == expected && TaskStore(restarted).tasks().first().text == expected);
        QCOMPARE(task.tags, extractTags(expected));
        QCOMPARE(QAccessible::queryAccessibleInterface(view.listSection()->rows().first())
                     ->text(QAccessible::Name),
                 (QStringList{displayText(expected, task.tags)} + task.tags).join(", "));
    }

private slots:
    void roundTripsExactly_data()
    {
        // Each begins and ends with a visible character, so trimming leaves it as it is.
        QTest::addColumn<QString>("text");
        const QString unit = QStringLiteral("palabra #etiqueta ñandú #Ñandú ");
        QTest::newRow("100,000 characters") << unit.repeated(100000 / unit.size()) + "x";
        QTest::newRow("Arabic with a tag and marks") << u"اشترِ الخبز #تسوق\u200F والحليب"_qs;
        QTest::newRow("bidi overrides") << u"a\u202Eb #tag\u202C c \u2067x\u2069"_qs;
        QTest::newRow("emoji around #") << u"😀#tag👍 #👍 #ok😀 👩\u200D👩\u200D👧#familia"_qs;
        QTest::newRow("marks and joiners around #")
            << u"e\u0301#cafe\u0301 #\u0301x a\u200B#b\u200Cc"_qs;
        QTest::newRow("control characters and NUL")
            << u"a\u0001\u001B[31m\u007F #x\u0085y \u2028z"_qs + QChar(0) + "w";
        QTest::newRow("pasted line breaks") << u"uno\ndos\r\ntres #a\rcuatro"_qs;
        QTest::newRow("JSON and INI syntax")
            << u"x\"]},{\"id\":\"0\" \\u0000 \\\\ ; = @ByteArray(y) #a"_qs;
    }
    void roundTripsExactly()
    {
        QFETCH(QString, text);
        Motion::setAnimationsEnabled(false);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        Preferences preferences;
        ContentView view(preferences);
        view.resize(320, 720);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QLineEdit *field = view.inputArea()->field();
        field->setFocus();
        QApplication::clipboard()->setText(text);
        QTest::keySequence(field, QKeySequence::Paste);
        QTest::keyClick(field, Qt::Key_Return);
        checkKeptEverywhere(view, text);
        view.grab(); // drawn without harm
        // An edit committed unchanged keeps the text.
        TaskRow *row = view.listSection()->rows().first();
        QTest::mouseDClick(row, Qt::LeftButton, {}, QPoint(60, 15));
        QVERIFY(row->isEditing());
        QTest::keyClick(row->findChild<QLineEdit *>(), Qt::Key_Return);
        checkKeptEverywhere(view, text);
    }
};

QTEST_MAIN(HostileTextTest)
#include "tst_hostiletext.moc"
