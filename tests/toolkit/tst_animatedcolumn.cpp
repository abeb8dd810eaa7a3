#include "toolkit/AnimatedColumn.h"
#include "toolkit/Motion.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

namespace {

// An item of a fixed height, or with a height that depends on its width, that counts how
// often it is asked for its height and how often it is moved or resized.
class Item : public QWidget
{
public:
    explicit Item(int height, bool byWidth = false) : m_height(height), m_byWidth(byWidth) {}

    void setHeight(int height)
    {
        m_height = height;
        updateGeometry();
    }

    bool hasHeightForWidth() const override { return m_byWidth; }
    int heightForWidth(int width) const override
    {
        ++questions;
        // Like wrapped text: half the width gives twice the height.
        return m_height * 300 / qMax(1, width);
    }
    QSize sizeHint() const override
    {
        if (!m_byWidth)
            ++questions;
        return {50, m_height};
    }

    mutable int questions = 0;
    int moves = 0;

protected:
    void moveEvent(QMoveEvent *) override { ++moves; }
    void resizeEvent(QResizeEvent *) override { ++moves; }

private:
    int m_height;
    bool m_byWidth;
};

QVariantAnimation *animationOf(AnimatedColumn &column)
{
    return column.findChild<QVariantAnimation *>();
}

// Holds the column's running animation at `fraction` of its duration.
void holdAt(AnimatedColumn &column, qreal fraction)
{
    QVariantAnimation *animation = animationOf(column);
    QVERIFY(animation);
    QVERIFY(column.isAnimating());
    animation->pause();
    animation->setCurrentTime(int(animation->duration() * fraction));
}

// Lets the held animation run to its end.
void finish(AnimatedColumn &column)
{
    QVariantAnimation *animation = animationOf(column);
    if (animation->state() == QAbstractAnimation::Paused)
        animation->resume();
    if (column.isAnimating()) {
        QSignalSpy finished(&column, &AnimatedColumn::animationFinished);
        QVERIFY(finished.wait(2000));
    }
}

qreal opacityOf(QWidget *item)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(item->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

const Animation ease = Animation::easeInOut(0.2);

} // namespace

class TestAnimatedColumn : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stacksItemsFullWidth_data();
    void stacksItemsFullWidth();
    void stretchItemTakesLeftOverHeight();
    void changesOutsideTransactionAreImmediate();
    void movesGlideInsideTransaction();
    void insertionFadesIn_data();
    void insertionFadesIn();
    void removalFadesOutThenHides_data();
    void removalFadesOutThenHides();
    void removedThenAddedBackDuringFadeOut_data();
    void removedThenAddedBackDuringFadeOut();
    void removedWhileStillFadingIn_data();
    void removedWhileStillFadingIn();
    void deletesRemovedItems_data();
    void deletesRemovedItems();
    void newTransactionContinuesFromWhereItemsAre();
    void changeOutsideTransactionRetargetsWithoutJump();
    void itemSizeChangeRelaysOut();
    void asksEachItemOncePerPass();
    void touchesOnlyItemsThatMove();
    void growsInsideScrollArea();
    void deletedItemLeavesTheColumn_data();
    void deletedItemLeavesTheColumn();
    void onlyItemsNearTheVisiblePartAreShown();
    void filledBeforeFirstShown_data();
    void randomChangesSettle_data();
    void randomChangesSettle();
    void filledBeforeFirstShown();

private:
    AnimatedColumn *m_column = nullptr;
};

void TestAnimatedColumn::init()
{
    Motion::setAnimationsEnabled(true);
    m_column = new AnimatedColumn;
    m_column->resize(300, 600);
    m_column->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_column));
}

void TestAnimatedColumn::cleanup()
{
    delete m_column;
    m_column = nullptr;
}

void TestAnimatedColumn::stacksItemsFullWidth_data()
{
    QTest::addColumn<bool>("byWidth");
    QTest::addColumn<int>("paddingTop");
    QTest::addColumn<int>("paddingBottom");
    QTest::newRow("size hints") << false << 0 << 0;
    QTest::newRow("heights for the width") << true << 0 << 0;
    QTest::newRow("padded") << false << 6 << 10;
}

