#include "app/WindowPlacement.h"

#include <QTest>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void columnGeometry_data();
    void columnGeometry();
    void emptyAreaGivesNothing();
};

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

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
