#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "toolkit/Motion.h"
#include "views/SettingsPanel.h"
#include "views/Stepper.h"
#include "views/StepperArrow.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSettingsPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstLaunchShowsDefault();
    void steps_data();
    void steps();
    void arrowsStepAndStopAtTheEnds();
    void keysStepTheFocusedStepper();
    void preferenceWrittenBeforeThePost();
    void showingAndHidingPostsNothing();
    void readsTheStoredValueWhenShown();
    void digitsKeepTheirWidth();

private:
    void store(const QVariant &minutes);
    int postedCount(const QSignalSpy &spy) const;

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<Preferences> m_preferences;
};

void TestSettingsPanel::initTestCase()
{
    Motion::setAnimationsEnabled(false);
}

void TestSettingsPanel::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    QVERIFY(m_config->isValid());
    qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
    m_preferences = std::make_unique<Preferences>();
}

void TestSettingsPanel::cleanup()
{
    m_preferences.reset();
    m_config.reset();
}

// Writes the stored interval as another program could, without the range the panel keeps.
void TestSettingsPanel::store(const QVariant &minutes)
{
    QSettings settings(m_preferences->filePath(), QSettings::NativeFormat);
    if (minutes.isValid())
        settings.setValue(QLatin1String(Preferences::timerMinutesKey), minutes);
    else
        settings.remove(QLatin1String(Preferences::timerMinutesKey));
    settings.sync();
}

int TestSettingsPanel::postedCount(const QSignalSpy &spy) const
{
    int count = 0;
    for (const QList<QVariant> &arguments : spy) {
        if (arguments.at(0).toString() == Notifications::timerIntervalChanged)
            ++count;
    }
    return count;
}

void TestSettingsPanel::firstLaunchShowsDefault()
{
    SettingsPanel panel(*m_preferences);
    panel.show();
    QCOMPARE(panel.stepper()->labelText(), QStringLiteral("30 min"));
    QCOMPARE(panel.stepper()->accessibleName(), QStringLiteral("Recordar cada 30 min"));
    QCOMPARE(panel.stepper()->upArrow()->accessibleName(), QStringLiteral("Aumentar intervalo"));
    QCOMPARE(panel.stepper()->downArrow()->accessibleName(),
             QStringLiteral("Reducir intervalo"));
}

void TestSettingsPanel::steps_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("steps"); // 'u' up, 'd' down
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("posts");

    QTest::newRow("up from the default") << QVariant() << "u" << 35 << 1;
    QTest::newRow("down from the default") << QVariant() << "d" << 25 << 1;
    QTest::newRow("three up") << QVariant() << "uuu" << 45 << 3;
    QTest::newRow("up then down") << QVariant(60) << "ud" << 60 << 2;
    QTest::newRow("up at the top") << QVariant(120) << "u" << 120 << 0;
    QTest::newRow("down at the bottom") << QVariant(5) << "d" << 5 << 0;
    QTest::newRow("down to the bottom and past it") << QVariant(10) << "ddd" << 5 << 1;
    QTest::newRow("up to the top and past it") << QVariant(115) << "uuu" << 120 << 1;
    QTest::newRow("above the range, down") << QVariant(200) << "d" << 120 << 1;
    QTest::newRow("above the range, up") << QVariant(200) << "u" << 120 << 1;
    QTest::newRow("below the range, up") << QVariant(2) << "u" << 5 << 1;
    QTest::newRow("below the range, down") << QVariant(2) << "d" << 5 << 1;
    QTest::newRow("zero, up") << QVariant(0) << "u" << 5 << 1;
    QTest::newRow("off the steps") << QVariant(7) << "u" << 12 << 1;
    QTest::newRow("off the steps, down to the end") << QVariant(7) << "dd" << 5 << 1;
}

void TestSettingsPanel::steps()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, steps);
    QFETCH(int, expected);
    QFETCH(int, posts);

    store(stored);
    SettingsPanel panel(*m_preferences);
    panel.show();
    QSignalSpy spy(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
    for (const QChar step : steps) {
        if (step == u'u')
            panel.stepUp();
        else
            panel.stepDown();
    }
    QCoreApplication::processEvents();
    QCOMPARE(postedCount(spy), posts);
    QCOMPARE(panel.timerMinutes(), expected);
    QCOMPARE(panel.stepper()->labelText(), QStringLiteral("%1 min").arg(expected));
    // The value is in the preferences file, where the reminder reads it.
    QCOMPARE(Preferences().storedTimerMinutes(), stored.isValid() || posts > 0 ? expected : 0);
}

