// AnimatedColumn: items stack at full width (padding, stretch item, items their owner hid);
// outside a transaction changes land at once, inside one items glide and fade; however
// changes race (back during a fade-out, removed while fading in, retargeted half way, random
// interruptions) the column settles to the plain layout of its last list. In a scroll area
// far rows are hidden, never the one holding the keyboard focus.
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

// An item of a fixed height, or one like wrapped text: as tall as asked at width 300, twice
// as tall at half the width.
class Item : public QWidget
{
public:
    explicit Item(int height, bool byWidth = false) : m_height(height), m_byWidth(byWidth) {}
    void setHeight(int height)
    {
        m_height = height;
        updateGeometry();
    }
    int heightAt(int width) const { return m_byWidth ? m_height * 300 / width : m_height; }
    bool hasHeightForWidth() const override { return m_byWidth; }
    int heightForWidth(int width) const override { return heightAt(width); }
    QSize sizeHint() const override { return {50, m_height}; }

private:
    int m_height;
    bool m_byWidth;
};

QVariantAnimation *animationOf(AnimatedColumn &column)
{
    return column.findChild<QVariantAnimation *>();
}

void holdAt(AnimatedColumn &column, qreal fraction)
{
    QVERIFY(column.isAnimating());
    animationOf(column)->pause();
    animationOf(column)->setCurrentTime(int(animationOf(column)->duration() * fraction));
}

void finish(AnimatedColumn &column)
{
    if (animationOf(column)->state() == QAbstractAnimation::Paused)
        animationOf(column)->resume();
    if (column.isAnimating())
        QVERIFY(QSignalSpy(&column, &AnimatedColumn::animationFinished).wait(2000));
}

qreal opacityOf(QWidget *item)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(item->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

// What is wrong with `items` as the settled layout of `column` (empty if nothing): each at
// full width and its own height right below the one before, shown, unfaded, taking clicks.
QString stackFault(const AnimatedColumn &column, const QList<QWidget *> &items, int top = 0)
{
    for (int i = 0, y = top; i < items.size(); y += items[i++]->height()) {
        const QRect at = items[i]->geometry();
        if (at !=
            QRect(0, y, column.width(), static_cast<Item *>(items[i])->heightAt(column.width())))
            return QStringLiteral("item %1 at y %2, %3x%4")
                .arg(i)
                .arg(at.y())
                .arg(at.width())
                .arg(at.height());
        if (items[i]->isHidden() || items[i]->graphicsEffect() ||
            items[i]->testAttribute(Qt::WA_TransparentForMouseEvents))
            return QStringLiteral("item %1 hidden, faded or deaf to clicks").arg(i);
    }
    return {};
}

const Animation ease = Animation::easeInOut(0.2);

enum Shown { ShownFirst, ShownAfterFilling, RenderedFirst };
enum Flags { Slides = 1, Deletes = 2, ThenAnimated = 4 };

} // namespace

class TestAnimatedColumn : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { delete m_column; }
    void stacksItems_data();
    void stacksItems();
    void stretchItemTakesTheHeightLeft();
    void changes_data();
    void changes();
    void farRowsHiddenButNotTheFocusedOne();
    void randomChangesSettle_data();
    void randomChangesSettle();

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

void TestAnimatedColumn::stacksItems_data()
{
    QTest::addColumn<bool>("byWidth");
    QTest::addColumn<int>("padding");
    QTest::addColumn<int>("shown");
    QTest::newRow("size hints") << false << 0 << int(ShownFirst);
    QTest::newRow("heights for the width, padded") << true << 8 << int(ShownFirst);
    QTest::newRow("filled before shown") << true << 8 << int(ShownAfterFilling);
    QTest::newRow("rendered before ever shown") << true << 8 << int(RenderedFirst);
}

void TestAnimatedColumn::stacksItems()
{
    QFETCH(bool, byWidth);
    QFETCH(int, padding);
    QFETCH(int, shown);
    AnimatedColumn column;
    column.resize(300, 600);
    if (shown == ShownFirst)
        column.show();
    auto *a = new Item(40, byWidth);
    auto *b = new Item(10, byWidth);
    auto *c = new Item(25, byWidth);
    column.setItems({a, b, c});
    column.setPadding(padding, padding);
    if (shown == RenderedFirst)
        column.grab(); // everything in sight must be there, though nothing was shown
    else
        column.show();
    QCOMPARE(stackFault(column, {a, b, c}, padding), QString());
    column.show();
    QCOMPARE(column.heightForWidth(300), 2 * padding + 75);
    QCOMPARE(column.heightForWidth(150), 2 * padding + (byWidth ? 150 : 75));
    column.resize(150, 600);
    QCOMPARE(stackFault(column, {a, b, c}, padding), QString());

    // An item its owner hides takes no room; one that grows makes room by itself.
    b->hide();
    a->setHeight(60);
    QTRY_COMPARE(c->y(), padding + a->heightAt(150));
    QCOMPARE(column.heightForWidth(150), 2 * padding + a->heightAt(150) + c->heightAt(150));
}

