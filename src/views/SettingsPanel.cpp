#include "views/SettingsPanel.h"

#include "toolkit/CheckBox.h"
#include "toolkit/Fonts.h"
#include "toolkit/RoundedButton.h"
#include "toolkit/Stepper.h"
#include "toolkit/StepperArrow.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/Symbols.h"
#include "toolkit/TextLabel.h"
#include "toolkit/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// One step from `value`; a value outside the range goes to the nearer end whichever way
// it is stepped.
qint64 steppedValue(qint64 value, int direction)
{
    if (value < SettingsPanel::minimumMinutes)
        return SettingsPanel::minimumMinutes;
    if (value > SettingsPanel::maximumMinutes)
        return SettingsPanel::maximumMinutes;
    return std::clamp<qint64>(value + direction * SettingsPanel::stepMinutes,
                              SettingsPanel::minimumMinutes, SettingsPanel::maximumMinutes);
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

    // The box's text starts where the label above does, after the symbol and the spacing.
    m_launchAtLogin = new CheckBox(tr("Abrir al iniciar la sesión"), Fonts::rounded(13), this);
    m_launchAtLogin->setTextIndent(Symbols::size(13).width() + 8);

    m_syncButton = new RoundedButton(tr("Sincronizar…"), this);
    m_syncButton->setAccessibleName(tr("Sincronizar…"));
    m_syncStatus = new TextLabel(QString(), Fonts::rounded(12), secondary, this);
    m_syncStatus->setObjectName(QStringLiteral("syncStatus"));
    m_syncStatus->setElided(true);
    m_syncStatus->hide();

    auto *reminder = new QHBoxLayout;
    reminder->setContentsMargins(16, 8, 16, 8);
    reminder->setSpacing(8);
    reminder->addWidget(symbol, 0, Qt::AlignVCenter);
    reminder->addWidget(label, 0, Qt::AlignVCenter);
    reminder->addWidget(m_stepper, 0, Qt::AlignVCenter);
    reminder->addStretch(1);

    // The square sits at the same inset as the symbol above; its focus ring takes the margin.
    auto *launch = new QHBoxLayout;
    launch->setContentsMargins(16 - CheckBox::focusMargin, 8, 16, 8);
    launch->addWidget(m_launchAtLogin, 0, Qt::AlignVCenter);
    launch->addStretch(1);

    // The button's bezel starts at the symbols' inset; the line under it, at its edge too.
    auto *sync = new QVBoxLayout;
    sync->setContentsMargins(16, 6, 16, 10);
    sync->setSpacing(6);
    sync->addWidget(m_syncButton, 0, Qt::AlignLeft);
    sync->addWidget(m_syncStatus);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(reminder);
    layout->addLayout(launch);
    layout->addLayout(sync);

    connect(m_stepper, &Stepper::stepUpRequested, this, [this] { step(+1); });
    connect(m_stepper, &Stepper::stepDownRequested, this, [this] { step(-1); });
    m_stepper->upArrow()->setAccessibleName(tr("Aumentar intervalo"));
    m_stepper->downArrow()->setAccessibleName(tr("Reducir intervalo"));
    // toggled(), not clicked(): a screen reader's toggle action changes the state without a
    // click, and must ask all the same.
    connect(m_launchAtLogin, &QAbstractButton::toggled, this, &SettingsPanel::launchAtLoginChosen);
    connect(m_syncButton, &QAbstractButton::clicked, this, &SettingsPanel::syncClicked);
}

void SettingsPanel::setMinutes(qint64 minutes)
{
    m_minutes = minutes;
    m_stepper->setValue(minutes);
    m_stepper->setStepsAvailable(steppedValue(minutes, +1) != minutes,
                                 steppedValue(minutes, -1) != minutes);
    m_stepper->setAccessibleName(tr("Recordar cada %1").arg(m_stepper->labelText()));
}

void SettingsPanel::setLaunchAtLogin(bool enabled)
{
    // Shown quietly: only the user's change asks for one.
    const QSignalBlocker quiet(m_launchAtLogin);
    m_launchAtLogin->setChecked(enabled);
}

void SettingsPanel::setSyncStatus(const QString &text)
{
    // Shown or hidden, the line changes the layout's size hint, which the column follows.
    m_syncStatus->setText(text);
    m_syncStatus->setToolTip(text); // the whole of a line cut short at the column's edge
    m_syncStatus->setVisible(!text.isEmpty());
}

void SettingsPanel::step(int direction)
{
    const qint64 next = steppedValue(m_minutes, direction);
    if (next != m_minutes)
        emit minutesChosen(int(next)); // within 5...120 by now
}

void SettingsPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::of(this).primary(0.03));
}
