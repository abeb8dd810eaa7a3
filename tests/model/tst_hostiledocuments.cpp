// Hostile stored lists through the whole start-up path: nothing crashes, and either the list
// loads and the file holds its normal form, or it starts empty with the exact bytes backed up.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

// A list of one record with a valid id and the given members.
QByteArray one(const QByteArray &members)
{
    return R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B",)" + members + "}]";
}

QByteArray manyRecords(int count)
{
    QByteArray document = "[";
    for (int i = 0; i < count; ++i) {
        document += QByteArray(i ? "," : "") + R"({"id":"00000000-0000-4000-8000-)" +
                    QByteArray::number(i, 16).rightJustified(12, '0').toUpper() +
                    R"(","text":"tarea )" + QByteArray::number(i) + R"( #lote","isDone":)" +
                    (i % 3 ? "false" : "true") + "}";
    }
    return document + "]";
}

} // namespace

class HostileDocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadsOrBacksUp_data();
    void loadsOrBacksUp();

private:
    std::optional<QTemporaryDir> m_home;
};

void HostileDocumentsTest::init()
{
    m_home.emplace();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void HostileDocumentsTest::loadsOrBacksUp_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("loaded"); // -1: refused and backed up
    const QByteArray fine = R"("text":"t","isDone":false)";
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const QByteArray big = QByteArray("palabra #etiqueta ").repeated(50 * 1024 * 1024 / 18);

    QTest::newRow("arrays nested 100,000 deep") << deep << -1;
    QTest::newRow("100,000 deep inside a record") << one(fine + R"(,"x":)" + deep) << -1;
    QTest::newRow("tags nested instead of strings") << one(fine + R"(,"tags":[[["a"]]])") << -1;
    QTest::newRow("text of 50 MB") << one(R"("text":")" + big + R"(","isDone":false)") << 1;
    QTest::newRow("100,000 records") << manyRecords(100000) << 100000;
    QTest::newRow("100,000 tags on one record")
        << one(fine + R"(,"tags":[)" + QByteArray(R"("a",)").repeated(99999) + R"("a"])") << 1;
    QTest::newRow("invalid UTF-8 in the text")
        << one(R"("text":"caf)" + QByteArray("\xc3\x28\xff") + R"(","isDone":false)") << -1;
    QTest::newRow("UTF-8 surrogate half")
        << one(R"("text":")" + QByteArray("\xed\xa0\x80") + R"(","isDone":false)") << -1;
    QTest::newRow("raw NUL in the text")
        << one(R"("text":"a)" + QByteArray(1, '\0') + R"(b","isDone":false)") << -1;
    QTest::newRow("NUL after the array") << QByteArray("[]") + QByteArray(1, '\0') << -1;
    QTest::newRow("escaped NUL in the text") << one(R"("text":"a\u0000b","isDone":false)") << 1;
    QTest::newRow("number as done flag") << one(R"("text":"t","isDone":1)") << -1;
    QTest::newRow("huge number as done flag") << one(R"("text":"t","isDone":1e999)") << -1;
    QTest::newRow("string as done flag") << one(R"("text":"t","isDone":"false")") << -1;
    QTest::newRow("number as priority flag") << one(fine + R"(,"isPriority":0)") << -1;
    QTest::newRow("number as tags") << one(fine + R"(,"tags":5)") << -1;
    QTest::newRow("number as text") << one(R"("text":5,"isDone":false)") << -1;
    QTest::newRow("duplicate text") << one(R"("text":"uno","text":"dos","isDone":false)") << 1;
    QTest::newRow("duplicate id, the first bad")
        << QByteArray(R"([{"id":"nada","id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B",)") + fine + "}]"
        << 1;
    QTest::newRow("duplicate done flag of two types")
        << one(R"("text":"t","isDone":false,"isDone":1)") << -1;
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[]") << -1;
    QTest::newRow("two documents in a row") << QByteArray("[][]") << -1;
}

void HostileDocumentsTest::loadsOrBacksUp()
{
    QFETCH(QByteArray, document);
    QFETCH(int, loaded);
    QVERIFY(Preferences().setTasksDocument(document));

    Preferences preferences;
    auto store = std::make_unique<TaskStore>(preferences);
    const QDir folder = QFileInfo(preferences.filePath()).absoluteDir();
    const QStringList backups =
        folder.entryList({QStringLiteral("unreadable-tasks-*.json")}, QDir::Files);
    const QByteArray stored = preferences.tasksDocument().value_or(QByteArray());

    if (loaded < 0) {
        QVERIFY(store->tasks().isEmpty());
        QVERIFY(stored == document);
        QCOMPARE(backups.size(), 1);
        QFile backup(folder.filePath(backups.first()));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(backup.readAll() == document);
        return;
    }

    QCOMPARE(store->tasks().size(), loaded);
    QCOMPARE(backups, QStringList());
    QVERIFY(stored == TaskListCodec::encode(store->tasks()));

    // One change rewrites the whole list, and a new start reads it back.
    TaskItem first = store->tasks().first();
    first.isDone = !first.isDone;
    QVERIFY(store->replaceTask(first));
    QVERIFY(store->isSaved());
    const QByteArray expected = TaskListCodec::encode(store->tasks());
    store.reset();
    Preferences restarted;
    QVERIFY(TaskListCodec::encode(TaskStore(restarted).tasks()) == expected);
}

QTEST_GUILESS_MAIN(HostileDocumentsTest)
#include "tst_hostiledocuments.moc"
