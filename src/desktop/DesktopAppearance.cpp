#include "desktop/DesktopAppearance.h"

#include "toolkit/Motion.h"
#include "toolkit/Theme.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QPalette>
#include <QStyle>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
// The desktops' "reduce animation" choices: GNOME's switch, and Plasma's animation speed,
// where 0 means none.
const QString gnomeGroup = QStringLiteral("org.gnome.desktop.interface");
const QString gnomeAnimationsKey = QStringLiteral("enable-animations");
const QString plasmaGroup = QStringLiteral("org.kde.kdeglobals.KDE");
const QString plasmaAnimationsKey = QStringLiteral("AnimationDurationFactor");

// A desktop session announces its bus in the environment or at the standard place in the
// runtime folder. Without either, libdbus would start a private bus for the X display
// ("autolaunch"): a process start for a bus that no desktop publishes its settings on.
bool sessionBusAnnounced()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtimeFolder.isEmpty() && QFileInfo::exists(runtimeFolder + QStringLiteral("/bus"));
}

// A setting's value comes in a variant; some portal versions answer Read with that variant
// wrapped in a second one.
QVariant unwrapped(QVariant value)
{
    for (int level = 0; level < 2 && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++level)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

// A uint32; unknown values and types mean no preference.
DesktopAppearance::ColorScheme colorSchemeFrom(const QVariant &wrapped)
{
    const QVariant value = unwrapped(wrapped);
    if (value.metaType() != QMetaType::fromType<uint>())
        return DesktopAppearance::ColorScheme::NoPreference;
    switch (value.toUInt()) {
    case 1:
        return DesktopAppearance::ColorScheme::PreferDark;
    case 2:
        return DesktopAppearance::ColorScheme::PreferLight;
    default:
        return DesktopAppearance::ColorScheme::NoPreference;
    }
}

// A dark counterpart of Fusion's light palette for the few parts Qt draws itself (menus,
// scroll bars, tooltips, the text cursor). Its window colour is far below the lightness at
// which Theme reads a palette as dark.
QPalette darkPalette()
{
    const QColor window(36, 36, 36);
    const QColor text(238, 238, 238);
    const QColor disabledText(128, 128, 128);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(28, 28, 28));
    palette.setColor(QPalette::AlternateBase, QColor(44, 44, 44));
    palette.setColor(QPalette::ToolTipBase, QColor(48, 48, 48));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(238, 238, 238, 128));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(48, 48, 48));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 69, 58));
    palette.setColor(QPalette::Light, QColor(72, 72, 72));
    palette.setColor(QPalette::Midlight, QColor(60, 60, 60));
    palette.setColor(QPalette::Mid, QColor(40, 40, 40));
    palette.setColor(QPalette::Dark, QColor(20, 20, 20));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(110, 168, 254));
    palette.setColor(QPalette::LinkVisited, QColor(180, 142, 255));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
    return palette;
}

} // namespace

DesktopAppearance::DesktopAppearance(std::chrono::milliseconds patience, QObject *parent)
    : QObject(parent)
{
    m_patience.setSingleShot(true);
    connect(&m_patience, &QTimer::timeout, this, &DesktopAppearance::settle);

    if (!sessionBusAnnounced() || !QDBusConnection::sessionBus().isConnected()) {
        // Nobody to ask: settle in the first turn of the event loop.
        m_patience.start(0);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Qt 6.4 finds a slot taking a QDBusVariant only once the type is registered by name
    // (QTBUG-108822); connect() fails without it.
    qRegisterMetaType<QDBusVariant>();
    // Subscribed before asking, so that a change just after the answer is not missed. Qt
    // follows the portal's owner, so a portal that starts later is heard too.
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                this, SLOT(onSettingChanged(QString, QString, QDBusVariant)));

    // An activatable portal that is not running yet is started by the bus; its answer may
    // come after `patience` and is applied then. An error (no portal, a portal without the
    // key, no answer) leaves what was there: the desktop's palette, animations on.
    const auto read = [this, &bus](const QString &group, const QString &key, auto &&take) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            portalService, portalPath, settingsInterface, QStringLiteral("Read"));
        message << group << key;
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [take](QDBusPendingCallWatcher *watcher) {
                    watcher->deleteLater();
                    const QDBusMessage reply = watcher->reply();
                    take(reply.type() == QDBusMessage::ReplyMessage, reply.arguments().value(0));
                });
    };
    read(appearanceGroup, colorSchemeKey, [this](bool answered, const QVariant &value) {
        if (answered)
            apply(colorSchemeFrom(value));
        settle();
    });
    read(gnomeGroup, gnomeAnimationsKey, [this](bool answered, const QVariant &value) {
        if (answered)
            takeSetting(gnomeGroup, gnomeAnimationsKey, value);
    });
    read(plasmaGroup, plasmaAnimationsKey, [this](bool answered, const QVariant &value) {
        if (answered)
            takeSetting(plasmaGroup, plasmaAnimationsKey, value);
    });
    m_patience.start(patience);
}

void DesktopAppearance::onSettingChanged(const QString &group, const QString &key,
                                         const QDBusVariant &value)
{
    if (group == appearanceGroup && key == colorSchemeKey)
        apply(colorSchemeFrom(QVariant::fromValue(value)));
    else
        takeSetting(group, key, QVariant::fromValue(value));
}

void DesktopAppearance::takeSetting(const QString &group, const QString &key,
                                    const QVariant &wrapped)
{
    const QVariant value = unwrapped(wrapped);
    if (group == gnomeGroup && key == gnomeAnimationsKey &&
        value.metaType() == QMetaType::fromType<bool>())
        m_gnomeAnimations = value.toBool();
    else if (group == plasmaGroup && key == plasmaAnimationsKey && value.canConvert<double>())
        m_plasmaAnimations = value.toDouble() > 0;
    else
        return;
    // Either desktop's choice to reduce animation is followed: every change then lands at
    // once.
    Motion::setAnimationsEnabled(m_gnomeAnimations && m_plasmaAnimations);
}

void DesktopAppearance::apply(ColorScheme scheme)
{
    if (scheme == m_applied)
        return;
    m_applied = scheme;
    // Back to the desktop's own palette first (a palette with nothing set follows it again):
    // it is kept when it already has the preferred lightness, and it is all there is without
    // a preference.
    QApplication::setPalette(QPalette());
    if (scheme == ColorScheme::NoPreference)
        return;
    const bool prefersDark = scheme == ColorScheme::PreferDark;
    if (Theme::isDark(QApplication::palette()) != prefersDark)
        QApplication::setPalette(prefersDark ? darkPalette()
                                             : QApplication::style()->standardPalette());
}

void DesktopAppearance::settle()
{
    m_patience.stop();
    if (m_isSettled)
        return;
    m_isSettled = true;
    emit settled();
}
