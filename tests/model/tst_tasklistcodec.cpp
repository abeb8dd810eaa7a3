#include "model/TaskListCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
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

TaskItem taskWithId(const QString &text, const char *id)
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
    void largeDocuments();
};

void TaskListCodecTest::newRecord()
{
    const TaskItem task(u"  leche #Compra y #compra #casa "_qs);
    QCOMPARE(task.text, u"  leche #Compra y #compra #casa "_qs);
    QCOMPARE(task.isDone, false);
    QCOMPARE(task.isPriority, false);
    QCOMPARE(task.tags, QStringList({u"Compra"_qs, u"casa"_qs}));
    QCOMPARE(task.id.version(), QUuid::Random);
    QCOMPARE(task.displayText(), u"leche y #compra"_qs);

    const TaskItem plain(u"pan"_qs);
    QVERIFY(plain.tags.isEmpty());

    QSet<QUuid> ids;
    for (int i = 0; i < 1000; ++i)
        ids.insert(TaskItem(u"x"_qs).id);
    QCOMPARE(ids.size(), 1000);
}

void TaskListCodecTest::encodesTheNormalForm()
{
    QCOMPARE(TaskListCodec::encode({}), QByteArray("[]"));

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

void TaskListCodecTest::escapesStringsAsQtDoes_data()
{
    QTest::addColumn<QString>("text");

    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls.append(QChar(c));
    QTest::newRow("every control character") << controls + u"\u007F"_qs;
    QTest::newRow("quotes and backslashes") << uR"(dijo "hola" \ C:\temp\ \")"_qs;
    QTest::newRow("slash") << u"1/2 </script>"_qs;
    QTest::newRow("accents and tilde") << u"añadir café #niño"_qs;
    QTest::newRow("line and paragraph separators") << u"a\u2028b\u2029c"_qs;
    QTest::newRow("outside the basic plane") << u"\U0001F600 \U0001D400"_qs;
}

void TaskListCodecTest::escapesStringsAsQtDoes()
{
    QFETCH(QString, text);

    TaskItem task = taskWithId(text, "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B");
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
    TaskItem task = taskWithId(u"a"_qs + QChar(0xD83D), "5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B");
    task.tags = {QChar(0xDE00) + u"b"_qs, u"\\"_qs + QChar(0xDC00)};
    const std::optional<QList<TaskItem>> decoded =
        TaskListCodec::decode(TaskListCodec::encode({task}));
    QVERIFY(decoded);
    QCOMPARE(decoded->value(0, task).text, u"a\uFFFD"_qs);
    QCOMPARE(decoded->value(0, task).tags, QStringList({u"\uFFFDb"_qs, u"\\\uFFFD"_qs}));
}

// Decoding accepted documents, compared through the normal form they encode to.
void TaskListCodecTest::accepts_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("normalForm");

    const QByteArray normal =
        R"({"id":"5F1C2B9A-3D4E-4F60-8A7B-9C0D1E2F3A4B","text":"pan #Casa #casa","isDone":false,)"
        R"("isPriority":false,"tags":["Casa"]})";
    const auto withTags = [&](const QByteArray &tags) {
        QByteArray result = normal;
        return result.replace(R"("tags":["Casa"])", R"("tags":)" + tags);
    };
    const auto withPriority = [&](const QByteArray &priority) {
        QByteArray result = normal;
        return result.replace(R"("isPriority":false)", R"("isPriority":)" + priority);
    };
    const QByteArray text = R"("text":"pan #Casa #casa")";

    QTest::newRow("empty array") << QByteArray("[]") << QByteArray("[]");
    QTest::newRow("whitespace around an empty array")
        << QByteArray(" \n[ ]\t") << QByteArray("[]");
    QTest::newRow("normal form") << list(normal) << list(normal);
    QTest::newRow("only the required members")
        << list(record(text + R"(,"isDone":false)")) << list(normal);
    QTest::newRow("priority and tags null")
        << list(record(text + R"(,"isDone":false,"isPriority":null,"tags":null)"))
        << list(normal);
    QTest::newRow("priority set") << list(record(text + R"(,"isDone":false,"isPriority":true)"))
                                  << list(withPriority("true"));
    QTest::newRow("empty tags stay empty")
        << list(record(text + R"(,"isDone":false,"tags":[])")) << list(withTags("[]"));
    QTest::newRow("tags kept exactly as stored")
        << list(record(text + R"(,"isDone":false,"tags":["CASA","x","x",""])"))
        << list(withTags(R"(["CASA","x","x",""])"));
    QTest::newRow("lower-case id") << list(record(text + R"(,"isDone":false)", someId.toLower()))
                                   << list(normal);
    QTest::newRow("members in another order")
        << list(R"({"tags":["Casa"],"isDone":false,)" + text + R"(,"id":")" + someId + "\"}")
        << list(normal);
    QTest::newRow("unknown members ignored and dropped")
        << list(record(text + R"(,"isDone":false,"color":{"r":[1,2.5e3,null]},"x":"y")"))
        << list(normal);
    QTest::newRow("member names in another case ignored")
        << list(record(text + R"(,"isDone":false,"ISPRIORITY":true,"Tags":["no"])"))
        << list(normal);
    QTest::newRow("duplicate member, the later counts")
        << list(record(R"("text":"otro","isDone":true,)" + text + R"(,"isDone":false)"))
        << list(normal);
    QTest::newRow("escapes in the text")
        << list(record(R"("text":"\u0041\n\u00e9\ud83d\ude00\/\"","isDone":false)"))
        << list(record(
               "\"text\":\"A\\n\xc3\xa9\xf0\x9f\x98\x80/\\\"\",\"isDone\":false,"
               R"("isPriority":false,"tags":[])"));
    QTest::newRow("escaped NUL in the text")
        << list(record(R"("text":"a\u0000b","isDone":false)"))
        << list(record(R"("text":"a\u0000b","isDone":false,"isPriority":false,"tags":[])"));
    QTest::newRow("nil id")
        << list(record(text + R"(,"isDone":false)", "00000000-0000-0000-0000-000000000000"))
        << list(normal).replace(someId, "00000000-0000-0000-0000-000000000000");
    QTest::newRow("two records keep their order")
        << list(record(R"("text":"b","isDone":true)") + ","
                + record(R"("text":"a","isDone":false)", someId.toLower()))
        << list(record(R"("text":"b","isDone":true,"isPriority":false,"tags":[])") + ","
                + record(R"("text":"a","isDone":false,"isPriority":false,"tags":[])"));
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

    const QByteArray done = R"("isDone":false)";
    const QByteArray text = R"("text":"t",)";
    const auto withId = [&](const QByteArray &id) {
        return list(R"({"id":)" + id + "," + text + done + "}");
    };

    QTest::newRow("empty input") << QByteArray();
    QTest::newRow("not JSON") << QByteArray("tareas");
    QTest::newRow("truncated") << list(record(text + done)).chopped(2);
    QTest::newRow("top level an object") << record(text + done);
    QTest::newRow("top level a string") << QByteArray(R"("[]")");
    QTest::newRow("top level null") << QByteArray("null");
    QTest::newRow("element a number") << QByteArray("[1]");
    QTest::newRow("element an array") << QByteArray("[[]]");
    QTest::newRow("element null") << QByteArray("[null]");
    QTest::newRow("arrays nested 100,000 deep")
        << QByteArray(100000, '[') + QByteArray(100000, ']');
    QTest::newRow("missing id") << list(R"({"text":"t","isDone":false})");
    QTest::newRow("missing text") << list(record(done));
    QTest::newRow("missing done flag") << list(record(R"("text":"t")"));
    QTest::newRow("done flag null") << list(record(text + R"("isDone":null)"));
    QTest::newRow("text null") << list(record(R"("text":null,)" + done));
    QTest::newRow("id null") << withId("null");
    QTest::newRow("done flag named in lower case only")
        << list(record(text + R"("isdone":false)"));
    QTest::newRow("number for the done flag") << list(record(text + R"("isDone":0)"));
    QTest::newRow("string for the done flag") << list(record(text + R"("isDone":"false")"));
    QTest::newRow("number for the priority flag")
        << list(record(text + done + R"(,"isPriority":1)"));
    QTest::newRow("string for the priority flag")
        << list(record(text + done + R"(,"isPriority":"true")"));
    QTest::newRow("number for the text") << list(record(R"("text":7,)" + done));
    QTest::newRow("tags a string") << list(record(text + done + R"(,"tags":"casa")"));
    QTest::newRow("tags an object") << list(record(text + done + R"(,"tags":{"0":"a"})"));
    QTest::newRow("number inside tags") << list(record(text + done + R"(,"tags":["a",1])"));
    QTest::newRow("null inside tags") << list(record(text + done + R"(,"tags":[null])"));
    QTest::newRow("array inside tags") << list(record(text + done + R"(,"tags":[["a"]])"));
    QTest::newRow("id a number") << withId("5");
    QTest::newRow("id in braces") << withId("\"{" + someId + "}\"");
    QTest::newRow("id without hyphens")
        << withId("\"" + QByteArray(someId).replace("-", "") + "\"");
    QTest::newRow("id with hyphens moved")
        << withId(R"("5F1C2B9A3-D4E-4F60-8A7B-9C0D1E2F3A4B")");
    QTest::newRow("id one digit short") << withId("\"" + someId.chopped(1) + "\"");
    QTest::newRow("id with a letter past F") << withId("\"" + someId.chopped(1) + "G\"");
    QTest::newRow("id as a URN") << withId("\"urn:uuid:" + someId + "\"");
    QTest::newRow("id with spaces") << withId("\" " + someId + "\"");
    QTest::newRow("one bad record after good ones")
        << list(record(text + done) + "," + record(text + done) + "," + record(text));
    QTest::newRow("later duplicate of the wrong type")
        << list(record(text + done + R"(,"isDone":1)"));
    QTest::newRow("invalid UTF-8") << list(record("\"text\":\"caf\xc3\x28\xff\"," + done));
    QTest::newRow("surrogate encoded in UTF-8")
        << list(record("\"text\":\"\xed\xa0\x80\"," + done));
    QTest::newRow("raw NUL inside a string")
        << list(record(QByteArray("\"text\":\"a\0b\",", 13) + done));
    QTest::newRow("NUL after the array") << QByteArray("[]\0", 3);
    QTest::newRow("raw line break inside a string") << list(record("\"text\":\"a\nb\"," + done));
    QTest::newRow("raw tab inside a string") << list(record("\"text\":\"a\tb\"," + done));
    QTest::newRow("unknown escape") << list(record(R"("text":"\x41",)" + done));
    QTest::newRow("unpaired high surrogate escape")
        << list(record(R"("text":"\ud83d",)" + done));
    QTest::newRow("unpaired low surrogate escape")
        << list(record(R"("text":"\ude00x",)" + done));
    QTest::newRow("surrogates in the wrong order")
        << list(record(R"("text":"\ude00\ud83d",)" + done));
    QTest::newRow("number without fraction digits")
        << list(record(text + done + R"(,"x":1.)"));
    QTest::newRow("number without integer digits")
        << list(record(text + done + R"(,"x":.5)"));
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[]");
    QTest::newRow("trailing comma") << QByteArray("[{},]");
    QTest::newRow("two documents") << QByteArray("[][]");
    QTest::newRow("comment after the array") << QByteArray("[] // tareas");
}

