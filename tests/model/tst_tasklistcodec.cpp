// The stored form of the task list: compact JSON, members in a fixed order, the id in upper
// case, strings escaped as Qt escapes them. Decoding accepts what that form allows (any
// member order, absent or null optional members, unknown members) and refuses the whole
// document for any fault in it. Hostile inputs (deep nesting, invalid UTF-8, wrong types,
// huge documents) are covered through the whole load path in tst_hostiledocuments.
#include "model/TaskListCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

const QByteArray someId = "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B";

// One stored record with the given members after its id.
QByteArray record(const QByteArray &members, const QByteArray &id = someId)
{
    return R"({"id":")" + id + R"(",)" + members + "}";
}

QByteArray list(const QByteArray &records)
{
    return "[" + records + "]";
}

TaskItem taskWithId(const QString &text, const QByteArray &id = someId)
{
    TaskItem task(text);
    task.id = QUuid::fromString(QLatin1String(id));
    return task;
}

} // namespace

class TaskListCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void newRecord();
    void encodesTheNormalForm();
    void escapesStringsAsQtDoes_data();
    void escapesStringsAsQtDoes();
    void unpairedSurrogatesAreWrittenAsReplacements();
    void accepts_data();
    void accepts();
    void refuses_data();
    void refuses();
};

void TaskListCodecTest::newRecord()
{
    // The text exactly as given, its tags as first spelled, a fresh random id.
    const TaskItem task(u"  leche #Compra y #compra #casa "_qs);
    QCOMPARE(task.text, u"  leche #Compra y #compra #casa "_qs);
    QVERIFY(!task.isDone && !task.isPriority);
    QCOMPARE(task.tags, QStringList({u"Compra"_qs, u"casa"_qs}));
    QCOMPARE(task.id.version(), QUuid::Random);
}

void TaskListCodecTest::encodesTheNormalForm()
{
    TaskItem first = taskWithId(u"pan #casa"_qs, "{5f1c2b9a-3d4e-4f60-8a7b-9c0d1e2f3a4b}");
    first.isDone = true;
    TaskItem second = taskWithId(u"llamar"_qs, "{00000000-0000-4000-8000-00000000000a}");
    second.isPriority = true;

    const QByteArray expected =
        R"([{"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan #casa","isDone":true,)"
        R"("isPriority":false,"tags":["casa"]},)"
        R"({"id":"00000000-0000-4000-8000-00000000000A","text":"llamar","isDone":false,)"
        R"("isPriority":true,"tags":[]}])";
    QCOMPARE(TaskListCodec::encode({first, second}), expected);
}

// Text and tags come out byte for byte as QJsonDocument writes the same string, and decode
// back to it.
void TaskListCodecTest::escapesStringsAsQtDoes_data()
{
    QTest::addColumn<QString>("text");

    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls.append(QChar(c));
    QTest::newRow("every control character") << controls + u"\u007F"_qs;
    QTest::newRow("quotes, backslashes, slash, non-ASCII")
        << uR"(dijo "hola" \ C:\temp\ \" 1/2 </script> añadir)"_qs + u"\u2028\U0001F600"_qs;
}

void TaskListCodecTest::escapesStringsAsQtDoes()
{
    QFETCH(QString, text);

    TaskItem task = taskWithId(text);
    task.tags = {text};
    const QByteArray document = TaskListCodec::encode({task});

    const QByteArray qtArray = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    const QByteArray qtString = qtArray.mid(1, qtArray.size() - 2);
    QVERIFY(document.contains(R"("text":)" + qtString + R"(,"isDone")"));
    QVERIFY(document.contains(R"("tags":[)" + qtString + "]}]"));

    const std::optional<QList<TaskItem>> decoded = TaskListCodec::decode(document);
    QVERIFY(decoded);
    QCOMPARE(decoded->value(0, task).text, text);
    QCOMPARE(decoded->value(0, task).tags, QStringList{text});
}

void TaskListCodecTest::unpairedSurrogatesAreWrittenAsReplacements()
{
    // The halves of one character split over two strings must not join up in the output.
    TaskItem task = taskWithId(u"a"_qs + QChar(0xD83D));
    task.tags = {QChar(0xDE00) + u"b"_qs, u"\\"_qs + QChar(0xDC00)};
    const std::optional<QList<TaskItem>> decoded =
        TaskListCodec::decode(TaskListCodec::encode({task}));
    QVERIFY(decoded);
    QCOMPARE(decoded->value(0, task).text, u"a\uFFFD"_qs);
    QCOMPARE(decoded->value(0, task).tags, QStringList({u"\uFFFDb"_qs, u"\\\uFFFD"_qs}));
}

