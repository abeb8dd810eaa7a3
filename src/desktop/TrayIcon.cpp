#include "desktop/TrayIcon.h"

TrayIcon::TrayIcon(const QIcon &icon, QObject *parent) : QObject(parent), m_icon(icon)
{
    m_menu.addAction(QStringLiteral("Mostrar Lorvane"), this, &TrayIcon::showRequested);
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Salir de Lorvane"), this, &TrayIcon::quitRequested);
    m_icon.setContextMenu(&m_menu);
    m_icon.setToolTip(QStringLiteral("Lorvane"));
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit showRequested();
            });
}