void TestAnimatedColumn::stretchItemTakesTheHeightLeft()
{
    const QList<QWidget *> items{new Item(50), new Item(30), new Item(10), new Item(70)};
    m_column->setPadding(4, 6);
    m_column->setItems({items[0], items[2], items[3]});
    m_column->setStretchItem(items[2]);
    QCOMPARE(items[2]->geometry(), QRect(0, 54, 300, 600 - 130));
    m_column->setItems(items); // the new item takes its room from the stretch item
    QCOMPARE(items[2]->geometry(), QRect(0, 84, 300, 600 - 160));
    QCOMPARE(items[3]->y(), 600 - 76);
}

void TestAnimatedColumn::changes_data()
{
    // Items a (40 tall), p (30) and b (20); p is the one that comes or goes. The change from
    // `before` to `after` runs in a transaction held half way, or, without half-way places,
    // outside one. Then a second change may race it: another list, or b deleted or moved to
    // another parent by its owner.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QList<int>>("halfWayY"); // of a, p and b; ease-in-out is half way too
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("flags");
    auto row = [](const char *name, const char *before, const char *after, QList<int> halfWay,
                  const char *then = "", int flags = 0) {
        QTest::newRow(name) << before << after << halfWay << then << flags;
    };
    const QList<int> reorder{25, 30, 35}, fade{0, 40, 55}, slide{0, 25, 55};
    row("removed at once", "apb", "ab", {});
    row("reordered", "apb", "bpa", reorder);
    row("fading in", "ab", "apb", fade);
    row("sliding in from the top", "ab", "apb", slide, "", Slides);
    row("fading out", "apb", "ab", fade);
    row("sliding out to the top", "apb", "ab", slide, "", Slides);
    row("fading out, deleting", "apb", "ab", fade, "", Deletes);
    row("back during fade-out, in a transaction", "apb", "ab", fade, "apb", ThenAnimated);
    row("back during fade-out, at once", "apb", "ab", fade, "apb");
    row("back during fade-out, deleting, in a transaction", "apb", "ab", fade, "apb",
        Deletes | ThenAnimated);
    row("back during fade-out, deleting, at once", "apb", "ab", fade, "apb", Deletes);
    row("removed while fading in, in a transaction", "ab", "apb", fade, "ab", ThenAnimated);
    row("removed while fading in, at once", "ab", "apb", fade, "ab");
    row("removed while fading in, deleting, at once", "ab", "apb", fade, "ab", Deletes);
    row("reordered again half way", "apb", "bpa", reorder, "pba", ThenAnimated);
    row("an item deleted by its owner half way", "apb", "bpa", reorder, "delete");
    row("an item moved to another parent half way", "apb", "bpa", reorder, "reparent");
}

void TestAnimatedColumn::changes()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QList<int>, halfWayY);
    QFETCH(QString, then);
    QFETCH(int, flags);
    QWidget elsewhere;
    const QList<QPointer<Item>> items{new Item(40), new Item(30), new Item(20)};
    const QPointer<Item> p = items[1];
    auto listed = [&](const QString &letters) {
        QList<QWidget *> widgets;
        for (QChar letter : letters)
            widgets.append(items[QStringLiteral("apb").indexOf(letter)]);
        return widgets;
    };
    if (flags & Slides)
        m_column->setInsertion(p, AnimatedColumn::Insertion::SlideFromTopAndFade);
    m_column->setDeletesRemovedItems(flags & Deletes);
    m_column->setItems(listed(before));

    if (halfWayY.isEmpty()) {
        m_column->setItems(listed(after));
        QVERIFY(!m_column->isAnimating());
    } else {
        Motion::withAnimation(ease, [&] { m_column->setItems(listed(after)); });
        holdAt(*m_column, 0.5);
        QCOMPARE((QList<int>{items[0]->y(), items[1]->y(), items[2]->y()}), halfWayY);
        if (before.size() != after.size()) {
            QVERIFY(p->isVisible() && qAbs(opacityOf(p) - 0.5) < 0.01);
            // A row on its way out takes no clicks.
            QCOMPARE(p->testAttribute(Qt::WA_TransparentForMouseEvents), !after.contains('p'));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(p); // not deleted before its fade ends
    }

    QList<QWidget *> last = listed(after);
    if (!then.isEmpty()) {
        const QList<QRect> places{items[0]->geometry(), p->geometry(), items[2]->geometry()};
        const qreal opacity = opacityOf(p);
        if (then == "delete") {
            last.removeAll(items[2]);
            delete items[2];
        } else if (then == "reparent") {
            last.removeAll(items[2]);
            items[2]->setParent(&elsewhere);
        } else {
            last = listed(then);
            if (flags & ThenAnimated)
                Motion::withAnimation(ease, [&] { m_column->setItems(last); });
            else
                m_column->setItems(last);
        }
        QTRY_COMPARE(m_column->items(), last);
        QCoreApplication::sendPostedEvents(m_column, QEvent::LayoutRequest);
        QVariantAnimation *animation = animationOf(*m_column);
        animation->pause();
        animation->setCurrentTime(animation->currentTime() + 2); // a moment on, no jump
        for (int i = 0; i < 3; ++i) {
            const QRect moved(items[i] ? items[i]->geometry() : places[i]);
            QVERIFY2(!last.contains(items[i]) ||
                         (moved.topLeft() - places[i].topLeft()).manhattanLength() +
                                 qAbs(moved.height() - places[i].height()) <=
                             2,
                     qPrintable(QStringLiteral("item %1 went to y %2").arg(i).arg(moved.y())));
        }
        if (flags & ThenAnimated) // turns back from where its fade had got to
            QVERIFY(p->isVisible() && qAbs(opacityOf(p) - opacity) < 0.01);
        else if (then == "apb" || then == "ab")
            QVERIFY(last.contains(p) ? opacityOf(p) == 1.0 : p->isHidden());
        QTest::qWait(250); // longer than the first fade would have run
    }
    const bool keepsP = last.contains(p.data());
    finish(*m_column);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(p || !keepsP);
    QCOMPARE(stackFault(*m_column, last), QString());
    if (!keepsP) {
        QCOMPARE(p.isNull(), bool(flags & Deletes));
        QVERIFY(!p || (p->isHidden() && !p->graphicsEffect() &&
                       !p->testAttribute(Qt::WA_TransparentForMouseEvents)));
    }
    if (then == "reparent")
        QVERIFY(items[2]->parentWidget() == &elsewhere && !items[2]->graphicsEffect());
}

