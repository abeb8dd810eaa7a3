#pragma once

#include <QWidget>

class PlainButton;
class SymbolLabel;
class TextLabel;

// The column's first row: badge, title, open-task count and the settings button.
class HeaderView : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderView(QWidget *parent = nullptr);

    // The count is shown only while it is above 0.
    void setPendingCount(int count);
    // The settings button is accent-coloured while the panel is shown; the change of colour
    // animates with the current transaction.
    void setSettingsShown(bool shown);
    bool isSettingsShown() const { return m_settingsShown; }

    // "1 pendiente", "3 pendientes"; empty for 0.
    static QString pendingText(int count);

    TextLabel *countCapsule() const { return m_count; }
    PlainButton *settingsButton() const { return m_settingsButton; }

signals:
    void settingsButtonClicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateSettingsButtonColor();

    SymbolLabel *m_badge = nullptr;
    TextLabel *m_title = nullptr;
    TextLabel *m_count = nullptr;
    PlainButton *m_settingsButton = nullptr;
    bool m_settingsShown = false;
};
