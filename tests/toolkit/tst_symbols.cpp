// Every symbol is drawn from the icon font: enough ink, centred in its box, in the colour
// asked for, and unlike every other symbol (a missing font or glyph draws nothing, or the
// same box for all). The plain button clicks, draws nothing but its symbol, and changes its
// colour gradually inside a transaction.
#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Symbols.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

Q_DECLARE_METATYPE(Symbol)

namespace {

const QList<QPair<Symbol, const char *>> allSymbols = {
    {Symbol::PlusCircleFill, "plus.circle.fill"},
    {Symbol::Gearshape, "gearshape"},
    {Symbol::Checklist, "checklist"},
    {Symbol::Timer, "timer"},
    {Symbol::NoteText, "note.text"},
    {Symbol::CheckmarkCircleFill, "checkmark.circle.fill"},
    {Symbol::Circle, "circle"},
    {Symbol::XmarkCircleFill, "xmark.circle.fill"},
    {Symbol::FlagFill, "flag.fill"},
    {Symbol::FlagSlash, "flag.slash"},
};

// The symbol at 24 px drawn at 2x into the middle of a transparent square twice its size:
// its box is device pixels 24 to 71.
QImage render(Symbol symbol)
{
    QImage image(96, 96, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Symbols::paint(painter, symbol, QRectF(12, 12, 24, 24), 24, Qt::red);
    return image;
}

} // namespace

class TestSymbols : public QObject
{
    Q_OBJECT

private slots:
    void drawsEverySymbol_data();
    void drawsEverySymbol();
    void plainButton();
};

void TestSymbols::drawsEverySymbol_data()
{
    QTest::addColumn<Symbol>("symbol");
    for (const auto &[symbol, name] : allSymbols)
        QTest::newRow(name) << symbol;
}

void TestSymbols::drawsEverySymbol()
{
    QFETCH(Symbol, symbol);
    const QImage image = render(symbol);
    QRect box;
    int inked = 0, opaque = 0, red = 0;
    for (int i = 0; i < 96 * 96; ++i) {
        const QRgb pixel = image.pixel(i % 96, i / 96);
        box |= qAlpha(pixel) > 40 ? QRect(i % 96, i / 96, 1, 1) : QRect();
        inked += qAlpha(pixel) > 40;
        opaque += qAlpha(pixel) == 255;
        red += pixel == qRgb(255, 0, 0);
    }
    // A glyph rather than a stray line, all in its box, near its middle, all in red.
    QVERIFY2(
        inked > 24 * 24 / 4 && opaque > 0 && red == opaque,
        qPrintable(QStringLiteral("%1 inked, %2 opaque, %3 red").arg(inked).arg(opaque).arg(red)));
    QVERIFY(QRect(23, 23, 50, 50).contains(box));
    QVERIFY((QRectF(box).center() - QPointF(48, 48)).manhattanLength() <= 8);
    for (const auto &[other, name] : allSymbols)
        QVERIFY2(other == symbol || render(other) != image, name);
}

void TestSymbols::plainButton()
{
    Motion::setAnimationsEnabled(true);
    QWidget window;
    window.resize(40, 40);
    auto *button = new PlainButton(Symbol::CheckmarkCircleFill, 32, &window);
    button->setGeometry(4, 4, 32, 32);
    button->setColor(Qt::red);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(button->focusPolicy(), Qt::NoFocus); // a click takes no focus from an edit
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    // Only the symbol is drawn, in the button's colour: no bezel around it.
    auto drawn = [&](int x, int y) { return button->grab().toImage().pixelColor(x, y); };
    QCOMPARE(drawn(16, 8), QColor(Qt::red));
    QCOMPARE(drawn(0, 0), button->palette().color(QPalette::Window));

    // Inside a transaction the colour changes gradually.
    Motion::withAnimation(Animation::easeInOut(0.2), [&] { button->setColor(Qt::blue); });
    QCOMPARE(button->color(), QColor(Qt::blue));
    auto *animation = button->findChild<QVariantAnimation *>();
    QVERIFY(animation);
    animation->pause();
    animation->setCurrentTime(100);
    const QColor between = drawn(16, 8);
    QVERIFY2(qMin(between.red(), between.blue()) > 60 && qMax(between.red(), between.blue()) < 200,
             qPrintable(between.name()));
    // Setting the colour it is heading for, outside a transaction, does not cut it short.
    button->setColor(Qt::blue);
    QCOMPARE(drawn(16, 8), between);
    animation->resume();
    QTRY_COMPARE(drawn(16, 8), QColor(Qt::blue));
}

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
