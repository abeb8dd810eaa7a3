#include "platform/Preferences.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

QString octal(mode_t mode)
{
    return QString::number(mode, 8);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileFollowsTheEnvironment();
    void absentValues();
    void tasksDocumentRoundTrip_data();
    void tasksDocumentRoundTrip();
    void handEditedTasksValue();
    void timerMinutes_data();
    void timerMinutes();
    void privateModes_data();
    void privateModes();
    void missingConfigHomeIsMadePrivate();
    void ownerBitsOfAReadOnlyFolderStay();
    void failedWriteIsCarriedByTheNextOne();
    void unreadableCopies();
    void unreadableCopyFailsWithoutAFolder();

private:
    QString folder() const { return m_home->path() + u"/lorvane"_qs; }
    QString file() const { return folder() + u"/lorvane.conf"_qs; }

    std::unique_ptr<QTemporaryDir> m_home;
};

void PreferencesTest::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->path()));
}

void PreferencesTest::cleanup()
{
    QFile::remove(folder());
    ::chmod(QFile::encodeName(folder()).constData(), 0700);
    m_home.reset();
}

void PreferencesTest::fileFollowsTheEnvironment()
{
    Preferences first;
    QCOMPARE(first.filePath(), file());
    QVERIFY(first.setTasksDocument("[]"));

    QTemporaryDir otherHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(otherHome.path()));
    Preferences second;
    QCOMPARE(second.filePath(), otherHome.path() + u"/lorvane/lorvane.conf"_qs);
    QCOMPARE(second.tasksDocument(), std::nullopt);
    QCOMPARE(first.tasksDocument(), std::optional<QByteArray>("[]"));
}

void PreferencesTest::absentValues()
{
    Preferences preferences;
    QCOMPARE(preferences.tasksDocument(), std::nullopt);
    QCOMPARE(preferences.timerMinutes(), 30);
    QCOMPARE(preferences.storedTimerMinutes(), 0);
    // Reading creates nothing on disk.
    QVERIFY(!QFileInfo::exists(folder()));
}

void PreferencesTest::tasksDocumentRoundTrip_data()
{
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("JSON with accents") << QByteArray(R"([{"text":"añadir café #niño"}])");
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.append(char(b));
    QTest::newRow("every byte value") << everyByte;
    QTest::newRow("empty bytes") << QByteArray("");
    QTest::newRow("INI syntax inside") << QByteArray("x\n[General]\nlorvane.tasks=1\\\n;#=\"");
}

void PreferencesTest::tasksDocumentRoundTrip()
{
    QFETCH(QByteArray, document);

    Preferences preferences;
    QVERIFY(preferences.setTasksDocument(document));
    QCOMPARE(preferences.tasksDocument(), std::optional<QByteArray>(document));
    QCOMPARE(Preferences().tasksDocument(), std::optional<QByteArray>(document));

    // Any reader of the file finds the bytes under the plain key.
    const QByteArray onDisk = readFile(file());
    QVERIFY(onDisk.contains("\nlorvane.tasks="));
    QSettings reader(file(), QSettings::IniFormat);
    QCOMPARE(reader.value(u"lorvane.tasks"_qs).toByteArray(), document);
}

void PreferencesTest::handEditedTasksValue()
{
    QVERIFY(QDir().mkpath(folder()));
    QVERIFY(writeFile(file(), "[General]\nlorvane.tasks=\"tareas a mano\"\n"));
    QCOMPARE(Preferences().tasksDocument(), std::optional<QByteArray>("tareas a mano"));
}

void PreferencesTest::timerMinutes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("stored");

    QTest::newRow("absent") << QByteArray() << 30 << 0;
    QTest::newRow("forty-five") << QByteArray("lorvane.timerMinutes=45") << 45 << 45;
    QTest::newRow("zero") << QByteArray("lorvane.timerMinutes=0") << 0 << 0;
    QTest::newRow("negative") << QByteArray("lorvane.timerMinutes=-5") << -5 << -5;
    QTest::newRow("not a number") << QByteArray("lorvane.timerMinutes=pronto") << 30 << 0;
    QTest::newRow("a list") << QByteArray("lorvane.timerMinutes=5, 10") << 30 << 0;
}

void PreferencesTest::timerMinutes()
{
    QFETCH(QByteArray, line);
    QFETCH(int, minutes);
    QFETCH(int, stored);

    QVERIFY(QDir().mkpath(folder()));
    QVERIFY(writeFile(file(), "[General]\n" + line + "\n"));
    Preferences preferences;
    QCOMPARE(preferences.timerMinutes(), minutes);
    QCOMPARE(preferences.storedTimerMinutes(), stored);

    QVERIFY(preferences.setTimerMinutes(25));
    QCOMPARE(preferences.timerMinutes(), 25);
    QCOMPARE(Preferences().storedTimerMinutes(), 25);
    QVERIFY(readFile(file()).contains("\nlorvane.timerMinutes=25\n"));
}

