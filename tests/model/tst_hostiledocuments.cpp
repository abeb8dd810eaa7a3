// Hand-made hostile stored lists through the whole start-up path: written to the preferences
// file, then loaded by a new task store. Whatever the document, nothing crashes, and either
// the list loads and the file already holds its normal form, or the list starts empty and
// the exact bytes sit in a backup beside the preferences.
#include "model/TaskListCodec.h"
#include "model/TaskStore.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray someId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";

QByteArray record(const QByteArray &members)
{
    return R"({"id":")" + someId + R"(",)" + members + "}";
}

QByteArray uuidNumber(int n)
{
    return QByteArray::number(n, 16).rightJustified(12, '0').toUpper();
}

QByteArray manyRecords(int count)
{
    QByteArray document = "[";
    for (int i = 0; i < count; ++i) {
        if (i)
            document += ',';
        document += R"({"id":"00000000-0000-4000-8000-)" + uuidNumber(i) + R"(","text":"tarea )"
            + QByteArray::number(i) + R"( #lote","isDone":)" + (i % 3 ? "false" : "true") + "}";
    }
    return document + "]";
}

QByteArray textOfSize(qsizetype bytes)
{
    // Words, tags and spaces, so extraction and display text have real work to do.
    const QByteArray unit = "palabra #etiqueta ";
    QByteArray text;
    text.reserve(bytes);
    while (text.size() + unit.size() <= bytes)
        text += unit;
    return text;
}

QStringList backupsIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("unreadable-tasks-*.json")}, QDir::Files);
}

} // namespace

class HostileDocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadsOrBacksUp_data();
    void loadsOrBacksUp();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void HostileDocumentsTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void HostileDocumentsTest::cleanup()
{
    m_home.reset();
}

