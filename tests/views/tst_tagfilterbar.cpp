// The tag strip: one chip per tag in the given order, each kept across updates; the chip of
// the selected tag is drawn selected whatever the case; a click reports the chip and its
// drawn state, and the owner's answer selects, moves or clears the selection; the strip
// scrolls sideways by wheel and by drag, and a drag clicks nothing.
#include "toolkit/Motion.h"
#include "views/TagChip.h"
#include "views/TagFilterBar.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <optional>

namespace {

const QStringList manyTags{"casa",   "compras", "deporte", "familia", "lectura",
                           "música", "salud",   "trabajo", "viajes",  "zapatería"};

bool showBar(TagFilterBar &bar, const QStringList &tags)
{
    bar.setState(tags, std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    bar.activateWindow();
    return QTest::qWaitForWindowActive(&bar);
}

} // namespace

class TestTagFilterBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Motion::setAnimationsEnabled(false); }
    // Starting from chips for casa and compras, the bar is given a new state.
    void chips_data()
    {
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<std::optional<QString>>("selected");
        QTest::addColumn<int>("selectedChip");
        const QStringList tags{"casa", "compras", "Trabajo"};
        QTest::newRow("no filter") << tags << std::optional<QString>() << -1;
        QTest::newRow("same spelling") << tags << std::optional<QString>("compras") << 1;
        QTest::newRow("capitals selected, small chip")
            << tags << std::optional<QString>("COMPRAS") << 1;
        QTest::newRow("small selected, capital chip")
            << tags << std::optional<QString>("trabajo") << 2;
        QTest::newRow("prefix is not equal") << tags << std::optional<QString>("casas") << -1;
        QTest::newRow("a new tag in the middle")
            << QStringList{"casa", "cine", "compras"} << std::optional<QString>("cine") << 1;
        QTest::newRow("last task with the selected tag gone")
            << QStringList{"compras"} << std::optional<QString>("Casa") << -1;
    }
    void chips()
    {
        QFETCH(QStringList, tags);
        QFETCH(std::optional<QString>, selected);
        QFETCH(int, selectedChip);
        TagFilterBar bar;
        bar.setState({"casa", "compras"}, std::nullopt);
        const QList<TagChip *> before = bar.chips();

        bar.setState(tags, selected);
        const QList<TagChip *> chips = bar.chips();
        QCOMPARE(chips.size(), tags.size());
        for (int i = 0; i < chips.size(); ++i) {
            QCOMPARE(chips[i]->tag(), tags[i]);
            QCOMPARE(chips[i]->isSelected(), i == selectedChip);
            // A chip whose tag stays in use is kept, not rebuilt.
            const int old = QStringList{"casa", "compras"}.indexOf(tags[i]);
            if (old >= 0)
                QCOMPARE(chips[i], before[old]);
        }
    }

    void clicksSelectMoveAndClear()
    {
        const QStringList tags{"casa", "compras", "trabajo"};
        TagFilterBar bar;
        QVERIFY(showBar(bar, tags));
        QList<std::pair<QString, bool>> clicks;
        connect(&bar, &TagFilterBar::chipClicked, this, [&](const QString &tag, bool wasSelected) {
            clicks.append({tag, wasSelected});
        });
        // On its own the bar changes nothing: its owner decides.
        QTest::mouseClick(bar.chips().at(0), Qt::LeftButton);
        QVERIFY(!bar.chips().at(0)->isSelected());

        std::optional<QString> selected;
        connect(&bar, &TagFilterBar::chipClicked, this, [&](const QString &tag, bool wasSelected) {
            selected = wasSelected ? std::nullopt : std::optional<QString>(tag);
            bar.setState(tags, selected);
        });
        for (const int chip : {0, 2, 2})
            QTest::mouseClick(bar.chips().at(chip), Qt::LeftButton);
        const QList<std::pair<QString, bool>> expected{
            {"casa", false}, {"casa", false}, {"trabajo", false}, {"trabajo", true}};
        QCOMPARE(clicks, expected);
        QCOMPARE(selected, std::nullopt);
        for (const TagChip *chip : bar.chips())
            QVERIFY(!chip->isSelected());
    }

    void wheel_data()
    {
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("vertical wheel over a chip") << manyTags << QPoint(0, -120) << true;
        QTest::newRow("horizontal wheel over a chip") << manyTags << QPoint(-120, 0) << true;
        QTest::newRow("everything fits")
            << QStringList{"casa", "compras"} << QPoint(0, -240) << false;
    }
    void wheel()
    {
        QFETCH(QStringList, tags);
        QFETCH(QPoint, angle);
        QFETCH(bool, scrolls);
        TagFilterBar bar;
        QVERIFY(showBar(bar, tags));
        QVERIFY(!bar.scrollArea()->horizontalScrollBar()->isVisible());

        // Over a chip: the chip does not take the wheel, the strip does.
        QWidget *target = bar.chips().at(1);
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        const auto turn = [&](const QPoint &by) {
            QWheelEvent event(at, target->mapToGlobal(at), QPoint(), by, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
        };
        turn(angle);
        QCOMPARE(bar.scrollOffset() > 0, scrolls);
        turn(-angle);
        QCOMPARE(bar.scrollOffset(), 0);
    }

    void dragScrollsWithoutClicking()
    {
        TagFilterBar bar;
        QVERIFY(showBar(bar, manyTags));
        QSignalSpy clicked(&bar, &TagFilterBar::chipClicked);

        // The chip keeps the mouse while it moves; positions are reckoned in the bar, which
        // stays put.
        TagChip *chip = bar.chips().at(2);
        const QPoint start = chip->mapTo(&bar, QPoint(chip->width() / 2, chip->height() / 2));
        QTest::mousePress(chip, Qt::LeftButton, Qt::NoModifier, chip->mapFrom(&bar, start));
        for (int dx = 10; dx <= 80; dx += 10)
            QTest::mouseMove(chip, chip->mapFrom(&bar, start - QPoint(dx, 0)));
        QTest::mouseRelease(chip, Qt::LeftButton, Qt::NoModifier,
                            chip->mapFrom(&bar, start - QPoint(80, 0)));
        QCOMPARE(bar.scrollOffset(), 80);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!chip->isDown());

        // A click that barely moves is still a click.
        QTest::mousePress(chip, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
        QTest::mouseMove(chip, QPoint(12, 5));
        QTest::mouseRelease(chip, Qt::LeftButton, Qt::NoModifier, QPoint(12, 5));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(bar.scrollOffset(), 80);
    }
};

QTEST_MAIN(TestTagFilterBar)
#include "tst_tagfilterbar.moc"
