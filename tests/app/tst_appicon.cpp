#include "app/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class TestAppIcon : public QObject
{
    Q_OBJECT

private slots:
    void accentDiscWithWhiteChecklist_data();
    void accentDiscWithWhiteChecklist();
};

void TestAppIcon::accentDiscWithWhiteChecklist_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("menu size") << 16;
    QTest::newRow("panel size") << 48;
    QTest::newRow("large") << 256;
}

void TestAppIcon::accentDiscWithWhiteChecklist()
{
    QFETCH(int, size);
    const QPixmap pixmap = AppIcon::icon().pixmap(size, size);
    QCOMPARE(pixmap.size(), QSize(size, size));
    const QImage image = pixmap.toImage();
    const auto at = [&](double x, double y) {
        return image.pixelColor(int(x * size / 256), int(y * size / 256));
    };

    // Corners are outside the disc.
    QCOMPARE(at(0, 0).alpha(), 0);
    QCOMPARE(at(255, 255).alpha(), 0);
    // Between two rows of the checklist: the accent colour.
    QCOMPARE(at(150, 108).rgb(), QColor(0x85, 0xa6, 0xf2).rgb());
    // On the middle row's bar: white.
    if (size >= 48)
        QCOMPARE(at(150, 128).rgb(), QColor(Qt::white).rgb());
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
