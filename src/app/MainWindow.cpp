#include "app/MainWindow.h"

#include "desktop/FrameExtentsWatcher.h"
#include "desktop/PlatformChoice.h"
#include "desktop/X11WindowManager.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWindow>

namespace {

// A drag by the user can send dozens of moves a second; each is put back. A window manager
// that insists on its own place would make that a loop, so after this many snaps within the
// burst period the window waits for the period to end before trying again.
constexpr int maxSnapsPerBurst = 30;
constexpr int burstPeriodMsec = 2000;
// Some window managers apply a move of their own after confirming ours; look again shortly
// after each snap.
constexpr int verifyDelayMsec = 150;
// A move back refused without a word is tried again after 150 ms, then 300 ms, ... up to
// 150 ms << 3 (1.2 s), for as long as the window manager keeps the window elsewhere.
constexpr int maxRefusalBackoff = 3;

} // namespace

MainWindow::MainWindow(QWidget *content, QWidget *parent)
    : QWidget(parent, windowFlagsForColumn), m_content(content)
{
    setWindowTitle(QStringLiteral("Lorvane"));
    setAccessibleName(QStringLiteral("Lorvane"));
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (m_content)
        layout->addWidget(m_content);

    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &MainWindow::quitRequested);
    auto *close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, &MainWindow::checkPlacement);

    m_canPlaceWindows = PlatformChoice::canPlaceWindows(QGuiApplication::platformName());
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        m_frameExtentsWatcher = new FrameExtentsWatcher(this);
        connect(m_frameExtentsWatcher, &FrameExtentsWatcher::frameExtentsChanged, this,
                [this] { scheduleCheck(); });
    }
}

void MainWindow::setFlags(Qt::WindowFlags flags)
{
    if (windowFlags() == flags)
        return;
    const bool wasVisible = isVisible();
    setWindowFlags(flags);
    if (wasVisible)
        show();
}

void MainWindow::setMovable(bool movable)
{
    m_movable = movable;
    if (!m_movable && !m_pinned.isValid())
        m_pinned = geometry();
    if (!m_movable) {
        withholdMoveAndResize();
        scheduleCheck();
    }
}

void MainWindow::setResizable(bool resizable)
{
    if (resizable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(m_pinned.isValid() ? m_pinned.size() : size());
    }
}

void MainWindow::pin(const QRect &geometry)
{
    if (m_movable) {
        m_movable = false;
        withholdMoveAndResize();
    }
    m_pinned = geometry;
    // A new place starts a new burst: what follows is not a fight with the window manager.
    m_burstClock.invalidate();
    setFixedSize(geometry.size());
    setGeometry(geometry);
}

QMargins MainWindow::frameMargins() const
{
    return m_knownFrame;
}

bool MainWindow::event(QEvent *event)
{
    const bool result = QWidget::event(event);
    switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        // The window manager has taken the window in hand by now; the decorations it
        // reports may have changed.
        checkFrameMargins();
        break;
    default:
        break;
    }
    return result;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        scheduleCheck();
        if (!m_firstFrameShown) {
            // The expose is painted and flushed right after this filter returns; report
            // once that has happened.
            m_firstFrameShown = true;
            QTimer::singleShot(0, this, &MainWindow::firstFrameShown);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!m_placing) {
        // Moved from outside: whoever moves it is active now, so the next refusal is
        // retried soon again.
        m_silentRefusals = 0;
        scheduleCheck();
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_placing)
        scheduleCheck();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Closing the window destroys its platform window; showing it again makes a new one.
    if (windowHandle() && m_watchedWindow != windowHandle()) {
        m_watchedWindow = windowHandle();
        m_watchedWindow->installEventFilter(this);
    }
    if (m_frameExtentsWatcher)
        m_frameExtentsWatcher->setWindow(winId());
    // Qt writes the window manager hints anew whenever it makes the native window.
    if (!m_movable)
        withholdMoveAndResize();
    scheduleCheck();
}

void MainWindow::withholdMoveAndResize()
{
    if (windowHandle() && X11WindowManager::isAvailable())
        X11WindowManager::withholdMoveAndResize(winId());
}

void MainWindow::scheduleCheck(int delayMsec)
{
    // Never act inside the event that reported the change: Qt is still updating its own
    // idea of the geometry there.
    if (!m_checkTimer.isActive() || m_checkTimer.remainingTime() > delayMsec)
        m_checkTimer.start(delayMsec);
}

void MainWindow::checkPlacement()
{
    checkFrameMargins();
    if (m_movable || !m_pinned.isValid() || !isVisible())
        return;
    if (learnActualPosition()) {
        // The last move back was refused without a word, as mutter does while it moves the
        // window itself: try again, a little later each time, until it takes.
        m_silentRefusals = std::min(m_silentRefusals + 1, maxRefusalBackoff);
        moveBack(verifyDelayMsec << m_silentRefusals);
        return;
    }
    if (isInPlace()) {
        m_silentRefusals = 0;
        return;
    }
    if (!m_burstClock.isValid() || m_burstClock.elapsed() > burstPeriodMsec) {
        m_burstClock.start();
        m_burstSnaps = 0;
    }
    if (m_burstSnaps >= maxSnapsPerBurst) {
        scheduleCheck(int(burstPeriodMsec - m_burstClock.elapsed()) + 1);
        return;
    }
    ++m_burstSnaps;
    moveBack(verifyDelayMsec);
}

void MainWindow::moveBack(int verifyAfterMsec)
{
    const QScopedValueRollback placing(m_placing, true);
    setFixedSize(m_pinned.size());
    setGeometry(m_pinned);
    scheduleCheck(verifyAfterMsec);
}

bool MainWindow::learnActualPosition()
{
    // Qt takes a position it asked for as granted. A window manager that refuses the request
    // without a word (mutter while the user drags the title bar) leaves Qt believing the window
    // is in place while it is elsewhere, and a move back to the same place would be a no-op.
    // Before the first expose the window manager has not framed the window yet.
    QWindow *window = windowHandle();
    const QScreen *screen = window ? window->screen() : nullptr;
    if (!screen || !window->isExposed())
        return false;
    const std::optional<QPoint> device = X11WindowManager::rootPosition(winId());
    if (!device)
        return false;
    // Qt keeps a screen's top-left corner the same in logical and device pixels and rounds
    // the offset from it.
    const QPoint origin = screen->geometry().topLeft();
    const qreal scale = screen->devicePixelRatio();
    const QPoint believed = origin + (QPointF(geometry().topLeft() - origin) * scale).toPoint();
    if (*device == believed)
        return false;
    const QScopedValueRollback placing(m_placing, true);
    setGeometry(QRect(origin + (QPointF(*device - origin) / scale).toPoint(), size()));
    return true;
}

bool MainWindow::isInPlace() const
{
    // Where the compositor places windows (Wayland), putting the window back is a fight
    // that cannot be won; only its size is ours.
    if (!m_canPlaceWindows)
        return size() == m_pinned.size();
    return geometry() == m_pinned;
}

void MainWindow::checkFrameMargins()
{
    // A window that is not on screen has no decorations yet: after a close the native
    // window is re-created, and until the window manager has framed it again it reports
    // none. Keep what was last seen on screen meanwhile, so that a reopened window goes
    // straight to its place.
    const QWindow *window = windowHandle();
    if (!window || !window->isExposed())
        return;
    const QMargins margins = window->frameMargins();
    if (margins == m_knownFrame)
        return;
    m_knownFrame = margins;
    emit frameMarginsChanged();
}
