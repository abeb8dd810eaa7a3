#pragma once

#include <QWidget>

// The column's first row: badge, title, open-task count and the settings button.
class HeaderView : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderView(QWidget *parent = nullptr);

    void setPendingCount(int count);
    void setSettingsShown(bool shown);

    // "1 pendiente", "3 pendientes"; empty for 0.
    static QString pendingText(int count);

signals:
    void settingsButtonClicked();
};
