#include "app/WindowPlacement.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void columnGeometry_data();
    void columnGeometry();
    void emptyAreaGivesNothing();
    void scaledColumn_data();
    void scaledColumn();
    void scaledColumnOverManyScreens();
};

namespace {

// A screen as the window system has it, in device pixels: its geometry, the part of it
// left by panels and docks, the decorations round the window, and the scale Qt applies.
struct DeviceScreen
{
    QRect geometry;
    QRect available;
    QMargins frame;
    qreal scale = 1;
};

// Qt's conversions on one screen: positions relative to the screen's top-left corner and
// lengths are multiplied by the scale or by its inverse, then rounded.
int toLogical(int device, qreal scale)
{
    return qRound(device * (1.0 / scale));
}

int toDevice(int logical, qreal scale)
{
    return qRound(logical * scale);
}

// The window's outer frame in device pixels when the program asks for the column on a
// screen as Qt shows it in logical pixels.
QRect placedFrame(const DeviceScreen &screen)
{
    const QPoint origin = screen.geometry.topLeft();
    const qreal scale = screen.scale;
    const QRect available(origin.x() + toLogical(screen.available.x() - origin.x(), scale),
                          origin.y() + toLogical(screen.available.y() - origin.y(), scale),
                          toLogical(screen.available.width(), scale),
                          toLogical(screen.available.height(), scale));
    const QMargins frame(toLogical(screen.frame.left(), scale),
                         toLogical(screen.frame.top(), scale),
                         toLogical(screen.frame.right(), scale),
                         toLogical(screen.frame.bottom(), scale));
    const QRect client = WindowPlacement::columnGeometry(available, frame, scale, origin);
    const QRect device(origin.x() + toDevice(client.x() - origin.x(), scale),
                       origin.y() + toDevice(client.y() - origin.y(), scale),
                       toDevice(client.width(), scale), toDevice(client.height(), scale));
    return device.marginsAdded(screen.frame);
}

// The column in device pixels: 320 logical pixels wide, or the whole width when narrower.
QRect deviceColumn(const DeviceScreen &screen)
{
    const QRect &available = screen.available;
    const int width = std::min(toDevice(WindowPlacement::columnWidth, screen.scale),
                               available.width());
    return QRect(available.right() + 1 - width, available.top(), width, available.height());
}

QByteArray describe(const DeviceScreen &screen, const QRect &placed)
{
    const auto rect = [](const QRect &r) {
        return QByteArray::number(r.x()) + ',' + QByteArray::number(r.y()) + ' '
                + QByteArray::number(r.width()) + 'x' + QByteArray::number(r.height());
    };
    const QMargins &m = screen.frame;
    return "screen " + rect(screen.geometry) + " available " + rect(screen.available)
            + " frame " + QByteArray::number(m.left()) + ',' + QByteArray::number(m.top())
            + ',' + QByteArray::number(m.right()) + ',' + QByteArray::number(m.bottom())
            + " scale " + QByteArray::number(screen.scale) + ": placed " + rect(placed);
}

} // namespace

void TestWindowPlacement::columnGeometry_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QRect>("expected");

    const QMargins none;
    const QMargins openbox(1, 20, 1, 1);

    QTest::newRow("full HD, no decorations")
            << QRect(0, 0, 1920, 1080) << none << QRect(1600, 0, 320, 1080);
    QTest::newRow("panel along the top")
            << QRect(0, 27, 1920, 1053) << none << QRect(1600, 27, 320, 1053);
    QTest::newRow("dock along the right")
            << QRect(0, 0, 1856, 1080) << none << QRect(1536, 0, 320, 1080);
    QTest::newRow("primary to the right of another screen")
            << QRect(1920, 0, 2560, 1440) << none << QRect(4160, 0, 320, 1440);
    QTest::newRow("primary left of the origin")
            << QRect(-1280, -200, 1280, 1024) << none << QRect(-320, -200, 320, 1024);
    QTest::newRow("title bar and thin borders")
            << QRect(0, 0, 1280, 800) << openbox << QRect(961, 20, 318, 779);
    QTest::newRow("thick borders on a screen with a top panel")
            << QRect(0, 30, 1280, 770) << QMargins(4, 28, 4, 4)
            << QRect(964, 58, 312, 738);
    QTest::newRow("screen exactly as wide as the column")
            << QRect(0, 0, 320, 480) << none << QRect(0, 0, 320, 480);
    QTest::newRow("screen narrower than the column")
            << QRect(0, 0, 240, 320) << none << QRect(0, 0, 240, 320);
    QTest::newRow("narrow offset screen with decorations")
            << QRect(100, 50, 200, 100) << openbox << QRect(101, 70, 198, 79);
    QTest::newRow("decorations taller than the screen")
            << QRect(0, 0, 10, 10) << openbox << QRect(1, 9, 8, 1);
}