void TestSettingsPanel::arrowsStepAndStopAtTheEnds()
{
    store(110);
    SettingsPanel panel(*m_preferences);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QSignalSpy spy(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
    StepperArrow *up = panel.stepper()->upArrow();

    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(panel.timerMinutes(), 115);
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(panel.timerMinutes(), 120);
    QVERIFY(!up->isEnabled());
    QTest::mouseClick(up, Qt::LeftButton);
    QCOMPARE(panel.timerMinutes(), 120);
    QCOMPARE(panel.stepper()->accessibleName(), QStringLiteral("Recordar cada 120 min"));
    QCoreApplication::processEvents();
    QCOMPARE(postedCount(spy), 2);

    QTest::mouseClick(panel.stepper()->downArrow(), Qt::LeftButton);
    QCOMPARE(panel.timerMinutes(), 115);
    QVERIFY(up->isEnabled());
}

void TestSettingsPanel::keysStepTheFocusedStepper()
{
    SettingsPanel panel(*m_preferences);
    panel.show();
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    panel.stepper()->setFocus();
    QTest::keyClick(panel.stepper(), Qt::Key_Up);
    QCOMPARE(panel.timerMinutes(), 35);
    QTest::keyClick(panel.stepper(), Qt::Key_Down);
    QTest::keyClick(panel.stepper(), Qt::Key_Down);
    QCOMPARE(panel.timerMinutes(), 25);
}

void TestSettingsPanel::preferenceWrittenBeforeThePost()
{
    SettingsPanel panel(*m_preferences);
    panel.show();
    QList<int> seen;
    // A direct connection runs inside post(), so it sees what was stored before the post.
    const QMetaObject::Connection connection = connect(
        &NotificationCenter::defaultCenter(), &NotificationCenter::posted, this,
        [&](const QString &name) {
            if (name == Notifications::timerIntervalChanged)
                seen.append(Preferences().storedTimerMinutes());
        },
        Qt::DirectConnection);
    panel.stepUp();
    panel.stepUp();
    panel.stepDown();
    disconnect(connection);
    QCOMPARE(seen, (QList<int>{35, 40, 35}));

    // An observer, which runs later from the event loop, reads the new value too.
    int observed = 0;
    QObject context;
    NotificationCenter::defaultCenter().observe(
        Notifications::timerIntervalChanged, &context,
        [&] { observed = Preferences().storedTimerMinutes(); });
    panel.stepDown();
    QTRY_COMPARE(observed, 30);
}

void TestSettingsPanel::showingAndHidingPostsNothing()
{
    store(45);
    QSignalSpy spy(&NotificationCenter::defaultCenter(), &NotificationCenter::posted);
    SettingsPanel panel(*m_preferences);
    panel.show();
    panel.hide();
    panel.show();
    QCoreApplication::processEvents();
    QCOMPARE(postedCount(spy), 0);
    QCOMPARE(Preferences().storedTimerMinutes(), 45);
}

void TestSettingsPanel::readsTheStoredValueWhenShown()
{
    SettingsPanel panel(*m_preferences);
    panel.show();
    QCOMPARE(panel.stepper()->labelText(), QStringLiteral("30 min"));
    panel.hide();
    store(200);
    panel.show();
    // Shown as stored, even outside the range.
    QCOMPARE(panel.stepper()->labelText(), QStringLiteral("200 min"));
    QVERIFY(panel.stepper()->upArrow()->isEnabled());
    QVERIFY(panel.stepper()->downArrow()->isEnabled());
}

void TestSettingsPanel::digitsKeepTheirWidth()
{
    Stepper stepper;
    stepper.setSuffix(QStringLiteral(" min"));
    stepper.setValue(11);
    const int narrow = stepper.sizeHint().width();
    stepper.setValue(88);
    QCOMPARE(stepper.sizeHint().width(), narrow);
    stepper.setValue(100);
    QVERIFY(stepper.sizeHint().width() > narrow);
}

QTEST_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
