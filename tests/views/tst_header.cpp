// The header: the open-task count reads "1 pendiente" / "N pendientes" (whether it is
// shown, and for which tasks, is tested with ContentView); the settings button reports
// clicks and is marked while its owner says the panel is shown, never by itself.
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "views/HeaderView.h"

#include <QSignalSpy>
#include <QTest>

class TestHeader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Motion::setAnimationsEnabled(false); }
    void pendingCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");

        QTest::newRow("none") << 0 << "";
        QTest::newRow("one") << 1 << "1 pendiente";
        QTest::newRow("two") << 2 << "2 pendientes";
        QTest::newRow("thousands without separator") << 1234 << "1234 pendientes";
    }
    void pendingCount()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(HeaderView::pendingText(count), text);
    }

    void settingsButton()
    {
        HeaderView header;
        header.show();
        QVERIFY(QTest::qWaitForWindowExposed(&header));
        PlainButton *button = header.settingsButton();
        const QColor resting = button->color();
        QSignalSpy clicked(&header, &HeaderView::settingsButtonClicked);

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(button->color(), resting);

        header.setSettingsShown(true);
        QVERIFY(button->color() != resting);
        header.setSettingsShown(false);
        QCOMPARE(button->color(), resting);
    }
};

QTEST_MAIN(TestHeader)
#include "tst_header.moc"