void TaskListCodecTest::refuses()
{
    QFETCH(QByteArray, document);
    QVERIFY(!TaskListCodec::decode(document).has_value());
}

void TaskListCodecTest::largeDocuments()
{
    QList<TaskItem> tasks;
    tasks.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        TaskItem task(u"tarea %1 #lote%2"_qs.arg(i).arg(i % 7));
        task.isDone = i % 3 == 0;
        tasks.append(task);
    }
    const QByteArray many = TaskListCodec::encode(tasks);
    const std::optional<QList<TaskItem>> decodedMany = TaskListCodec::decode(many);
    QVERIFY(decodedMany);
    QCOMPARE(decodedMany->size(), 100000);
    QCOMPARE(decodedMany->at(99999).id, tasks.at(99999).id);
    QCOMPARE(TaskListCodec::encode(*decodedMany), many);

    // One 50 MB text without a tag list: decoded whole, its tags extracted from it.
    QByteArray text = "#etiqueta ";
    text.reserve(50 * 1024 * 1024 + 64);
    const QByteArray words = "palabra y mas texto sin fin ";
    while (text.size() < 50 * 1024 * 1024)
        text += words;
    text += "#Etiqueta #otra";
    const std::optional<QList<TaskItem>> decodedLong =
        TaskListCodec::decode(list(record(R"("text":")" + text + R"(","isDone":false)")));
    QVERIFY(decodedLong);
    QCOMPARE(decodedLong->value(0, tasks.first()).text.size(), text.size());
    QCOMPARE(decodedLong->value(0, tasks.first()).tags,
             QStringList({u"etiqueta"_qs, u"otra"_qs}));
}

QTEST_GUILESS_MAIN(TaskListCodecTest)
#include "tst_tasklistcodec.moc"