void HostileDocumentsTest::loadsOrBacksUp_data()
{
    QTest::addColumn<QByteArray>("document");
    // The number of tasks loaded, or -1 when the document must be refused.
    QTest::addColumn<int>("loaded");

    const QByteArray fine = R"("text":"t","isDone":false)";

    QTest::newRow("arrays nested 100,000 deep")
        << QByteArray(100000, '[') + QByteArray(100000, ']') << -1;
    QTest::newRow("objects nested 100,000 deep in a record")
        << "[" + record(fine + R"(,"x":)" + QByteArray(100000, '[')
                        + QByteArray(100000, ']'))
            + "]"
        << -1;
    QTest::newRow("tags nested instead of strings")
        << "[" + record(fine + R"(,"tags":[[["a"]]])") + "]" << -1;
    QTest::newRow("text of 50 MB")
        << "[" + record(R"("text":")" + textOfSize(50 * 1024 * 1024) + R"(","isDone":false)")
            + "]"
        << 1;
    QTest::newRow("100,000 records") << manyRecords(100000) << 100000;
    QTest::newRow("100,000 tags on one record")
        << "[" + record(fine + R"(,"tags":[)" + QByteArray(R"("a",)").repeated(99999)
                        + R"("a"])")
            + "]"
        << 1;
    QTest::newRow("invalid UTF-8 in the text")
        << "[" + record(R"("text":"caf)" + QByteArray("\xc3\x28\xff") + R"(","isDone":false)")
            + "]"
        << -1;
    QTest::newRow("encoded surrogate half in UTF-8")
        << "[" + record(R"("text":")" + QByteArray("\xed\xa0\x80") + R"(","isDone":false)")
            + "]"
        << -1;
    QTest::newRow("raw NUL byte inside the text")
        << "[" + record(R"("text":"a)" + QByteArray(1, '\0') + R"(b","isDone":false)") + "]"
        << -1;
    QTest::newRow("NUL byte after the array") << QByteArray("[]") + QByteArray(1, '\0') << -1;
    QTest::newRow("escaped NUL inside the text")
        << "[" + record(R"("text":"a\u0000b #c","isDone":false)") + "]" << 1;
    QTest::newRow("number where the done flag belongs")
        << "[" + record(R"("text":"t","isDone":1)") + "]" << -1;
    QTest::newRow("number where the priority flag belongs")
        << "[" + record(fine + R"(,"isPriority":0)") + "]" << -1;
    QTest::newRow("string where the done flag belongs")
        << "[" + record(R"("text":"t","isDone":"false")") + "]" << -1;
    QTest::newRow("number where the tags belong")
        << "[" + record(fine + R"(,"tags":5)") + "]" << -1;
    QTest::newRow("number where the text belongs")
        << "[" + record(R"("text":5,"isDone":false)") + "]" << -1;
    QTest::newRow("huge number where the done flag belongs")
        << "[" + record(R"("text":"t","isDone":1e999)") + "]" << -1;
    QTest::newRow("duplicate text members")
        << "[" + record(R"("text":"uno","text":"dos","isDone":false)") + "]" << 1;
    QTest::newRow("duplicate id members, the first one bad")
        << R"([{"id":"nada","id":")" + someId + R"(","text":"t","isDone":false}])" << 1;
    QTest::newRow("duplicate done members of two types")
        << "[" + record(R"("text":"t","isDone":false,"isDone":1)") + "]" << -1;
    QTest::newRow("byte order mark before the array") << QByteArray("\xef\xbb\xbf[]") << -1;
    QTest::newRow("two documents in a row") << QByteArray("[][]") << -1;
}

void HostileDocumentsTest::loadsOrBacksUp()
{
    QFETCH(QByteArray, document);
    QFETCH(int, loaded);

    {
        Preferences writer;
        QVERIFY(writer.setTasksDocument(document));
    }

    Preferences preferences;
    const QString folder = QFileInfo(preferences.filePath()).absolutePath();

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<TaskStore> store = std::make_unique<TaskStore>(preferences);
    const qint64 loadMsec = clock.elapsed();

    const std::optional<QByteArray> stored = preferences.tasksDocument();
    QVERIFY(stored.has_value());
    const QStringList backups = backupsIn(folder);

    if (loaded < 0) {
        QVERIFY(store->tasks().isEmpty());
        QCOMPARE(stored->size(), document.size());
        QVERIFY(*stored == document);
        QCOMPARE(backups.size(), 1);
        QFile backup(folder + QLatin1Char('/') + backups.first());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(backup.readAll() == document);
        return;
    }

    QCOMPARE(store->tasks().size(), loaded);
    QVERIFY(backups.isEmpty());
    QVERIFY(*stored == TaskListCodec::encode(store->tasks()));

    // The loaded texts are exactly the stored ones: decoding what was stored gives them back.
    const std::optional<QList<TaskItem>> direct = TaskListCodec::decode(document);
    QVERIFY(direct.has_value());
    for (qsizetype i = 0; i < direct->size(); ++i) {
        QCOMPARE(store->tasks()[i].id, (*direct)[i].id);
        QVERIFY(store->tasks()[i].text == (*direct)[i].text);
    }

    // One change rewrites the whole document, and a new start reads the same list.
    TaskItem first = store->tasks().first();
    first.isDone = !first.isDone;
    clock.restart();
    QVERIFY(store->replaceTask(first));
    const qint64 saveMsec = clock.elapsed();
    QVERIFY(store->isSaved());
    const QByteArray expected = TaskListCodec::encode(store->tasks());
    store.reset();

    Preferences restarted;
    TaskStore reloaded(restarted);
    QCOMPARE(reloaded.tasks().size(), loaded);
    QVERIFY(TaskListCodec::encode(reloaded.tasks()) == expected);

    if (document.size() > 1024 * 1024)
        qInfo("%s: %.1f MB, load %lld ms, one change saved in %lld ms",
              QTest::currentDataTag(), document.size() / 1048576.0, loadMsec, saveMsec);
}

QTEST_GUILESS_MAIN(HostileDocumentsTest)
#include "tst_hostiledocuments.moc"
