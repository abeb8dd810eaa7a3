#include "toolkit/Motion.h"
#include "toolkit/Theme.h"
#include "views/TagChip.h"
#include "views/TagFilterBar.h"

#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <optional>

class TestTagFilterBar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chipsFollowTheTags();
    void selection_data();
    void selection();
    void selectedChipColours();
    void clickReportsTheDrawnState();
    void selectMoveAndClear();
    void filterSurvivesTheLossOfItsTag();
    void insets();
    void wheelScrollsSideways_data();
    void wheelScrollsSideways();
    void wheelDoesNothingWhenEverythingFits();
    void dragScrollsWithoutClicking();
    void focusedChipScrollsIntoView();
    void colourChangeFollowsTheTransaction();

private:
    static QStringList manyTags();
};

void TestTagFilterBar::initTestCase()
{
    Motion::setAnimationsEnabled(false);
}

QStringList TestTagFilterBar::manyTags()
{
    return {"casa", "compras", "deporte", "familia", "lectura", "música", "salud",
            "trabajo", "viajes", "zapatería"};
}

static QStringList chipTags(const TagFilterBar &bar)
{
    QStringList tags;
    for (const TagChip *chip : bar.chips())
        tags.append(chip->tag());
    return tags;
}

void TestTagFilterBar::chipsFollowTheTags()
{
    TagFilterBar bar;
    bar.setState({"casa", "Compras", "trabajo"}, std::nullopt);
    QCOMPARE(chipTags(bar), (QStringList{"casa", "Compras", "trabajo"}));
    TagChip *casa = bar.chips().at(0);
    QCOMPARE(casa->accessibleName().isEmpty() ? casa->text() : casa->accessibleName(),
             QStringLiteral("casa"));
    QVERIFY(casa->isCheckable());

    // A tag that comes into use gets its chip in list order; a chip keeps its identity.
    bar.setState({"casa", "cine", "Compras", "trabajo"}, std::nullopt);
    QCOMPARE(chipTags(bar), (QStringList{"casa", "cine", "Compras", "trabajo"}));
    QCOMPARE(bar.chips().at(0), casa);

    bar.setState({"Compras"}, std::nullopt);
    QCOMPARE(chipTags(bar), QStringList{"Compras"});
}

void TestTagFilterBar::selection_data()
{
    QTest::addColumn<std::optional<QString>>("selected");
    QTest::addColumn<int>("selectedChip");

    QTest::newRow("no filter") << std::optional<QString>() << -1;
    QTest::newRow("same spelling") << std::optional<QString>("compras") << 1;
    QTest::newRow("capitals selected, small chip") << std::optional<QString>("COMPRAS") << 1;
    QTest::newRow("small selected, capital chip") << std::optional<QString>("trabajo") << 2;
    QTest::newRow("tag with no chip") << std::optional<QString>("cine") << -1;
    QTest::newRow("prefix is not equal") << std::optional<QString>("casas") << -1;
}

void TestTagFilterBar::selection()
{
    QFETCH(std::optional<QString>, selected);
    QFETCH(int, selectedChip);

    TagFilterBar bar;
    bar.setState({"casa", "compras", "Trabajo"}, selected);
    const QList<TagChip *> chips = bar.chips();
    for (int i = 0; i < chips.size(); ++i)
        QCOMPARE(chips[i]->isSelected(), i == selectedChip);
}

void TestTagFilterBar::selectedChipColours()
{
    TagFilterBar bar;
    bar.setState({"casa", "compras"}, QStringLiteral("casa"));
    const TagChip *selected = bar.chips().at(0);
    const TagChip *other = bar.chips().at(1);
    QCOMPARE(selected->textColor(), Theme::white());
    QCOMPARE(selected->fillColor(), Theme::tagColor("casa"));
    QCOMPARE(other->textColor(), Theme::tagColor("compras"));
    QCOMPARE(other->fillColor(), Theme::tagColor("compras", 0.15));
}