void TestAnimatedColumn::stacksItemsFullWidth()
{
    QFETCH(bool, byWidth);
    QFETCH(int, paddingTop);
    QFETCH(int, paddingBottom);
    auto *a = new Item(40, byWidth);
    auto *b = new Item(10, byWidth);
    auto *c = new Item(25, byWidth);
    m_column->setPadding(paddingTop, paddingBottom);
    m_column->setItems({a, b, c});

    // At width 300, an item of height h that depends on its width is h tall as well.
    QCOMPARE(a->geometry(), QRect(0, paddingTop, 300, 40));
    QCOMPARE(b->geometry(), QRect(0, paddingTop + 40, 300, 10));
    QCOMPARE(c->geometry(), QRect(0, paddingTop + 50, 300, 25));
    QVERIFY(a->isVisible() && b->isVisible() && c->isVisible());
    QCOMPARE(a->parentWidget(), m_column);
    QCOMPARE(m_column->heightForWidth(300), paddingTop + 75 + paddingBottom);
    const int narrow = byWidth ? 150 : 75;
    QCOMPARE(m_column->heightForWidth(150), paddingTop + narrow + paddingBottom);

    m_column->resize(150, 600);
    QCOMPARE(c->geometry(), QRect(0, paddingTop + narrow * 50 / 75, 150, byWidth ? 50 : 25));

    // An item its owner hid takes no room.
    b->hide();
    QCoreApplication::sendPostedEvents(m_column, QEvent::LayoutRequest);
    m_column->relayout();
    QCOMPARE(c->y(), paddingTop + (byWidth ? 80 : 40));
}

void TestAnimatedColumn::stretchItemTakesLeftOverHeight()
{
    auto *header = new Item(50);
    auto *list = new Item(10);
    auto *input = new Item(70);
    m_column->setPadding(4, 6);
    m_column->setItems({header, list, input});
    m_column->setStretchItem(list);
    QCOMPARE(list->geometry(), QRect(0, 54, 300, 600 - 4 - 50 - 70 - 6));
    QCOMPARE(input->geometry(), QRect(0, 600 - 6 - 70, 300, 70));

    m_column->resize(300, 400);
    QCOMPARE(list->height(), 400 - 130);
    QCOMPARE(input->y(), 400 - 76);

    // A new item above the list takes its height from the list.
    auto *panel = new Item(30);
    m_column->setItems({header, panel, list, input});
    QCOMPARE(panel->geometry(), QRect(0, 54, 300, 30));
    QCOMPARE(list->geometry(), QRect(0, 84, 300, 400 - 160));
    QCOMPARE(input->y(), 400 - 76);

    // Too short a column leaves the stretch item nothing, never a negative height.
    m_column->resize(300, 100);
    QCOMPARE(list->height(), 0);
}

void TestAnimatedColumn::changesOutsideTransactionAreImmediate()
{
    auto *a = new Item(40);
    auto *b = new Item(20);
    auto *c = new Item(30);
    m_column->setItems({a, b});
    m_column->setItems({b, c, a});
    QVERIFY(!m_column->isAnimating());
    QCOMPARE(b->y(), 0);
    QCOMPARE(c->y(), 20);
    QCOMPARE(a->y(), 50);
    QVERIFY(c->isVisible());
    QVERIFY(!c->graphicsEffect());

    m_column->setItems({c});
    QVERIFY(!m_column->isAnimating());
    QVERIFY(a->isHidden());
    QVERIFY(b->isHidden());
    QCOMPARE(c->y(), 0);
    QCOMPARE(m_column->items(), QList<QWidget *>{c});

    // With animations switched off a transaction changes nothing either.
    Motion::setAnimationsEnabled(false);
    Motion::withAnimation(ease, [&] { m_column->setItems({a, c}); });
    QVERIFY(!m_column->isAnimating());
    QVERIFY(a->isVisible());
    QCOMPARE(c->y(), 40);
}