void TestAnimatedColumn::farRowsHiddenButNotTheFocusedOne()
{
    QScrollArea area;
    area.setWidgetResizable(true);
    area.resize(300, 200);
    auto *column = new AnimatedColumn;
    area.setWidget(column);
    QList<Item *> items;
    for (int i = 0; i < 200; ++i)
        items.append(new Item(20));
    column->setItems({items.cbegin(), items.cend()});
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    QTRY_COMPARE(column->height(), 4000);
    // Every row has its place, but only those in or near sight are shown.
    QVERIFY(items[0]->isVisible() && items[9]->isVisible() && items[150]->isHidden());
    QCOMPARE(items[150]->y(), 3000);

    // Scrolled to the end: the top rows go, except the one holding the keyboard focus.
    items[5]->setFocusPolicy(Qt::StrongFocus);
    items[5]->setFocus();
    area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
    QVERIFY(items[190]->isVisible() && items[199]->isVisible());
    QVERIFY(items[4]->isHidden() && items[6]->isHidden() && items[100]->isHidden());
    QVERIFY(items[5]->isVisible() && items[5]->hasFocus());

    // A row that grew out of sight has its new height when it comes back.
    items[10]->setHeight(45);
    QCoreApplication::processEvents();
    area.verticalScrollBar()->setValue(0);
    QTRY_COMPARE(items[10]->height(), 45);
    QCOMPARE(items[11]->y(), 10 * 20 + 45);
}

void TestAnimatedColumn::randomChangesSettle_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("run %u", seed) << seed;
}

// Random lists, in and out of transactions, cut short at random moments, items growing on
// the way: the end is the plain layout of the last list, and what left it is hidden.
void TestAnimatedColumn::randomChangesSettle()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QList<Item *> pool;
    for (int i = 0; i < 12; ++i)
        pool.append(new Item(10 + int(random.bounded(30)), i % 2));
    QList<QWidget *> listed;
    for (int step = 0; step < 60; ++step) {
        listed.clear();
        for (Item *item : std::as_const(pool)) {
            if (random.bounded(3) != 0)
                listed.append(item);
        }
        std::shuffle(listed.begin(), listed.end(), random);
        if (random.bounded(4) == 0)
            m_column->setItems(listed);
        else
            Motion::withAnimation(ease, [&] { m_column->setItems(listed); });
        pool[random.bounded(12)]->setHeight(10 + int(random.bounded(30)));
        if (m_column->isAnimating())
            animationOf(*m_column)->setCurrentTime(int(random.bounded(ease.durationMs())));
        if (random.bounded(3) == 0)
            QCoreApplication::processEvents();
    }
    finish(*m_column);
    QCoreApplication::sendPostedEvents(m_column, QEvent::LayoutRequest);
    QCOMPARE(m_column->items(), listed);
    QCOMPARE(stackFault(*m_column, listed), QString());
    for (Item *item : std::as_const(pool)) {
        if (!listed.contains(item))
            QVERIFY(!item->parent() || (item->isHidden() && !item->graphicsEffect()));
    }
    qDeleteAll(pool); // including any never handed to the column
}

QTEST_MAIN(TestAnimatedColumn)
#include "tst_animatedcolumn.moc"
