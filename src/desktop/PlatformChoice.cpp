#include "desktop/PlatformChoice.h"

#include <utility>

namespace {

// Options Qt reads with a value in the next argument before it looks for -platform; their
// value is never an option of its own, even when it starts with a dash.
bool takesValue(const QByteArray &option)
{
    return option == "-platformpluginpath" || option == "-platformtheme" ||
           option == "-qwindowgeometry" || option == "-qwindowtitle" || option == "-qwindowicon";
}

bool isSet(const QProcessEnvironment &environment, const QString &name)
{
    return !environment.value(name).isEmpty();
}

} // namespace

PlatformChoice::PlatformChoice(Reason reason, QByteArray platform)
    : m_reason(reason), m_platform(std::move(platform))
{
}

PlatformChoice PlatformChoice::decide(const QProcessEnvironment &environment,
                                      const QList<QByteArray> &arguments)
{
    // Qt treats an empty QT_QPA_PLATFORM as unset.
    if (isSet(environment, QStringLiteral("QT_QPA_PLATFORM")) || argumentsChoosePlatform(arguments))
        return PlatformChoice(Reason::UserChoice, {});

    // The same signs Qt reads to prefer its wayland plugin; a socket handed over in
    // WAYLAND_SOCKET is a Wayland connection too.
    const bool waylandSession =
        isSet(environment, QStringLiteral("WAYLAND_DISPLAY")) ||
        isSet(environment, QStringLiteral("WAYLAND_SOCKET")) ||
        environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
    if (!waylandSession)
        return PlatformChoice(Reason::NotWayland, {});

    // DISPLAY is what XWayland provides (GNOME starts it on the first connection). A stale
    // one cannot be told from a live one without connecting, so Wayland stays as the
    // fallback: Qt tries the list in order.
    if (isSet(environment, QStringLiteral("DISPLAY")))
        return PlatformChoice(Reason::XWayland, QByteArrayLiteral("xcb;wayland"));
    return PlatformChoice(Reason::WaylandOnly, QByteArrayLiteral("wayland"));
}

QList<QByteArray> PlatformChoice::applyTo(const QList<QByteArray> &arguments) const
{
    if (m_platform.isEmpty())
        return arguments;
    QList<QByteArray> result = arguments;
    // Qt reads options from the second argument on; the first is the program's name, even
    // when a launcher left it out.
    if (result.isEmpty())
        result.append(QByteArrayLiteral("lorvane"));
    result.insert(1, m_platform);
    result.insert(1, QByteArrayLiteral("-platform"));
    return result;
}

bool PlatformChoice::argumentsChoosePlatform(const QList<QByteArray> &arguments)
{
    // Mirrors QGuiApplication's own reading: one leading dash of "--" is dropped, the
    // option's value is the next argument whatever it looks like, and an option without a
    // value at the end is ignored.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QByteArray option = arguments.at(i);
        if (!option.startsWith('-'))
            continue;
        if (option.startsWith("--"))
            option.remove(0, 1);
        if (option == "-platform" && i + 1 < arguments.size())
            return true;
        if (option == "-platform" || takesValue(option))
            ++i;
    }
    return false;
}

bool PlatformChoice::canPlaceWindows(const QString &platformName)
{
    // "wayland", "wayland-egl", "wayland-brcm" and the like.
    return !platformName.startsWith(QLatin1String("wayland"));
}

const char *PlatformChoice::unpinnedNotice()
{
    return "lorvane: on Wayland the compositor places windows, so the window cannot be "
           "pinned to the right edge of the screen. With an X server running (XWayland, "
           "DISPLAY set) and no other platform chosen, Lorvane runs on it and pins the "
           "window.";
}
