#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <QWindow>

class FrameExtentsWatcher;

// The one top-level window. It shows a content widget edge to edge and can be pinned: once
// pinned, any move or resize that does not come from pin() is undone at once, since X11
// window managers let the user drag any window by its title bar.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    // Title, system menu, minimise and close; no maximise button.
    static constexpr Qt::WindowFlags windowFlagsForColumn =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

    // Takes ownership of content.
    explicit MainWindow(QWidget *content, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }

    // Sets the window flags only when they differ: changing them re-creates the native
    // window and hides it, so a visible window is shown again afterwards.
    void setFlags(Qt::WindowFlags flags);
    // Keeps the window at its current place and size (or at the pinned one) from now on.
    void setMovable(bool movable);
    bool isMovable() const { return m_movable; }
    // Fixes the size, so that the window manager offers no resizing.
    void setResizable(bool resizable);

    // Places the client area (decorations excluded) at geometry, fixes the size there and
    // makes the window immovable.
    void pin(const QRect &geometry);
    QRect pinnedGeometry() const { return m_pinned; }

    // The decoration sizes the window manager last reported while the window was on
    // screen; none before that, or without a window manager.
    QMargins frameMargins() const;

signals:
    // The window manager reported other decoration sizes: the place must be computed again.
    void frameMarginsChanged();
    void quitRequested();
    // The window's first frame has been drawn and handed to the window system.
    void firstFrameShown();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void scheduleCheck(int delayMsec = 0);
    void checkPlacement();
    void moveBack(int verifyAfterMsec);
    bool isInPlace() const;
    // Whether the X server had the window elsewhere than Qt believed (Qt now knows).
    bool learnActualPosition();
    void withholdMoveAndResize();
    void checkFrameMargins();

    QWidget *m_content = nullptr;
    FrameExtentsWatcher *m_frameExtentsWatcher = nullptr;
    bool m_movable = true;
    bool m_canPlaceWindows = true;
    QRect m_pinned;
    QMargins m_knownFrame;
    QPointer<QWindow> m_watchedWindow;
    bool m_firstFrameShown = false;

    QTimer m_checkTimer;
    QElapsedTimer m_burstClock;
    int m_burstSnaps = 0;
    int m_silentRefusals = 0;
    bool m_placing = false; // the window's own moves are no news
};