void TestAnimatedColumn::movesGlideInsideTransaction()
{
    auto *a = new Item(40);
    auto *b = new Item(20);
    m_column->setItems({a, b});
    QSignalSpy finished(m_column, &AnimatedColumn::animationFinished);

    Motion::withAnimation(ease, [&] { m_column->setItems({b, a}); });
    QVERIFY(m_column->isAnimating());
    QCOMPARE(animationOf(*m_column)->duration(), 200);
    // Nothing has moved yet.
    QCOMPARE(a->y(), 0);
    QCOMPARE(b->y(), 40);

    holdAt(*m_column, 0.5);
    // Half way in time is half way in distance on a symmetric ease-in-out.
    QCOMPARE(a->y(), 10);
    QCOMPARE(b->y(), 20);

    finish(*m_column);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(a->geometry(), QRect(0, 20, 300, 40));
    QCOMPARE(b->geometry(), QRect(0, 0, 300, 20));
}

void TestAnimatedColumn::insertionFadesIn_data()
{
    QTest::addColumn<bool>("slides");
    QTest::newRow("fade") << false;
    QTest::newRow("slide from the top and fade") << true;
}

void TestAnimatedColumn::insertionFadesIn()
{
    QFETCH(bool, slides);
    auto *header = new Item(40);
    auto *below = new Item(20);
    auto *panel = new Item(30);
    m_column->setItems({header, below});
    if (slides)
        m_column->setInsertion(panel, AnimatedColumn::Insertion::SlideFromTopAndFade);

    Motion::withAnimation(ease, [&] { m_column->setItems({header, panel, below}); });
    QVERIFY(panel->isVisible());
    QCOMPARE(opacityOf(panel), 0.0);

    holdAt(*m_column, 0.5);
    QVERIFY(qAbs(opacityOf(panel) - 0.5) < 0.01);
    QCOMPARE(panel->y(), slides ? 40 - 15 : 40);
    QCOMPARE(below->y(), 40 + 15); // making room in the same animation
    QCOMPARE(header->y(), 0);
    QVERIFY(!header->graphicsEffect());

    finish(*m_column);
    QCOMPARE(panel->geometry(), QRect(0, 40, 300, 30));
    QVERIFY(!panel->graphicsEffect());
    QCOMPARE(below->y(), 70);
}

void TestAnimatedColumn::removalFadesOutThenHides_data()
{
    QTest::addColumn<bool>("slides");
    QTest::newRow("fade") << false;
    QTest::newRow("slide to the top and fade") << true;
}