void TestTagFilterBar::clickReportsTheDrawnState()
{
    Motion::setAnimationsEnabled(true);
    const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });

    TagFilterBar bar;
    bar.resize(320, bar.sizeHint().height());
    bar.setState({"casa", "compras"}, QStringLiteral("compras"));
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    QList<std::pair<QString, bool>> clicks;
    std::optional<Animation> during;
    connect(&bar, &TagFilterBar::chipClicked, this, [&](const QString &tag, bool wasSelected) {
        clicks.append({tag, wasSelected});
        during = Motion::current();
    });
    QTest::mouseClick(bar.chips().at(0), Qt::LeftButton);
    QTest::mouseClick(bar.chips().at(1), Qt::LeftButton);
    QCOMPARE(clicks, (QList<std::pair<QString, bool>>{{"casa", false}, {"compras", true}}));
    QVERIFY(during.has_value());
    QCOMPARE(during->kind, Animation::Kind::EaseInOut);
    QCOMPARE(during->seconds, 0.2);
    // The bar does not change its own selection; its owner does.
    QVERIFY(bar.chips().at(1)->isSelected());
    QVERIFY(!bar.chips().at(0)->isSelected());
}

// The owner's side: the click toggles the filter and the bar is told the new state.
void TestTagFilterBar::selectMoveAndClear()
{
    TagFilterBar bar;
    const QStringList tags{"casa", "compras", "trabajo"};
    std::optional<QString> selected;
    connect(&bar, &TagFilterBar::chipClicked, this, [&](const QString &tag, bool wasSelected) {
        if (wasSelected)
            selected.reset();
        else
            selected = tag;
        bar.setState(tags, selected);
    });
    bar.setState(tags, selected);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    QTest::mouseClick(bar.chips().at(0), Qt::LeftButton);
    QCOMPARE(selected, std::optional<QString>("casa"));
    QVERIFY(bar.chips().at(0)->isSelected());

    QTest::mouseClick(bar.chips().at(2), Qt::LeftButton);
    QCOMPARE(selected, std::optional<QString>("trabajo"));
    QVERIFY(!bar.chips().at(0)->isSelected());
    QVERIFY(bar.chips().at(2)->isSelected());

    QTest::mouseClick(bar.chips().at(2), Qt::LeftButton);
    QCOMPARE(selected, std::nullopt);
    for (const TagChip *chip : bar.chips())
        QVERIFY(!chip->isSelected());
}

void TestTagFilterBar::filterSurvivesTheLossOfItsTag()
{
    TagFilterBar bar;
    bar.setState({"casa", "compras"}, QStringLiteral("Casa"));
    QVERIFY(bar.chips().at(0)->isSelected());
    // The last task with the tag is gone: no chip is selected, and clicking a remaining chip
    // reports it as not selected.
    bar.setState({"compras"}, QStringLiteral("Casa"));
    QCOMPARE(chipTags(bar), QStringList{"compras"});
    QVERIFY(!bar.chips().at(0)->isSelected());
    QSignalSpy clicked(&bar, &TagFilterBar::chipClicked);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QTest::mouseClick(bar.chips().at(0), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(1).toBool(), false);
    // The tag coming back brings its chip back selected.
    bar.setState({"casa", "compras"}, QStringLiteral("Casa"));
    QVERIFY(bar.chips().at(0)->isSelected());
}

