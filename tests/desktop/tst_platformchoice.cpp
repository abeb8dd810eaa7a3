#include "desktop/PlatformChoice.h"

#include <QTest>

using Reason = PlatformChoice::Reason;

class TestPlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
    void applyTo_data();
    void applyTo();
};

namespace {

// "NAME=value" entries; "NAME=" sets the variable to an empty value.
QProcessEnvironment environmentOf(const QStringList &entries)
{
    QProcessEnvironment environment;
    for (const QString &entry : entries) {
        const qsizetype equals = entry.indexOf(u'=');
        environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    return environment;
}

QList<QByteArray> argumentsOf(const QStringList &list)
{
    QList<QByteArray> arguments;
    for (const QString &argument : list)
        arguments.append(argument.toUtf8());
    return arguments;
}

} // namespace

void TestPlatformChoice::decide_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Reason>("reason");
    QTest::addColumn<QByteArray>("platform");

    const QStringList plain{QStringLiteral("lorvane")};
    const QByteArray none;
    const QByteArray xcbFirst("xcb;wayland");
    const QByteArray wayland("wayland");
    const QStringList gnome{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=GNOME",
                            "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"};

    QTest::newRow("X11 session") << QStringList{"XDG_SESSION_TYPE=x11", "DISPLAY=:0"} << plain
                                 << Reason::NotWayland << none;
    QTest::newRow("GNOME on Wayland with XWayland")
        << gnome << plain << Reason::XWayland << xcbFirst;
    QTest::newRow("Wayland without an X server")
        << QStringList{"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0"} << plain
        << Reason::WaylandOnly << wayland;
    QTest::newRow("Wayland with an empty DISPLAY")
        << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY="} << plain << Reason::WaylandOnly
        << wayland;

    QTest::newRow("QT_QPA_PLATFORM=wayland where XWayland runs")
        << (QStringList(gnome) << "QT_QPA_PLATFORM=wayland") << plain << Reason::UserChoice << none;
    QTest::newRow("empty QT_QPA_PLATFORM counts as unset")
        << (QStringList(gnome) << "QT_QPA_PLATFORM=") << plain << Reason::XWayland << xcbFirst;

    QTest::newRow("-platform wayland")
        << gnome << QStringList{"lorvane", "-platform", "wayland"} << Reason::UserChoice << none;
    QTest::newRow("--platform after other arguments")
        << gnome << QStringList{"lorvane", "notes.txt", "--reverse", "--platform", "xcb"}
        << Reason::UserChoice << none;
    QTest::newRow("-platform=wayland is no platform option")
        << gnome << QStringList{"lorvane", "-platform=wayland"} << Reason::XWayland << xcbFirst;
    QTest::newRow("-platform as the value of -platformtheme")
        << gnome << QStringList{"lorvane", "-platformtheme", "-platform", "wayland"}
        << Reason::XWayland << xcbFirst;
}

void TestPlatformChoice::decide()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(Reason, reason);
    QFETCH(QByteArray, platform);

    const PlatformChoice choice =
        PlatformChoice::decide(environmentOf(environment), argumentsOf(arguments));
    QCOMPARE(choice.reason(), reason);
    QCOMPARE(choice.platform(), platform);
}

void TestPlatformChoice::applyTo_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected");

    const QStringList xwayland{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"};

    QTest::newRow("XWayland: the choice follows the program's name")
        << xwayland << QStringList{"/usr/bin/lorvane", "--reverse"}
        << QStringList{"/usr/bin/lorvane", "-platform", "xcb;wayland", "--reverse"};
    QTest::newRow("the user's choice: unchanged")
        << xwayland << QStringList{"lorvane", "-platform", "wayland"}
        << QStringList{"lorvane", "-platform", "wayland"};
}

void TestPlatformChoice::applyTo()
{
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);

    const QList<QByteArray> given = argumentsOf(arguments);
    const PlatformChoice choice = PlatformChoice::decide(environmentOf(environment), given);
    const QList<QByteArray> result = choice.applyTo(given);
    QCOMPARE(result, argumentsOf(expected));
    // What comes out is read by Qt as the platform that was chosen, or as none.
    QCOMPARE(PlatformChoice::argumentsChoosePlatform(result),
             !choice.platform().isEmpty() || choice.reason() == Reason::UserChoice);
}

QTEST_APPLESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
