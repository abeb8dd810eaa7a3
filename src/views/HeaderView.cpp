#include "views/HeaderView.h"

#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/TextLabel.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>

HeaderView::HeaderView(QWidget *parent) : QWidget(parent)
{
    auto *badge = new SymbolLabel(
        Symbol::Checklist, 15, [](const Theme &) { return QColor(Qt::white); }, this);
    badge->setBackgroundCircle(32, [](const Theme &) { return Theme::accent(); });
    badge->setWeight(QFont::DemiBold);

    auto *title = new TextLabel(
        QStringLiteral("Lorvane"), Fonts::rounded(18, QFont::Bold),
        [](const Theme &theme) { return theme.primary(); }, this);

    m_count = new TextLabel(
        QString(), Fonts::rounded(12, QFont::Medium),
        [](const Theme &theme) { return theme.secondary(); }, this);
    m_count->setObjectName(QStringLiteral("pendingCount"));
    m_count->setCapsule(QMargins(10, 4, 10, 4),
                        [](const Theme &theme) { return theme.primary(0.08); });
    m_count->hide();

    m_settingsButton = new PlainButton(Symbol::Gearshape, 15, this);
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    m_settingsButton->setAccessibleName(tr("Ajustes"));
    m_settingsButton->setFocusPolicy(Qt::TabFocus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 12);
    layout->setSpacing(10);
    layout->addWidget(badge, 0, Qt::AlignVCenter);
    layout->addWidget(title, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(m_count, 0, Qt::AlignVCenter);
    layout->addWidget(m_settingsButton, 0, Qt::AlignVCenter);

    connect(m_settingsButton, &QAbstractButton::clicked, this, &HeaderView::settingsButtonClicked);
    updateSettingsButtonColor();
}

void HeaderView::setPendingCount(int count)
{
    // The capsule keeps its last text while it fades out; a new number cross-fades in.
    if (count > 0)
        m_count->setText(count == 1 ? tr("%1 pendiente").arg(count)
                                    : tr("%1 pendientes").arg(count));
    Motion::setPresent(m_count, count > 0);
}

void HeaderView::setSettingsShown(bool shown)
{
    if (shown == m_settingsShown)
        return;
    m_settingsShown = shown;
    updateSettingsButtonColor();
}

void HeaderView::updateSettingsButtonColor()
{
    m_settingsButton->setColor(m_settingsShown ? Theme::accent() : Theme::of(this).secondary());
}

void HeaderView::changeEvent(QEvent *event)
{
    // The resting colour depends on the appearance.
    if (event->type() == QEvent::PaletteChange)
        updateSettingsButtonColor();
    QWidget::changeEvent(event);
}
