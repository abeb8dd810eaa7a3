// AnimatedColumn: outside a transaction changes land at once, inside one items glide and
// fade; however changes race (back during a fade-out, removed while fading in, retargeted
// half way, deleted or moved elsewhere by their owner) the column settles to the plain stack
// of its last list. Culling hides far rows, but not the focused one.
#include "toolkit/AnimatedColumn.h"
#include "toolkit/Motion.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVariantAnimation>

namespace {

QWidget *item(int height)
{
    auto *item = new QWidget;
    item->setFixedHeight(height);
    return item;
}

qreal opacityOf(QWidget *item)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(item->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

// Whether `items` lie as settled: each at full width right below the one before, shown,
// unfaded and taking clicks.
bool stacked(const QWidget &column, const QList<QWidget *> &items)
{
    int y = 0;
    for (QWidget *item : items) {
        if (item->geometry() != QRect(0, y, column.width(), item->minimumHeight()) ||
            item->isHidden() || item->graphicsEffect() ||
            item->testAttribute(Qt::WA_TransparentForMouseEvents))
            return false;
        y += item->height();
    }
    return true;
}

enum Flags { Slides = 1, Deletes = 2, ThenAnimated = 4 };

} // namespace

class TestAnimatedColumn : public QObject
{
    Q_OBJECT

private slots:
    void changes_data()
    {
        // Items a (40 tall), p (30) and b (20); p comes or goes. `before` becomes `after` at
        // once, or in a transaction held half way (the y of a, p and b there). Then a second
        // change may race it: another list, or b deleted or moved elsewhere by its owner.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QList<int>>("halfWayY");
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("flags");
        const auto row = [](const char *name, const char *before, const char *after,
                            const QList<int> &halfWayY, const char *then, int flags) {
            QTest::newRow(name) << before << after << halfWayY << then << flags;
        };
        const QList<int> reorder{25, 30, 35}, fade{0, 40, 55}, slide{0, 25, 55};
        row("removed at once", "apb", "ab", {}, "", 0);
        row("reordered", "apb", "bpa", reorder, "", 0);
        row("fading in", "ab", "apb", fade, "", 0);
        row("sliding out to the top", "apb", "ab", slide, "", Slides);
        row("fading out, deleting", "apb", "ab", fade, "", Deletes);
        row("back during fade-out", "apb", "ab", fade, "apb", ThenAnimated);
        row("back during fade-out, deleting, at once", "apb", "ab", fade, "apb", Deletes);
        row("removed while fading in", "ab", "apb", fade, "ab", ThenAnimated);
        row("reordered again", "apb", "bpa", reorder, "pba", ThenAnimated);
        row("deleted by its owner", "apb", "bpa", reorder, "delete", 0);
        row("moved elsewhere", "apb", "bpa", reorder, "reparent", 0);
    }
    void changes()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QList<int>, halfWayY);
        QFETCH(QString, then);
        QFETCH(int, flags);
        Motion::setAnimationsEnabled(true);
        const Animation ease = Animation::easeInOut(0.2);
        AnimatedColumn column;
        column.resize(300, 600);
        column.show();
        auto *animation = column.findChild<QVariantAnimation *>();
        QWidget elsewhere;
        const QList<QPointer<QWidget>> items{item(40), item(30), item(20)};
        const QPointer<QWidget> p = items[1];
        auto listed = [&](const QString &letters) {
            QList<QWidget *> widgets;
            for (QChar letter : letters)
                widgets.append(items[QStringLiteral("apb").indexOf(letter)]);
            return widgets;
        };
        if (flags & Slides)
            column.setInsertion(p, AnimatedColumn::Insertion::SlideFromTopAndFade);
        column.setDeletesRemovedItems(flags & Deletes);
        column.setItems(listed(before));
        if (halfWayY.isEmpty()) {
            column.setItems(listed(after));
        } else {
            Motion::withAnimation(ease, [&] { column.setItems(listed(after)); });
            animation->pause();
            animation->setCurrentTime(ease.durationMs() / 2);
            QCOMPARE((QList<int>{items[0]->y(), items[1]->y(), items[2]->y()}), halfWayY);
            // Half faded, and on its way out deaf to clicks; not deleted before the end.
            QVERIFY(before.size() == after.size() || qAbs(opacityOf(p) - 0.5) < 0.01);
            QCOMPARE(p->testAttribute(Qt::WA_TransparentForMouseEvents), !after.contains('p'));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(p && p->isVisible());
        }
        QList<QWidget *> last = listed(after);
        if (!then.isEmpty()) {
            const QList<QPoint> places{items[0]->pos(), p->pos(), items[2]->pos()};
            const qreal opacity = opacityOf(p);
            if (then == "delete" || then == "reparent") {
                last.removeAll(items[2]);
                then == "delete" ? delete items[2] : items[2]->setParent(&elsewhere);
            } else if (last = listed(then); flags & ThenAnimated) {
                Motion::withAnimation(ease, [&] { column.setItems(last); });
            } else {
                column.setItems(last);
            }
            QCOMPARE(column.items(), last);
            QCoreApplication::sendPostedEvents(&column, QEvent::LayoutRequest);
            animation->pause();
            animation->setCurrentTime(animation->currentTime() + 2); // a moment on: no jump
            for (int i = 0; i < 3; ++i)
                QVERIFY(!last.contains(items[i]) ||
                        (items[i]->pos() - places[i]).manhattanLength() <= 2);
            if (flags & ThenAnimated) // turns back from where its fade had got to
                QVERIFY(qAbs(opacityOf(p) - opacity) < 0.01);
            else if (then == "apb")
                QCOMPARE(opacityOf(p), 1.0);
        }
        animation->resume();
        QTRY_COMPARE(animation->state(), QAbstractAnimation::Stopped);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(stacked(column, last));
        // One that left is hidden (or deleted) and free of the column's traces.
        QCOMPARE(p.isNull(), !last.contains(p.data()) && (flags & Deletes));
        QVERIFY(!p || last.contains(p.data()) || p->isHidden());
        QVERIFY(!p ||
                (!p->graphicsEffect() && !p->testAttribute(Qt::WA_TransparentForMouseEvents)));
        QVERIFY(then != "reparent" || !items[2]->graphicsEffect());
    }

    void farRowsHiddenButNotTheFocusedOne()
    {
        QScrollArea area;
        area.setWidgetResizable(true);
        area.resize(300, 200);
        auto *column = new AnimatedColumn;
        column->cullFarItems();
        area.setWidget(column);
        QList<QWidget *> items;
        for (int i = 0; i < 200; ++i)
            items.append(item(20));
        column->setItems(items);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        // Every row has its place, but only those in or near sight are shown.
        QTRY_COMPARE(column->height(), 4000);
        QVERIFY(items[9]->isVisible() && items[150]->isHidden() && items[150]->y() == 3000);
        // Scrolled to the end: the top rows go, except the one holding the keyboard focus.
        items[5]->setFocusPolicy(Qt::StrongFocus);
        items[5]->setFocus();
        area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
        QVERIFY(items[190]->isVisible() && items[4]->isHidden() && items[5]->isVisible());
        // A row that grew out of sight has its new height when it comes back.
        items[10]->setFixedHeight(45);
        QCoreApplication::processEvents();
        area.verticalScrollBar()->setValue(0);
        QTRY_COMPARE(items[11]->y(), 10 * 20 + 45);
    }
};

QTEST_MAIN(TestAnimatedColumn)
#include "tst_animatedcolumn.moc"
