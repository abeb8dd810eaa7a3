#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>

// Which Qt platform plugin to ask for, decided from the environment and the command line
// before the application object exists.
//
// A Wayland client cannot place its own window, so on Qt's wayland plugin the column would
// go wherever the compositor puts it. Wayland desktops run an X server for older programs
// (XWayland) and let X11 windows place themselves, so in a Wayland session with an X server
// the program runs on xcb, exactly as on an X11 session. A platform the user chose, with
// QT_QPA_PLATFORM or -platform, is always kept.
class PlatformChoice
{
public:
    enum class Reason {
        // QT_QPA_PLATFORM or a -platform argument names a platform: Qt's choice stands.
        UserChoice,
        // Not a Wayland session: Qt's own choice (xcb on X11) places windows.
        NotWayland,
        // A Wayland session with an X server: xcb, falling back to Wayland if the X server
        // cannot be reached after all.
        XWayland,
        // A Wayland session without an X server: Wayland, where the window cannot be pinned.
        WaylandOnly,
    };

    static PlatformChoice decide(const QProcessEnvironment &environment,
                                 const QList<QByteArray> &arguments);

    Reason reason() const { return m_reason; }
    // The platform list to hand to Qt, in Qt's "first;fallback" form; empty when Qt's own
    // choice stands.
    QByteArray platform() const { return m_platform; }

    // The command line Qt gets: the arguments with "-platform <platform>" after the
    // program's name when a platform is chosen, unchanged otherwise.
    QList<QByteArray> applyTo(const QList<QByteArray> &arguments) const;

    // Whether the arguments choose a platform the way Qt reads them: "-platform name" or
    // "--platform name" as two arguments. ("-platform=name" is no platform option to Qt.)
    static bool argumentsChoosePlatform(const QList<QByteArray> &arguments);

    // Whether windows on the named running platform can be placed by the program. Wayland
    // compositors place every window themselves.
    static bool canPlaceWindows(const QString &platformName);

    // What the program says once on standard error when it runs where it cannot pin its
    // window.
    static const char *unpinnedNotice();

private:
    PlatformChoice(Reason reason, QByteArray platform);

    Reason m_reason;
    QByteArray m_platform;
};