void TestAnimatedColumn::removalFadesOutThenHides()
{
    QFETCH(bool, slides);
    auto *header = new Item(40);
    auto *panel = new Item(30);
    auto *below = new Item(20);
    if (slides)
        m_column->setInsertion(panel, AnimatedColumn::Insertion::SlideFromTopAndFade);
    m_column->setItems({header, panel, below});

    Motion::withAnimation(ease, [&] { m_column->setItems({header, below}); });
    holdAt(*m_column, 0.5);
    QVERIFY(panel->isVisible());
    QVERIFY(qAbs(opacityOf(panel) - 0.5) < 0.01);
    QCOMPARE(panel->y(), slides ? 40 - 15 : 40);
    QCOMPARE(below->y(), 70 - 15);
    // A row on its way out takes no clicks.
    QVERIFY(panel->testAttribute(Qt::WA_TransparentForMouseEvents));

    finish(*m_column);
    QVERIFY(panel->isHidden());
    QVERIFY(!panel->graphicsEffect());
    QVERIFY(!panel->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(below->y(), 40);
    QCOMPARE(m_column->heightForWidth(300), 60);
}

void TestAnimatedColumn::removedThenAddedBackDuringFadeOut_data()
{
    QTest::addColumn<bool>("backInTransaction");
    QTest::addColumn<bool>("deletes");
    QTest::newRow("back in a transaction") << true << false;
    QTest::newRow("back at once") << false << false;
    QTest::newRow("back in a transaction, column deletes removed items") << true << true;
    QTest::newRow("back at once, column deletes removed items") << false << true;
}

void TestAnimatedColumn::removedThenAddedBackDuringFadeOut()
{
    QFETCH(bool, backInTransaction);
    QFETCH(bool, deletes);
    m_column->setDeletesRemovedItems(deletes);
    auto *a = new Item(40);
    QPointer<Item> b = new Item(20);
    auto *c = new Item(30);
    m_column->setItems({a, b, c});

    Motion::withAnimation(ease, [&] { m_column->setItems({a, c}); });
    holdAt(*m_column, 0.4);
    const qreal faded = opacityOf(b);
    QVERIFY(faded < 1);

    if (backInTransaction) {
        Motion::withAnimation(ease, [&] { m_column->setItems({a, b, c}); });
        // It fades in again from where its fade-out had got to.
        QVERIFY(qAbs(opacityOf(b) - faded) < 0.01);
    } else {
        m_column->setItems({a, b, c});
        QCOMPARE(opacityOf(b), 1.0);
    }
    QVERIFY(!b->testAttribute(Qt::WA_TransparentForMouseEvents));

    finish(*m_column);
    QTest::qWait(250); // longer than the first fade-out would have run
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(b);
    QVERIFY(b->isVisible());
    QVERIFY(!b->graphicsEffect());
    QCOMPARE(b->geometry(), QRect(0, 40, 300, 20));
    QCOMPARE(c->y(), 60);
}

void TestAnimatedColumn::removedWhileStillFadingIn_data()
{
    QTest::addColumn<bool>("removeInTransaction");
    QTest::newRow("removed in a transaction") << true;
    QTest::newRow("removed at once") << false;
}

void TestAnimatedColumn::removedWhileStillFadingIn()
{
    QFETCH(bool, removeInTransaction);
    auto *a = new Item(40);
    auto *b = new Item(20);
    m_column->setItems({a});

    Motion::withAnimation(ease, [&] { m_column->setItems({a, b}); });
    holdAt(*m_column, 0.5);
    const qreal shown = opacityOf(b);

    if (removeInTransaction) {
        Motion::withAnimation(ease, [&] { m_column->setItems({a}); });
        QVERIFY(qAbs(opacityOf(b) - shown) < 0.01); // fades out from where it was
        QVERIFY(b->isVisible());
    } else {
        m_column->setItems({a});
        QVERIFY(b->isHidden());
    }
    finish(*m_column);
    QTest::qWait(250);
    QVERIFY(b->isHidden());
    QVERIFY(!b->graphicsEffect());
}

void TestAnimatedColumn::deletesRemovedItems_data()
{
    QTest::addColumn<bool>("animated");
    QTest::newRow("at once") << false;
    QTest::newRow("after the fade") << true;
}

void TestAnimatedColumn::deletesRemovedItems()
{
    QFETCH(bool, animated);
    m_column->setDeletesRemovedItems(true);
    auto *a = new Item(40);
    QPointer<Item> b = new Item(20);
    m_column->setItems({a, b});

    if (animated) {
        Motion::withAnimation(ease, [&] { m_column->setItems({a}); });
        holdAt(*m_column, 0.5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(b);
        finish(*m_column);
    } else {
        m_column->setItems({a});
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!b);
    QCOMPARE(m_column->items(), QList<QWidget *>{a});
}

void TestAnimatedColumn::newTransactionContinuesFromWhereItemsAre()
{
    auto *a = new Item(40);
    auto *b = new Item(20);
    auto *c = new Item(30);
    m_column->setItems({a, b, c});

    Motion::withAnimation(ease, [&] { m_column->setItems({c, a, b}); });
    holdAt(*m_column, 0.5);
    const QRect aMid = a->geometry();
    const QRect cMid = c->geometry();

    Motion::withAnimation(Animation::spring(0.2), [&] { m_column->setItems({b, c, a}); });
    QCOMPARE(a->geometry(), aMid);
    QCOMPARE(c->geometry(), cMid);
    QCOMPARE(animationOf(*m_column)->duration(), Animation::spring(0.2).durationMs());

    finish(*m_column);
    QCOMPARE(b->y(), 0);
    QCOMPARE(c->y(), 20);
    QCOMPARE(a->y(), 50);
}

void TestAnimatedColumn::changeOutsideTransactionRetargetsWithoutJump()
{
    auto *a = new Item(40);
    auto *b = new Item(20);
    auto *c = new Item(30);
    m_column->setItems({a, b, c});

    Motion::withAnimation(ease, [&] { m_column->setItems({c, b, a}); });
    holdAt(*m_column, 0.5);
    const QRect aMid = a->geometry();
    const QRect bMid = b->geometry();
    const QRect cMid = c->geometry();

    // An item grows while the items are moving: nothing jumps, and every item still ends
    // where the new heights put it.
    c->setHeight(50);
    QCoreApplication::sendPostedEvents(m_column, QEvent::LayoutRequest);
    QCOMPARE(a->geometry(), aMid);
    QCOMPARE(b->geometry(), bMid);
    QCOMPARE(c->geometry(), cMid);

    finish(*m_column);
    QCOMPARE(c->geometry(), QRect(0, 0, 300, 50));
    QCOMPARE(b->y(), 50);
    QCOMPARE(a->y(), 70);
}

void TestAnimatedColumn::itemSizeChangeRelaysOut()
{
    auto *a = new Item(40);
    auto *b = new Item(20);
    m_column->setItems({a, b});
    a->setHeight(60);
    QTRY_COMPARE(b->y(), 60);
    QVERIFY(!m_column->isAnimating());
    QCOMPARE(m_column->heightForWidth(300), 80);
}

void TestAnimatedColumn::asksEachItemOncePerPass()
{
    QList<Item *> items;
    QList<QWidget *> widgets;
    for (int i = 0; i < 50; ++i) {
        items.append(new Item(10 + i % 7, i % 2 == 0));
        widgets.append(items.last());
    }
    m_column->setItems(widgets);
    QCoreApplication::processEvents();
    for (Item *item : items)
        item->questions = 0;

    m_column->relayout();
    m_column->heightForWidth(300);
    m_column->sizeHint();
    for (Item *item : items)
        QCOMPARE(item->questions, 1);
}

void TestAnimatedColumn::touchesOnlyItemsThatMove()
{
    QList<Item *> items;
    QList<QWidget *> widgets;
    for (int i = 0; i < 20; ++i) {
        items.append(new Item(10));
        widgets.append(items.last());
    }
    m_column->setItems(widgets);
    for (Item *item : items)
        item->moves = 0;

    // Removing the item at 10 moves the nine below it and no other.
    QList<QWidget *> fewer = widgets;
    fewer.removeAt(10);
    Motion::withAnimation(ease, [&] { m_column->setItems(fewer); });
    finish(*m_column);
    for (int i = 0; i < 20; ++i) {
        if (i < 10)
            QCOMPARE(items[i]->moves, 0);
        else if (i > 10)
            QVERIFY(items[i]->moves > 0);
    }
}

void TestAnimatedColumn::growsInsideScrollArea()
{
    QScrollArea area;
    area.setWidgetResizable(true);
    area.resize(300, 200);
    auto *column = new AnimatedColumn;
    area.setWidget(column);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));

    QList<QWidget *> items;
    for (int i = 0; i < 30; ++i)
        items.append(new Item(20));
    column->setItems(items);
    QTRY_COMPARE(column->height(), 600);
    QCOMPARE(column->width(), area.viewport()->width());
    QCOMPARE(items.last()->geometry(), QRect(0, 580, column->width(), 20));

    column->setItems(items.mid(0, 5));
    QTRY_COMPARE(column->height(), area.viewport()->height());
}