void TestWindowPlacement::columnGeometry()
{
    QFETCH(QRect, available);
    QFETCH(QMargins, frame);
    QFETCH(QRect, expected);

    const QRect geometry = WindowPlacement::columnGeometry(available, frame);
    QCOMPARE(geometry, expected);
    // Unscaled, where the screen's origin lies changes nothing.
    QCOMPARE(WindowPlacement::columnGeometry(available, frame, 1.0, QPoint(0, 0)), expected);
    QCOMPARE(WindowPlacement::columnGeometry(available, frame, 1.0, QPoint(-1920, 300)),
             expected);

    // The outer frame never leaves the available area, whatever the decorations.
    const QRect outer = WindowPlacement::columnFrame(available);
    QVERIFY(available.contains(outer));
    QCOMPARE(outer.right(), available.right());
    QVERIFY(outer.contains(geometry));
    if (outer.width() > frame.left() + frame.right()
        && outer.height() > frame.top() + frame.bottom())
        QCOMPARE(geometry.marginsAdded(frame), outer);
}

void TestWindowPlacement::emptyAreaGivesNothing()
{
    QVERIFY(WindowPlacement::columnGeometry(QRect(), QMargins()).isNull());
    QVERIFY(WindowPlacement::columnGeometry(QRect(0, 0, 0, 800), QMargins()).isNull());
    QVERIFY(WindowPlacement::columnFrame(QRect(10, 10, 1280, 0)).isNull());
}

void TestWindowPlacement::scaledColumn_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<qreal>("scale");
    // Whether the device figures allow the exact column; otherwise it must stay inside and
    // end at most two device pixels from each edge it belongs on.
    QTest::addColumn<bool>("exact");

    const QMargins none;
    const QMargins thin(1, 20, 1, 1);

    QTest::newRow("full HD at 1.5, decorations drawn at 1.5")
            << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1080) << QMargins(3, 30, 3, 3)
            << 1.5 << true;
    QTest::newRow("2732x1536 at 2, decorations drawn at 2")
            << QRect(0, 0, 2732, 1536) << QRect(0, 0, 2732, 1536) << QMargins(2, 40, 2, 2)
            << 2.0 << true;
    QTest::newRow("4K at 2 with a top panel")
            << QRect(0, 0, 3840, 2160) << QRect(0, 64, 3840, 2096) << QMargins(2, 48, 2, 2)
            << 2.0 << true;
    QTest::newRow("4K at 3 without decorations")
            << QRect(0, 0, 3840, 2160) << QRect(0, 0, 3840, 2160) << none << 3.0 << true;
    QTest::newRow("1280x800 at 1.5 without decorations")
            << QRect(0, 0, 1280, 800) << QRect(0, 0, 1280, 800) << none << 1.5 << true;
    QTest::newRow("second screen at 2, right of the first")
            << QRect(2560, 0, 2732, 1536) << QRect(2560, 0, 2732, 1536)
            << QMargins(2, 40, 2, 2) << 2.0 << true;
    QTest::newRow("screen above and left of the origin at 1.5")
            << QRect(-1920, -1080, 1920, 1080) << QRect(-1920, -1080, 1920, 1080)
            << QMargins(3, 30, 3, 3) << 1.5 << true;
    QTest::newRow("screen narrower than the column at 2")
            << QRect(0, 0, 500, 400) << QRect(0, 0, 500, 400) << none << 2.0 << true;
    QTest::newRow("1366x768 at 1.25, one-pixel borders")
            << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768) << thin << 1.25 << false;
    QTest::newRow("1366x768 at 1.5, one-pixel borders")
            << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768) << thin << 1.5 << false;
    QTest::newRow("1366x768 at 1.75, one-pixel borders")
            << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768) << thin << 1.75 << false;
    QTest::newRow("1366x768 at 2, one-pixel borders")
            << QRect(0, 0, 1366, 768) << QRect(0, 0, 1366, 768) << thin << 2.0 << false;
    QTest::newRow("1280x800 at 1.5, one-pixel borders")
            << QRect(0, 0, 1280, 800) << QRect(0, 0, 1280, 800) << thin << 1.5 << false;
    QTest::newRow("2560x1440 at 1.5 with a dock on the right")
            << QRect(0, 0, 2560, 1440) << QRect(0, 0, 2490, 1440) << QMargins(2, 36, 2, 2)
            << 1.5 << false;
    QTest::newRow("second screen at 1.25 with a bottom panel")
            << QRect(1920, 0, 1920, 1200) << QRect(1920, 0, 1920, 1152) << thin << 1.25
            << false;
}

