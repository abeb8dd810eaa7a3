#include "views/HeaderView.h"

#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/SymbolLabel.h"
#include "toolkit/TextLabel.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

namespace {

constexpr qreal dotDiameter = 6;
constexpr qreal dotRing = 1.5;
// The dot's centre, in from the gear's top-right corner: on the gear's teeth, where the
// ring sets it off from them.
constexpr qreal dotInset = 2;

// The red dot, ringed in the window's background; over the gear, never in the layout, so
// that nothing moves when it comes and goes.
class ProblemDot : public QWidget
{
public:
    explicit ProblemDot(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        const int side = int(std::ceil(dotDiameter + 2 * dotRing)) + 1;
        resize(side, side);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const Theme theme = Theme::of(this);
        const QPointF centre = QRectF(rect()).center();
        painter.setBrush(theme.windowBackground());
        painter.drawEllipse(centre, dotDiameter / 2 + dotRing, dotDiameter / 2 + dotRing);
        painter.setBrush(theme.red());
        painter.drawEllipse(centre, dotDiameter / 2, dotDiameter / 2);
    }
};

} // namespace

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

    m_problemDot = new ProblemDot(this);
    m_problemDot->hide();
    m_settingsButton->installEventFilter(this);

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

void HeaderView::setSyncProblem(bool problem)
{
    if (problem == m_syncProblem)
        return;
    m_syncProblem = problem;
    m_settingsButton->setAccessibleDescription(problem ? tr("La sincronización falla") : QString());
    placeProblemDot();
    m_problemDot->setVisible(problem);
    m_problemDot->raise();
}

void HeaderView::placeProblemDot()
{
    const QRectF gear(m_settingsButton->geometry());
    const QPointF centre(gear.right() - dotInset, gear.top() + dotInset);
    const QSize size = m_problemDot->size();
    m_problemDot->move(qRound(centre.x() - size.width() / 2.0),
                       qRound(centre.y() - size.height() / 2.0));
}

bool HeaderView::eventFilter(QObject *watched, QEvent *event)
{
    // The gear moves with the header's width.
    if (watched == m_settingsButton &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placeProblemDot();
    return QWidget::eventFilter(watched, event);
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
