#pragma once

#include <QDBusVariant>
#include <QObject>
#include <QTimer>

#include <chrono>

class QDBusPendingCallWatcher;

// Makes the application light or dark as the desktop prefers. Current GNOME and KDE publish
// that choice through the XDG desktop portal (org.freedesktop.portal.Settings, namespace
// "org.freedesktop.appearance", key "color-scheme") and not through a Qt platform theme, so
// Qt 6.4 alone keeps the light Fusion palette there. The choice is read once and then
// followed as it changes; without a session bus, a portal or a preference the desktop's own
// palette stays, and the interface reads light or dark from it as before. The desktop's
// choice to reduce animation comes the same way (GNOME's "enable-animations", Plasma's
// "AnimationDurationFactor") and switches the window's animations off while it holds.
class DesktopAppearance : public QObject
{
    Q_OBJECT

public:
    // The portal's values; anything else means no preference.
    enum class ColorScheme { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

    // Subscribes to changes and sends the question at once, without waiting for the answer.
    // `patience` bounds how long settled() waits for that first answer.
    explicit DesktopAppearance(std::chrono::milliseconds patience, QObject *parent = nullptr);

signals:
    // Emitted once, from the event loop: the first answer has been applied, or `patience`
    // ran out before it came (it is then applied when it comes), or there is no bus to ask.
    // The window is shown on it, so that it appears in its final colours.
    void settled();

private slots:
    // Old-style slot: QtDBus connects signals by signature only.
    void onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void apply(ColorScheme scheme);
    void takeSetting(const QString &group, const QString &key, const QVariant &value);
    void settle();

    QTimer m_patience;
    bool m_isSettled = false;
    ColorScheme m_applied = ColorScheme::NoPreference;
    bool m_gnomeAnimations = true;
    bool m_plasmaAnimations = true;
};
