#include "app/WindowPlacement.h"

#include <QTest>

#include <algorithm>

namespace {

int toLogical(int device, qreal scale)
{
    return qRound(device * (1.0 / scale));
}
int toDevice(int logical, qreal scale)
{
    return qRound(logical * scale);
}

// Qt's conversions on a scaled screen: positions relative to the screen's top-left corner
// and lengths are multiplied by the scale or its inverse, then rounded. Returns the
// window's outer frame in device pixels when the column is asked for in logical pixels.
QRect placedFrame(const QRect &screen, const QRect &available, const QMargins &frame, qreal scale)
{
    const QPoint origin = screen.topLeft();
    const QRect logicalArea(origin.x() + toLogical(available.x() - origin.x(), scale),
                            origin.y() + toLogical(available.y() - origin.y(), scale),
                            toLogical(available.width(), scale),
                            toLogical(available.height(), scale));
    const QMargins logicalFrame(toLogical(frame.left(), scale), toLogical(frame.top(), scale),
                                toLogical(frame.right(), scale), toLogical(frame.bottom(), scale));
    const QRect client = WindowPlacement::columnGeometry(logicalArea, logicalFrame, scale, origin);
    const QRect device(origin.x() + toDevice(client.x() - origin.x(), scale),
                       origin.y() + toDevice(client.y() - origin.y(), scale),
                       toDevice(client.width(), scale), toDevice(client.height(), scale));
    return device.marginsAdded(frame);
}

} // namespace

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void scaledColumn_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<qreal>("scale");
        // Whether the device figures allow the exact column; otherwise it must stay inside and
        // end at most two device pixels from each edge it belongs on.
        QTest::addColumn<bool>("exact");

        const auto row = [](const char *name, QRect screen, QRect available, QMargins frame,
                            qreal scale, bool exact) {
            QTest::newRow(name) << screen << available << frame << scale << exact;
        };
        const QMargins none, thin(1, 20, 1, 1), wide(3, 30, 3, 3);
        const QRect fullHd(0, 0, 1920, 1080), laptop(0, 0, 1366, 768),
            left(-1280, -200, 1280, 1024), small(0, 0, 240, 320), above(-1920, -1080, 1920, 1080),
            narrow(0, 0, 500, 400);
        row("panel along the top", fullHd, QRect(0, 27, 1920, 1053), none, 1.0, true);
        row("primary left of the origin, title bar and thin borders", left, left, thin, 1.0, true);
        row("screen narrower than the column", small, small, thin, 1.0, true);
        row("full HD at 1.5, decorations drawn at 1.5", fullHd, fullHd, wide, 1.5, true);
        row("4K at 2 with a top panel", QRect(0, 0, 3840, 2160), QRect(0, 64, 3840, 2096),
            QMargins(2, 48, 2, 2), 2.0, true);
        row("screen above and left of the origin at 1.5", above, above, wide, 1.5, true);
        row("screen narrower than the column at 2", narrow, narrow, none, 2.0, true);
        row("1366x768 at 1.25, one-pixel borders", laptop, laptop, thin, 1.25, false);
        row("2560x1440 at 1.5 with a dock on the right", QRect(0, 0, 2560, 1440),
            QRect(0, 0, 2490, 1440), QMargins(2, 36, 2, 2), 1.5, false);
        row("second screen at 1.25 with a bottom panel", QRect(1920, 0, 1920, 1200),
            QRect(1920, 0, 1920, 1152), thin, 1.25, false);
    }

    void scaledColumn()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, available);
        QFETCH(QMargins, frame);
        QFETCH(qreal, scale);
        QFETCH(bool, exact);

        const QRect placed = placedFrame(screen, available, frame, scale);
        // The column in device pixels: 320 logical pixels wide, or the whole width if narrower.
        const int width =
            std::min(toDevice(WindowPlacement::columnWidth, scale), available.width());
        const QRect column(available.right() + 1 - width, available.top(), width,
                           available.height());
        QVERIFY(available.contains(placed));
        if (exact) {
            QCOMPARE(placed, column);
            return;
        }
        QVERIFY(column.right() - placed.right() <= 2 && placed.top() - column.top() <= 2);
        QVERIFY(column.bottom() - placed.bottom() <= 2 && placed.left() - column.left() <= 2);
    }
};

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