void TestAnimatedColumn::deletedItemLeavesTheColumn_data()
{
    QTest::addColumn<bool>("deleted");
    QTest::newRow("deleted") << true;
    QTest::newRow("moved to another parent") << false;
}

void TestAnimatedColumn::deletedItemLeavesTheColumn()
{
    QFETCH(bool, deleted);
    QWidget elsewhere;
    auto *a = new Item(40);
    auto *b = new Item(20);
    auto *c = new Item(30);
    m_column->setItems({a, b, c});
    Motion::withAnimation(ease, [&] { m_column->setItems({c, a, b}); });
    holdAt(*m_column, 0.3);
    if (deleted) {
        delete b;
        QCOMPARE(m_column->items(), (QList<QWidget *>{c, a}));
    } else {
        b->setParent(&elsewhere);
        QTRY_COMPARE(m_column->items(), (QList<QWidget *>{c, a}));
        QVERIFY(!b->graphicsEffect());
    }
    finish(*m_column);
    QTRY_COMPARE(a->y(), 30);
    if (!deleted)
        QCOMPARE(b->parentWidget(), &elsewhere);
}

void TestAnimatedColumn::onlyItemsNearTheVisiblePartAreShown()
{
    QScrollArea area;
    area.setWidgetResizable(true);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area.resize(300, 200);
    auto *column = new AnimatedColumn;
    area.setWidget(column);
    QList<Item *> items;
    QList<QWidget *> widgets;
    for (int i = 0; i < 200; ++i) {
        items.append(new Item(20));
        widgets.append(items.last());
    }
    column->setItems(widgets);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QTRY_COMPARE(column->height(), 4000);

    auto shownRange = [&] {
        int first = -1, last = -1;
        for (int i = 0; i < items.size(); ++i) {
            if (items[i]->isVisible()) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        return qMakePair(first, last);
    };
    const int viewport = area.viewport()->height();
    // Every item has its place, but only those in or near the visible part are shown.
    QCOMPARE(items[150]->geometry(), QRect(0, 3000, column->width(), 20));
    auto [first, last] = shownRange();
    QCOMPARE(first, 0);
    QVERIFY(last * 20 >= viewport);
    QVERIFY(last < 100);

    // Scrolled to the end: the items there are shown, those at the top no more, except the
    // one with the keyboard focus.
    items[5]->setFocusPolicy(Qt::StrongFocus);
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    items[5]->setFocus();
    QTRY_VERIFY(items[5]->hasFocus());
    area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
    QVERIFY(items[5]->isVisible());
    QVERIFY(items[5]->hasFocus());
    items[5]->clearFocus();
    column->relayout();
    QVERIFY(items[5]->isHidden());
    std::tie(first, last) = shownRange();
    QCOMPARE(last, 199);
    QVERIFY(first > 100);
    QVERIFY(first * 20 <= 4000 - viewport);

    // An item that changed its height out of sight takes it when it comes back.
    items[10]->setHeight(45);
    QCoreApplication::processEvents();
    area.verticalScrollBar()->setValue(0);
    QTRY_COMPARE(items[10]->height(), 45);
    QCOMPARE(items[11]->y(), 10 * 20 + 45);
    QTRY_COMPARE(column->height(), 4025);

    // Reordering moves hidden items too, without showing them.
    std::reverse(widgets.begin(), widgets.end());
    Motion::withAnimation(ease, [&] { column->setItems(widgets); });
    QCOMPARE(items[100]->y(), 99 * 20);
    QVERIFY(items[100]->isHidden());
    finish(*column);
    QVERIFY(items[199]->isVisible());
    QCOMPARE(items[199]->y(), 0);
}

void TestAnimatedColumn::filledBeforeFirstShown_data()
{
    QTest::addColumn<bool>("rendered");
    QTest::newRow("shown") << false;
    QTest::newRow("rendered without being shown") << true;
}

void TestAnimatedColumn::filledBeforeFirstShown()
{
    QFETCH(bool, rendered);
    AnimatedColumn column;
    column.resize(200, 300);
    auto *a = new Item(40);
    auto *b = new Item(20);
    column.setItems({a, b});
    column.setPadding(5, 5);
    if (rendered) {
        column.grab();
        QVERIFY(!a->isHidden());
        QVERIFY(!b->isHidden());
    } else {
        column.show();
        QVERIFY(a->isVisible());
        QVERIFY(b->isVisible());
    }
    QCOMPARE(a->geometry(), QRect(0, 5, 200, 40));
    QCOMPARE(b->geometry(), QRect(0, 45, 200, 20));
}

void TestAnimatedColumn::randomChangesSettle_data()
{
    QTest::addColumn<bool>("deletes");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QTest::addRow("hiding, run %u", seed) << false << seed;
        QTest::addRow("deleting, run %u", seed) << true << seed;
    }
}

