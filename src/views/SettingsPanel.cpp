#include "views/SettingsPanel.h"

#include "toolkit/Fonts.h"
#include "toolkit/Stepper.h"
#include "toolkit/StepperArrow.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/TextLabel.h"
#include "toolkit/Theme.h"

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

SettingsPanel::SettingsPanel(QWidget *parent) : QWidget(parent)
{
    auto *symbol = new SymbolLabel(Symbol::Timer, 13, secondary, this);
    auto *label = new TextLabel(tr("Recordar cada"), Fonts::rounded(13), secondary, this);
    m_stepper = new Stepper(this);
    m_stepper->setSuffix(tr(" min"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->setSpacing(8);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(label, 0, Qt::AlignVCenter);
    layout->addWidget(m_stepper, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    connect(m_stepper, &Stepper::stepUpRequested, this, [this] { step(+1); });
    connect(m_stepper, &Stepper::stepDownRequested, this, [this] { step(-1); });
    m_stepper->upArrow()->setAccessibleName(tr("Aumentar intervalo"));
    m_stepper->downArrow()->setAccessibleName(tr("Reducir intervalo"));
}

void SettingsPanel::setMinutes(int minutes)
{
    m_minutes = minutes;
    m_stepper->setValue(minutes);
    m_stepper->setStepsAvailable(steppedValue(minutes, +1) != minutes,
                                 steppedValue(minutes, -1) != minutes);
    m_stepper->setAccessibleName(tr("Recordar cada %1").arg(m_stepper->labelText()));
}

void SettingsPanel::step(int direction)
{
    const int next = steppedValue(m_minutes, direction);
    if (next != m_minutes)
        emit minutesChosen(next);
}

void SettingsPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).primary(0.03));
}
