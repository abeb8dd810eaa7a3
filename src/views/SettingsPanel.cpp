#include "views/SettingsPanel.h"

#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "toolkit/Fonts.h"
#include "toolkit/Stepper.h"
#include "toolkit/StepperArrow.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/TextLabel.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>

namespace {

// One step from `value`; a value outside the range goes to the nearer end whichever way
// it is stepped.
int steppedValue(int value, int direction)
{
    if (value < SettingsPanel::minimumMinutes)
        return SettingsPanel::minimumMinutes;
    if (value > SettingsPanel::maximumMinutes)
        return SettingsPanel::maximumMinutes;
    return std::clamp(value + direction * SettingsPanel::stepMinutes, SettingsPanel::minimumMinutes,
                      SettingsPanel::maximumMinutes);
}

QColor secondary(const Theme &theme)
{
    return theme.secondary();
}

} // namespace

SettingsPanel::SettingsPanel(Preferences &preferences, QWidget *parent)
    : QWidget(parent), m_preferences(preferences)
{
    auto *symbol = new SymbolLabel(Symbol::Timer, 13, secondary, this);
    auto *label =
        new TextLabel(QStringLiteral("Recordar cada"), Fonts::rounded(13), secondary, this);
    m_stepper = new Stepper(this);
    m_stepper->setSuffix(QStringLiteral(" min"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->setSpacing(8);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(label, 0, Qt::AlignVCenter);
    layout->addWidget(m_stepper, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    connect(m_stepper, &Stepper::stepUpRequested, this, &SettingsPanel::stepUp);
    connect(m_stepper, &Stepper::stepDownRequested, this, &SettingsPanel::stepDown);
    m_stepper->upArrow()->setAccessibleName(QStringLiteral("Aumentar intervalo"));
    m_stepper->downArrow()->setAccessibleName(QStringLiteral("Reducir intervalo"));
    updateStepper();
}

int SettingsPanel::timerMinutes() const
{
    return m_preferences.timerMinutes();
}

void SettingsPanel::stepUp()
{
    step(+1);
}

void SettingsPanel::stepDown()
{
    step(-1);
}

void SettingsPanel::step(int direction)
{
    const int current = timerMinutes();
    const int next = steppedValue(current, direction);
    if (next != current) {
        // The observer of the notification reads the interval from the preferences, so
        // the value must be stored before the post.
        m_preferences.setTimerMinutes(next);
        if (timerMinutes() != current)
            NotificationCenter::defaultCenter().post(Notifications::timerIntervalChanged);
    }
    updateStepper();
}

void SettingsPanel::updateStepper()
{
    const int minutes = timerMinutes();
    m_stepper->setValue(minutes);
    m_stepper->setStepsAvailable(steppedValue(minutes, +1) != minutes,
                                 steppedValue(minutes, -1) != minutes);
    m_stepper->setAccessibleName(QStringLiteral("Recordar cada ") + m_stepper->labelText());
}

void SettingsPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).primary(0.03));
}

void SettingsPanel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

void SettingsPanel::showEvent(QShowEvent *event)
{
    // The stored value may have changed while the panel was hidden.
    updateStepper();
    QWidget::showEvent(event);
}
