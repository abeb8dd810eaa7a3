// The reminder interval panel: steps by arrow and by key over 5...120 in fives, stops at
// the ends, brings a stored value outside the range or off the steps back in, and for each
// change writes the preference first and then posts the notification exactly once; showing
// the panel only reads.
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "toolkit/Motion.h"
#include "toolkit/Stepper.h"
#include "toolkit/StepperArrow.h"
#include "views/SettingsPanel.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSettingsPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<Preferences> m_preferences;
    // Each interval notification, with the interval stored at the moment it was posted.
    QList<int> m_posted;

    // Writes the stored interval as another program could, without the panel's range.
    void store(int minutes)
    {
        QSettings settings(m_preferences->filePath(), QSettings::NativeFormat);
        settings.setValue(QLatin1String(Preferences::timerMinutesKey), minutes);
    }

private slots:
    void initTestCase() { Motion::setAnimationsEnabled(false); }
    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
        m_preferences = std::make_unique<Preferences>();
        m_posted.clear();
        // A direct connection runs inside post(), before any observer.
        connect(
            &NotificationCenter::defaultCenter(), &NotificationCenter::posted, this,
            [this](const QString &name) {
                if (name == Notifications::timerIntervalChanged)
                    m_posted.append(Preferences().storedTimerMinutes());
            },
            Qt::DirectConnection);
    }
    void cleanup()
    {
        NotificationCenter::defaultCenter().disconnect(this);
        m_preferences.reset();
        m_config.reset();
    }

    void steps_data()
    {
        QTest::addColumn<int>("stored");    // 0: nothing stored, first launch
        QTest::addColumn<QString>("steps"); // 'u'/'d': arrow clicks, 'U'/'D': Up/Down keys
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("posts");

        QTest::newRow("first launch shows 30") << 0 << "" << 30 << 0;
        QTest::newRow("up from the default") << 0 << "u" << 35 << 1;
        QTest::newRow("down from the default by key") << 0 << "D" << 25 << 1;
        QTest::newRow("three up, mixed") << 0 << "uUu" << 45 << 3;
        QTest::newRow("up then down") << 60 << "ud" << 60 << 2;
        QTest::newRow("up at the top") << 120 << "uU" << 120 << 0;
        QTest::newRow("down at the bottom") << 5 << "dD" << 5 << 0;
        QTest::newRow("down to the bottom and past it") << 10 << "ddD" << 5 << 1;
        QTest::newRow("up to the top and past it") << 110 << "uuuU" << 120 << 2;
        QTest::newRow("above the range, down") << 200 << "d" << 120 << 1;
        QTest::newRow("above the range, up") << 200 << "U" << 120 << 1;
        QTest::newRow("below the range, up") << 2 << "u" << 5 << 1;
        QTest::newRow("below the range, down") << 2 << "D" << 5 << 1;
        QTest::newRow("off the steps, up") << 7 << "u" << 12 << 1;
        QTest::newRow("off the steps, down to the end") << 7 << "dd" << 5 << 1;
    }
    void steps()
    {
        QFETCH(int, stored);
        QFETCH(QString, steps);
        QFETCH(int, expected);
        QFETCH(int, posts);
        if (stored)
            store(stored);
        SettingsPanel panel(*m_preferences);
        panel.show();
        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        Stepper *stepper = panel.stepper();
        stepper->setFocus();
        QList<int> changes;
        for (const QChar step : steps) {
            const int before = panel.timerMinutes();
            if (step == u'u' || step == u'd')
                QTest::mouseClick(step == u'u' ? stepper->upArrow() : stepper->downArrow(),
                                  Qt::LeftButton);
            else
                QTest::keyClick(stepper, step == u'U' ? Qt::Key_Up : Qt::Key_Down);
            if (panel.timerMinutes() != before)
                changes.append(panel.timerMinutes());
        }

        QCOMPARE(changes.size(), posts);
        // One notification per change, posted once the new value was stored.
        QCOMPARE(m_posted, changes);
        QCOMPARE(panel.timerMinutes(), expected);
        QCOMPARE(stepper->labelText(), QStringLiteral("%1 min").arg(expected));
        // An arrow that would change nothing is dimmed.
        QCOMPARE(stepper->upArrow()->isEnabled(), expected < SettingsPanel::maximumMinutes);
        QCOMPARE(stepper->downArrow()->isEnabled(), expected > SettingsPanel::minimumMinutes);
        // The value is in the preferences file, where the reminder reads it.
        QCOMPARE(Preferences().storedTimerMinutes(), stored || posts ? expected : 0);
    }

    void showingReadsAndPostsNothing()
    {
        SettingsPanel panel(*m_preferences);
        panel.show();
        panel.hide();
        store(200);
        panel.show();
        QCoreApplication::processEvents();
        // Shown as stored, even outside the range, and left so in the file.
        QCOMPARE(panel.stepper()->labelText(), QStringLiteral("200 min"));
        QCOMPARE(Preferences().storedTimerMinutes(), 200);
        QVERIFY(m_posted.isEmpty());
    }
};

QTEST_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