void PreferencesTest::privateModes_data()
{
    QTest::addColumn<bool>("looseBefore");
    QTest::addColumn<bool>("writeTasks");

    QTest::newRow("first write of the tasks") << false << true;
    QTest::newRow("first write of the interval") << false << false;
    QTest::newRow("loose folder and file from before") << true << true;
}

void PreferencesTest::privateModes()
{
    QFETCH(bool, looseBefore);
    QFETCH(bool, writeTasks);

    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    if (looseBefore) {
        QVERIFY(QDir().mkpath(folder()));
        QVERIFY(writeFile(file(), "[General]\nlorvane.timerMinutes=10\n"));
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0777) == 0);
        QVERIFY(::chmod(QFile::encodeName(file()).constData(), 0666) == 0);
    }

    Preferences preferences;
    for (int i = 0; i < 2; ++i)
        QVERIFY(writeTasks ? preferences.setTasksDocument("[]") : preferences.setTimerMinutes(5));

    QCOMPARE(octal(modeOf(folder())), u"700"_qs);
    QCOMPARE(octal(modeOf(file())), u"600"_qs);
    // No lock or temporary file is left beside it.
    QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{u"lorvane.conf"_qs});
}

void PreferencesTest::missingConfigHomeIsMadePrivate()
{
    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    const QString home = m_home->path() + u"/new/config"_qs;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    QVERIFY(Preferences().setTimerMinutes(5));
    for (const QString &created : {m_home->path() + u"/new"_qs, home, home + u"/lorvane"_qs})
        QCOMPARE(created + u' ' + octal(modeOf(created)), created + u" 700"_qs);
    QCOMPARE(octal(modeOf(home + u"/lorvane/lorvane.conf"_qs)), u"600"_qs);
}

void PreferencesTest::ownerBitsOfAReadOnlyFolderStay()
{
    {
        Preferences preferences;
        QVERIFY(preferences.setTimerMinutes(5));
    }
    QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0555) == 0);
    Preferences preferences;
    preferences.setTimerMinutes(10);
    QCOMPARE(octal(modeOf(folder())), u"500"_qs);
}

void PreferencesTest::failedWriteIsCarriedByTheNextOne()
{
    Preferences preferences;
    QVERIFY(preferences.setTasksDocument("first-document"));
    QVERIFY(preferences.setTimerMinutes(10));

    // A plain file where the folder belongs makes every write fail, also for root.
    const QString moved = folder() + u".moved"_qs;
    QVERIFY(QDir().rename(folder(), moved));
    QVERIFY(writeFile(folder(), "in the way"));
    QVERIFY(!preferences.setTasksDocument("second-document"));
    QVERIFY(QFile::remove(folder()));
    QVERIFY(QDir().rename(moved, folder()));
    QVERIFY(readFile(file()).contains("first-document"));

    // The next write, of the other key, puts the pending document on disk as well.
    QVERIFY(preferences.setTimerMinutes(20));
    const QByteArray onDisk = readFile(file());
    QVERIFY(onDisk.contains("@ByteArray(second-document)"));
    QVERIFY(onDisk.contains("lorvane.timerMinutes=20"));
    QCOMPARE(octal(modeOf(file())), u"600"_qs);
}

void PreferencesTest::unreadableCopies()
{
    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    Preferences preferences;
    QVERIFY(preferences.setTasksDocument("[{bad"));

    // Files that already carry the names of the next few seconds are never touched.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QStringList earlier;
    for (int second = 0; second < 3; ++second) {
        const QString name = u"unreadable-tasks-"_qs
            + now.addSecs(second).toString(u"yyyyMMdd'T'HHmmss'Z'"_qs) + u".json"_qs;
        QVERIFY(writeFile(folder() + u'/' + name, "earlier"));
        earlier.append(name);
    }

    const QByteArray document("[{\"text\":\"a\0b\xff\"", 15);
    const QString first = preferences.keepUnreadableTasksDocument(document);
    const QString second = preferences.keepUnreadableTasksDocument(document);
    QVERIFY(!first.isEmpty());
    QVERIFY(!second.isEmpty());
    QVERIFY(first != second);

    const QRegularExpression name(uR"(^unreadable-tasks-\d{8}T\d{6}Z(-\d+)?\.json$)"_qs);
    for (const QString &copy : {first, second}) {
        QCOMPARE(QFileInfo(copy).absolutePath(), folder());
        QVERIFY2(name.match(QFileInfo(copy).fileName()).hasMatch(), qPrintable(copy));
        QCOMPARE(readFile(copy), document);
        QCOMPARE(octal(modeOf(copy)), u"600"_qs);
    }
    for (const QString &old : earlier)
        QCOMPARE(readFile(folder() + u'/' + old), QByteArray("earlier"));
}

void PreferencesTest::unreadableCopyFailsWithoutAFolder()
{
    QVERIFY(writeFile(folder(), "in the way"));
    QString reason;
    QCOMPARE(Preferences().keepUnreadableTasksDocument("x", &reason), QString());
    QVERIFY(!reason.isEmpty());
    QCOMPARE(readFile(folder()), QByteArray("in the way"));
}

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