void TestTagFilterBar::insets()
{
    TagFilterBar bar;
    bar.setState({"casa", "compras"}, std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const TagChip *first = bar.chips().at(0);
    const TagChip *second = bar.chips().at(1);
    QCOMPARE(first->x(), 16);
    QCOMPARE(first->y(), 8);
    QCOMPARE(second->x(), first->geometry().right() + 1 + 6);
    QCOMPARE(bar.height(), first->height() + 16);
    const qreal text = QFontMetricsF(first->font()).horizontalAdvance(QStringLiteral("casa"));
    QCOMPARE(first->width(), int(std::ceil(text)) + 20);
}

void TestTagFilterBar::wheelScrollsSideways_data()
{
    QTest::addColumn<QPoint>("angle");
    QTest::newRow("vertical wheel") << QPoint(0, -120);
    QTest::newRow("horizontal wheel") << QPoint(-120, 0);
}

void TestTagFilterBar::wheelScrollsSideways()
{
    QFETCH(QPoint, angle);

    TagFilterBar bar;
    bar.setState(manyTags(), std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QVERIFY(bar.scrollArea()->horizontalScrollBar()->maximum() > 0);
    QVERIFY(!bar.scrollArea()->horizontalScrollBar()->isVisible());
    QCOMPARE(bar.scrollOffset(), 0);

    // Over a chip: the chip does not take the wheel, the strip does.
    QWidget *target = bar.chips().at(1);
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent down(at, target->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &down);
    const int scrolled = bar.scrollOffset();
    QVERIFY(scrolled > 0);

    QWheelEvent up(at, target->mapToGlobal(at), QPoint(), -angle, Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &up);
    QCOMPARE(bar.scrollOffset(), 0);
}

void TestTagFilterBar::wheelDoesNothingWhenEverythingFits()
{
    TagFilterBar bar;
    bar.setState({"casa"}, std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QWidget *viewport = bar.scrollArea()->viewport();
    const QPointF at(200, 10);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QCOMPARE(bar.scrollOffset(), 0);
    QCOMPARE(bar.chips().at(0)->x(), 16);
}

void TestTagFilterBar::dragScrollsWithoutClicking()
{
    TagFilterBar bar;
    bar.setState(manyTags(), std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QSignalSpy clicked(&bar, &TagFilterBar::chipClicked);

    // The chip keeps the mouse while it moves; positions are reckoned in the bar, which
    // stays put.
    TagChip *chip = bar.chips().at(2);
    const QPoint start = chip->mapTo(&bar, QPoint(chip->width() / 2, chip->height() / 2));
    QTest::mousePress(chip, Qt::LeftButton, Qt::NoModifier, chip->mapFrom(&bar, start));
    QVERIFY(chip->isDown());
    for (int dx = 10; dx <= 80; dx += 10)
        QTest::mouseMove(chip, chip->mapFrom(&bar, start - QPoint(dx, 0)));
    QTest::mouseRelease(chip, Qt::LeftButton, Qt::NoModifier,
                        chip->mapFrom(&bar, start - QPoint(80, 0)));
    QCOMPARE(bar.scrollOffset(), 80);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(!chip->isDown());

    // A click that barely moves is still a click.
    TagChip *other = bar.chips().at(3);
    const QPoint centre(other->width() / 2, other->height() / 2);
    QTest::mousePress(other, Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseMove(other, centre + QPoint(2, 0));
    QTest::mouseRelease(other, Qt::LeftButton, Qt::NoModifier, centre + QPoint(2, 0));
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toString(), other->tag());
    QCOMPARE(bar.scrollOffset(), 80);
}

void TestTagFilterBar::focusedChipScrollsIntoView()
{
    TagFilterBar bar;
    bar.setState(manyTags(), std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    bar.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&bar));
    TagChip *last = bar.chips().last();
    QVERIFY(last->mapTo(&bar, QPoint(last->width(), 0)).x() > bar.width());
    last->setFocus(Qt::TabFocusReason);
    QVERIFY(bar.scrollOffset() > 0);
    QVERIFY(last->mapTo(&bar, QPoint(last->width(), 0)).x() <= bar.width());
}

void TestTagFilterBar::colourChangeFollowsTheTransaction()
{
    Motion::setAnimationsEnabled(true);
    const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });

    TagFilterBar bar;
    bar.setState({"casa", "compras"}, std::nullopt);
    bar.resize(320, bar.sizeHint().height());
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    TagChip *chip = bar.chips().at(0);

    Motion::withAnimation(Animation::easeInOut(0.2),
                          [&] { bar.setState({"casa", "compras"}, QStringLiteral("casa")); });
    QVERIFY(chip->isSelected());
    QCOMPARE(chip->selection(), 0.0);
    QTRY_COMPARE(chip->selection(), 1.0);

    // Outside a transaction the change is immediate.
    bar.setState({"casa", "compras"}, std::nullopt);
    QCOMPARE(chip->selection(), 0.0);
}

QTEST_MAIN(TestTagFilterBar)
#include "tst_tagfilterbar.moc"