// Accepted documents, compared through the normal form they encode to.
void TaskListCodecTest::accepts_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("normalForm");

    const QByteArray text = R"("text":"pan #Casa #casa","isDone":false)";
    const QByteArray normal = list(record(text + R"(,"isPriority":false,"tags":["Casa"])"));
    const auto normalWith = [&](const QByteArray &from, const QByteArray &to) {
        return QByteArray(normal).replace(from, to);
    };

    QTest::newRow("whitespace around an empty array") << QByteArray(" \n[ ]\t") << QByteArray("[]");
    QTest::newRow("normal form") << normal << normal;
    QTest::newRow("only the required members: tags taken from the text")
        << list(record(text)) << normal;
    QTest::newRow("priority and tags null")
        << list(record(text + R"(,"isPriority":null,"tags":null)")) << normal;
    QTest::newRow("priority set, empty tags stay empty")
        << list(record(text + R"(,"isPriority":true,"tags":[])"))
        << normalWith(R"(false,"tags":["Casa"])", R"(true,"tags":[])");
    QTest::newRow("tags kept exactly as stored")
        << list(record(text + R"(,"tags":["CASA","x","x",""])"))
        << normalWith(R"(["Casa"])", R"(["CASA","x","x",""])");
    QTest::newRow("members in another order")
        << list(R"({"tags":["Casa"],)" + text + R"(,"id":")" + someId + "\"}") << normal;
    QTest::newRow("unknown members and names in another case ignored")
        << list(record(text + R"(,"color":{"r":[1,2.5e3,null]},"ISPRIORITY":true,"Tags":[])"))
        << normal;
    QTest::newRow("nil id") << list(record(text, "00000000-0000-0000-0000-000000000000"))
                            << normalWith(someId, "00000000-0000-0000-0000-000000000000");
    QTest::newRow("escapes in the text")
        << list(record(R"("text":"\u0041\n\u00e9\ud83d\ude00\/\"","isDone":false)"))
        << list(record("\"text\":\"A\\n\xc3\xa9\xf0\x9f\x98\x80/\\\"\",\"isDone\":false,"
                       R"("isPriority":false,"tags":[])"));
    QTest::newRow("two records keep their order, lower-case id")
        << list(record(R"("text":"b","isDone":true)") + "," +
                record(R"("text":"a","isDone":false)", someId.toLower()))
        << list(record(R"("text":"b","isDone":true,"isPriority":false,"tags":[])") + "," +
                record(R"("text":"a","isDone":false,"isPriority":false,"tags":[])"));
}

void TaskListCodecTest::accepts()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, normalForm);

    const std::optional<QList<TaskItem>> tasks = TaskListCodec::decode(document);
    QVERIFY(tasks);
    QCOMPARE(TaskListCodec::encode(*tasks), normalForm);
}

void TaskListCodecTest::refuses_data()
{
    QTest::addColumn<QByteArray>("document");

    const QByteArray fine = R"("text":"t","isDone":false)";
    const auto with = [&](const QByteArray &more) { return list(record(fine + "," + more)); };
    const auto textOf = [](const QByteArray &text) {
        return list(record(R"("text":")" + text + R"(","isDone":false)"));
    };

    QTest::newRow("truncated") << list(record(fine)).chopped(2);
    QTest::newRow("top level an object") << record(fine);
    QTest::newRow("missing id") << list(R"({"text":"t","isDone":false})");
    QTest::newRow("missing text") << list(record(R"("isDone":false)"));
    QTest::newRow("missing done flag") << list(record(R"("text":"t")"));
    QTest::newRow("string for the priority flag") << with(R"("isPriority":"true")");
    QTest::newRow("tags a string") << with(R"("tags":"casa")");
    QTest::newRow("null inside tags") << with(R"("tags":["a",null])");
    QTest::newRow("id in braces") << list(record(fine, "{" + someId + "}"));
    QTest::newRow("id with hyphens moved")
        << list(record(fine, "5F1C2B9A3-D4E-4F60-8A7B-9C0D1E2F3A4B"));
    QTest::newRow("id with a letter past F") << list(record(fine, someId.chopped(1) + "G"));
    QTest::newRow("one bad record after good ones")
        << list(record(fine) + "," + record(fine) + "," + record(R"("text":"t")"));
    QTest::newRow("raw tab inside a string") << textOf("a\tb");
    QTest::newRow("unknown escape") << textOf(R"(\x41)");
    QTest::newRow("unpaired high surrogate escape") << textOf(R"(\ud83d)");
    QTest::newRow("unpaired low surrogate escape") << textOf(R"(\ude00x)");
    QTest::newRow("number without fraction digits") << with(R"("x":1.)");
    QTest::newRow("number without integer digits") << with(R"("x":.5)");
}

void TaskListCodecTest::refuses()
{
    QFETCH(QByteArray, document);
    QVERIFY(!TaskListCodec::decode(document).has_value());
}

QTEST_GUILESS_MAIN(TaskListCodecTest)
#include "tst_tasklistcodec.moc"