// Lists changed at random, in and out of transactions, interrupted at random moments:
// whatever happened on the way, the end state is the plain layout of the last list.
void TestAnimatedColumn::randomChangesSettle()
{
    QFETCH(bool, deletes);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    m_column->setDeletesRemovedItems(deletes);

    QList<QPointer<Item>> pool;
    for (int i = 0; i < 12; ++i) {
        pool.append(new Item(10 + int(random.bounded(30)), random.bounded(2) == 0));
        if (random.bounded(3) == 0)
            m_column->setInsertion(pool.last(), AnimatedColumn::Insertion::SlideFromTopAndFade);
    }
    QList<QWidget *> listed;
    for (int step = 0; step < 60; ++step) {
        // A new list: some of the pool (never a deleted item), in a random order.
        QList<QWidget *> next;
        for (const QPointer<Item> &item : std::as_const(pool)) {
            if (item && random.bounded(3) != 0)
                next.append(item);
        }
        for (qsizetype i = next.size() - 1; i > 0; --i)
            next.swapItemsAt(i, qsizetype(random.bounded(int(i + 1))));
        if (deletes) {
            // An item the column deletes is not handed to it again once it is gone.
            for (QWidget *item : std::as_const(listed)) {
                if (!next.contains(item))
                    pool.removeAll(static_cast<Item *>(item));
            }
        }
        if (random.bounded(4) == 0) {
            m_column->setItems(next);
        } else {
            const Animation animation = random.bounded(2) == 0 ? Animation::spring(0.2)
                                                               : Animation::easeInOut(0.2);
            Motion::withAnimation(animation, [&] { m_column->setItems(next); });
        }
        listed = next;
        if (random.bounded(5) == 0 && !listed.isEmpty())
            static_cast<Item *>(listed[random.bounded(int(listed.size()))])
                ->setHeight(10 + int(random.bounded(30)));
        if (m_column->isAnimating()) {
            QVariantAnimation *animation = animationOf(*m_column);
            animation->setCurrentTime(int(random.bounded(animation->duration())));
        }
        if (random.bounded(3) == 0)
            QCoreApplication::processEvents();
    }
    finish(*m_column);
    QCoreApplication::sendPostedEvents(m_column, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(m_column->items(), listed);
    int y = 0;
    for (QWidget *widget : std::as_const(listed)) {
        auto *item = static_cast<Item *>(widget);
        const int height = item->hasHeightForWidth() ? item->heightForWidth(300)
                                                     : item->sizeHint().height();
        QCOMPARE(item->geometry(), QRect(0, y, 300, height));
        QVERIFY(item->isVisible());
        QVERIFY(!item->graphicsEffect());
        QVERIFY(!item->testAttribute(Qt::WA_TransparentForMouseEvents));
        y += height;
    }
    for (const QPointer<Item> &item : std::as_const(pool)) {
        if (item && !listed.contains(item.data())) {
            QVERIFY(!deletes);
            QVERIFY(item->isHidden());
            QVERIFY(!item->graphicsEffect());
        }
    }
    QCOMPARE(m_column->heightForWidth(300), y);
}

QTEST_MAIN(TestAnimatedColumn)
#include "tst_animatedcolumn.moc"
