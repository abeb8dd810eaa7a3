#include "desktop/PlatformChoice.h"

#include <QTest>

using Reason = PlatformChoice::Reason;

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

class TestPlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    // The reason and platform chosen, and the arguments then given to Qt: the platform put
    // right after the program's name, or the arguments unchanged.
    void decide_data()
    {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QByteArray>("platform");
        const auto row = [](const char *name, const QStringList &environment,
                            const QStringList &arguments, Reason reason, const char *platform) {
            QTest::newRow(name) << environment << arguments << reason << QByteArray(platform);
        };
        const QStringList plain{"/usr/bin/lorvane", "--reverse"};
        const QStringList gnome{"XDG_SESSION_TYPE=wayland", "XDG_CURRENT_DESKTOP=GNOME",
                                "WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"};
        row("X11 session", {"XDG_SESSION_TYPE=x11", "DISPLAY=:0"}, plain, Reason::NotWayland, "");
        row("GNOME on Wayland with XWayland", gnome, plain, Reason::XWayland, "xcb;wayland");
        row("Wayland without an X server",
            {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-0"}, plain, Reason::WaylandOnly,
            "wayland");
        row("Wayland with an empty DISPLAY", {"WAYLAND_DISPLAY=wayland-0", "DISPLAY="}, plain,
            Reason::WaylandOnly, "wayland");
        row("QT_QPA_PLATFORM=wayland where XWayland runs",
            QStringList(gnome) << "QT_QPA_PLATFORM=wayland", plain, Reason::UserChoice, "");
        row("empty QT_QPA_PLATFORM counts as unset",
            QStringList(gnome) << "QT_QPA_PLATFORM=", plain, Reason::XWayland, "xcb;wayland");
        row("-platform wayland", gnome, {"lorvane", "-platform", "wayland"}, Reason::UserChoice,
            "");
        row("--platform after other arguments", gnome,
            {"lorvane", "notes.txt", "--reverse", "--platform", "xcb"}, Reason::UserChoice, "");
        row("-platform=wayland is no platform option", gnome, {"lorvane", "-platform=wayland"},
            Reason::XWayland, "xcb;wayland");
        row("-platform as the value of -platformtheme", gnome,
            {"lorvane", "-platformtheme", "-platform", "wayland"}, Reason::XWayland, "xcb;wayland");
    }
    void decide()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, platform);
        const QList<QByteArray> given = argumentsOf(arguments);
        const PlatformChoice choice = PlatformChoice::decide(environmentOf(environment), given);
        QTEST(choice.reason(), "reason");
        QCOMPARE(choice.platform(), platform);
        QList<QByteArray> expected = given;
        if (!platform.isEmpty())
            expected.insert(1, {"-platform", platform});
        const QList<QByteArray> result = choice.applyTo(given);
        QCOMPARE(result, expected);
        // What comes out is read by Qt as the platform that was chosen, or as none.
        QCOMPARE(PlatformChoice::argumentsChoosePlatform(result),
                 !platform.isEmpty() || choice.reason() == Reason::UserChoice);
    }
};

QTEST_APPLESS_MAIN(TestPlatformChoice)
#include "tst_platformchoice.moc"
