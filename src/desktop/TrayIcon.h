#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

// The icon in the desktop's tray, when it has one: a way back to a closed window and a way
// out, since closing the window does not quit.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(const QIcon &icon, QObject *parent = nullptr);

    static bool isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    void show() { m_icon.show(); }
    QMenu *menu() { return &m_menu; }

signals:
    void showRequested();
    void quitRequested();

private:
    QMenu m_menu;
    QSystemTrayIcon m_icon;
};
