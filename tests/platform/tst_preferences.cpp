// The preferences file: any bytes of the task list kept exactly under the plain key, the
// reminder interval read leniently, a failed write carried by the next one, private folders
// made for a missing config home while a folder the user made read-only stays so. Modes
// under a permissive umask and full disks are covered in tst_filesafety.
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {

QString modeOf(const QString &path)
{
    struct stat info {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    return QString::number(info.st_mode & 07777, 8);
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

    void tasksDocumentRoundTrip_data();
    void tasksDocumentRoundTrip();
    void handEditedTasksValue();
    void timerMinutes_data();
    void timerMinutes();
    void missingConfigHomeIsMadePrivate();
    void ownerBitsOfAReadOnlyFolderStay();
    void failedWriteIsCarriedByTheNextOne();

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

void PreferencesTest::tasksDocumentRoundTrip_data()
{
    QTest::addColumn<QByteArray>("document");

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

    QVERIFY(Preferences().setTasksDocument(document));
    QCOMPARE(Preferences().tasksDocument(), std::optional<QByteArray>(document));

    // The file on disk holds them under the plain key. QSettings shares one parsed copy of a
    // file within a process, so the file is read under another name.
    QVERIFY(readFile(file()).contains("\nlorvane.tasks="));
    const QString copy = file() + u".copy"_qs;
    QVERIFY(QFile::copy(file(), copy));
    QCOMPARE(QSettings(copy, QSettings::IniFormat).value(u"lorvane.tasks"_qs).toByteArray(),
             document);
}

void PreferencesTest::handEditedTasksValue()
{
    // Not written as bytes, yet handed over, so the store can keep a copy instead of losing it.
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
    QTest::newRow("zero is a value") << QByteArray("lorvane.timerMinutes=0") << 0 << 0;
    QTest::newRow("not a number") << QByteArray("lorvane.timerMinutes=pronto") << 30 << 0;
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

void PreferencesTest::missingConfigHomeIsMadePrivate()
{
    const mode_t previousMask = ::umask(0);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });

    const QString home = m_home->path() + u"/new/config"_qs;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
    QVERIFY(Preferences().setTimerMinutes(5));
    for (const QString &created : {m_home->path() + u"/new"_qs, home, home + u"/lorvane"_qs})
        QCOMPARE(created + u' ' + modeOf(created), created + u" 700"_qs);
    QCOMPARE(modeOf(home + u"/lorvane/lorvane.conf"_qs), u"600"_qs);
}

void PreferencesTest::ownerBitsOfAReadOnlyFolderStay()
{
    QVERIFY(Preferences().setTimerMinutes(5));
    QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0555) == 0);
    Preferences().setTimerMinutes(10);
    QCOMPARE(modeOf(folder()), u"500"_qs);
}

void PreferencesTest::failedWriteIsCarriedByTheNextOne()
{
    Preferences preferences;
    QVERIFY(preferences.setTasksDocument("first-document"));

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
}

QTEST_GUILESS_MAIN(PreferencesTest)
#include "tst_preferences.moc"
