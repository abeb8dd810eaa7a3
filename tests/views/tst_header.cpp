#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Theme.h"
#include "views/CountCapsule.h"
#include "views/HeaderView.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

class TestHeader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pendingText_data();
    void pendingText();
    void countShownOnlyWithOpenTasks();
    void settingsButton();
    void settingsColourAnimatesWithTheTransaction();
};

void TestHeader::initTestCase()
{
    Motion::setAnimationsEnabled(false);
}

void TestHeader::pendingText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << 0 << "";
    QTest::newRow("one") << 1 << "1 pendiente";
    QTest::newRow("two") << 2 << "2 pendientes";
    QTest::newRow("eleven") << 11 << "11 pendientes";
    QTest::newRow("thousands without separator") << 1234 << "1234 pendientes";
}

void TestHeader::pendingText()
{
    QFETCH(int, count);
    QFETCH(QString, text);
    QCOMPARE(HeaderView::pendingText(count), text);
}

void TestHeader::countShownOnlyWithOpenTasks()
{
    HeaderView header;
    header.resize(320, header.sizeHint().height());
    header.show();
    QVERIFY(QTest::qWaitForWindowExposed(&header));
    PlainButton *button = header.settingsButton();
    const QRect buttonAtEnd = button->geometry();
    CountCapsule *count = header.countCapsule();
    QVERIFY(!count->isVisible());

    header.setPendingCount(3);
    QVERIFY(count->isVisible());
    QCOMPARE(count->text(), QStringLiteral("3 pendientes"));
    QCOMPARE(count->accessibleName(), QStringLiteral("3 pendientes"));

    header.setPendingCount(1);
    QCOMPARE(count->text(), QStringLiteral("1 pendiente"));

    header.setPendingCount(0);
    QVERIFY(!count->isVisible());
    // The settings button stays at the trailing edge with or without the count.
    QApplication::processEvents();
    QCOMPARE(button->geometry(), buttonAtEnd);
    QCOMPARE(button->geometry().right(), header.width() - 1 - 16);
}

void TestHeader::settingsButton()
{
    HeaderView header;
    header.show();
    QVERIFY(QTest::qWaitForWindowExposed(&header));
    PlainButton *button = header.settingsButton();
    QCOMPARE(button->accessibleName(), QStringLiteral("Ajustes"));

    QSignalSpy clicked(&header, &HeaderView::settingsButtonClicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    // The header does not toggle by itself; its owner says whether the panel is shown.
    QCOMPARE(button->color(), Theme::of(&header).secondary());

    header.setSettingsShown(true);
    QCOMPARE(button->color(), Theme::accent());
    header.setSettingsShown(false);
    QCOMPARE(button->color(), Theme::of(&header).secondary());
}

void TestHeader::settingsColourAnimatesWithTheTransaction()
{
    Motion::setAnimationsEnabled(true);
    const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });

    HeaderView header;
    header.show();
    QVERIFY(QTest::qWaitForWindowExposed(&header));
    PlainButton *button = header.settingsButton();
    const QImage before = button->grab().toImage();

    Motion::withAnimation(Animation::easeInOut(0.2), [&] { header.setSettingsShown(true); });
    // The target colour is set at once; what is drawn gets there over the transaction.
    QCOMPARE(button->color(), Theme::accent());
    QCOMPARE(button->grab().toImage(), before);
    QTRY_VERIFY(button->grab().toImage() != before);
}

QTEST_MAIN(TestHeader)
#include "tst_header.moc"