void TestWindowPlacement::scaledColumn()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, available);
    QFETCH(QMargins, frame);
    QFETCH(qreal, scale);
    QFETCH(bool, exact);

    const DeviceScreen device{screen, available, frame, scale};
    const QRect placed = placedFrame(device);
    const QRect column = deviceColumn(device);
    QVERIFY2(available.contains(placed), describe(device, placed));
    if (exact) {
        QCOMPARE(placed, column);
        return;
    }
    QVERIFY2(column.right() - placed.right() <= 2, describe(device, placed));
    QVERIFY2(placed.top() - column.top() <= 2, describe(device, placed));
    QVERIFY2(column.bottom() - placed.bottom() <= 2, describe(device, placed));
    QVERIFY2(placed.left() - column.left() <= 2, describe(device, placed));
}

void TestWindowPlacement::scaledColumnOverManyScreens()
{
    // Screens, panels and decorations of even device sizes at scales up to 2: the frame is
    // always inside the available area and at most two device pixels short of the column.
    // Odd sizes cannot always be told from the even ones next to them once rounded: the
    // frame may then cross an edge, by two device pixels at most.
    QRandomGenerator random(20240611);
    const qreal scales[] = {1.0, 1.25, 1.5, 1.75, 2.0};
    for (const qreal scale : scales) {
        for (int i = 0; i < 10000; ++i) {
            const bool even = i % 2 == 0;
            const auto size = [&random, even](int low, int high) {
                const int value = random.bounded(low, high);
                return even ? value & ~1 : value;
            };
            const QRect geometry(size(-4000, 4000), size(-2000, 2000), size(300, 4000),
                                 size(300, 2400));
            const int top = random.bounded(3) == 0 ? size(0, 80) : 0;
            const int right = random.bounded(3) == 0 ? size(0, 120) : 0;
            const int bottom = random.bounded(3) == 0 ? size(0, 80) : 0;
            const QRect available = geometry.adjusted(0, top, -right, -bottom);
            const int border = size(0, 6);
            const QMargins frame(border, size(0, 60), border, border);
            const DeviceScreen device{geometry, available, frame, scale};

            const QRect placed = placedFrame(device);
            const QRect column = deviceColumn(device);
            const int allowed = even || scale == 1.0 ? 0 : 2;
            QVERIFY2(available.marginsAdded(QMargins(allowed, allowed, allowed, allowed))
                             .contains(placed),
                     describe(device, placed));
            const int slack = scale == 1.0 ? 0 : 2 + allowed;
            QVERIFY2(std::abs(column.right() - placed.right()) <= slack,
                     describe(device, placed));
            QVERIFY2(std::abs(placed.top() - column.top()) <= slack, describe(device, placed));
            QVERIFY2(std::abs(column.bottom() - placed.bottom()) <= slack,
                     describe(device, placed));
            QVERIFY2(std::abs(placed.left() - column.left()) <= slack,
                     describe(device, placed));
        }
    }
}

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
