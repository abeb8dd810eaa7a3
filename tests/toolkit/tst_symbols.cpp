#include "toolkit/PlainButton.h"
#include "toolkit/Motion.h"
#include "toolkit/Symbols.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QImage>
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

// The symbol drawn at 2x into a transparent square with a margin around the symbol's box.
QImage render(Symbol symbol, int pixelSize, const QColor &color = Qt::black)
{
    const int side = pixelSize * 2;
    QImage image(side * 2, side * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Symbols::paint(painter, symbol, QRectF(pixelSize / 2.0, pixelSize / 2.0, pixelSize,
                                           pixelSize), pixelSize, color);
    return image;
}

// The bounding box, in device pixels, of the pixels that were drawn.
QRect inkBox(const QImage &image, int *count = nullptr)
{
    QRect box;
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 40) {
                box |= QRect(x, y, 1, 1);
                ++inked;
            }
        }
    }
    if (count)
        *count = inked;
    return box;
}

} // namespace

class TestSymbols : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawsEverySymbolInItsBox_data();
    void drawsEverySymbolInItsBox();
    void symbolsAreDistinct();
    void flagSlashCrossesTheFlag();
    void iconHasBothResolutions();

    void buttonClicksAndLooks();
    void buttonColourAnimatesOnlyInTransaction();
};

void TestSymbols::initTestCase()
{
    QVERIFY2(QFontDatabase::hasFamily(QStringLiteral("Material Icons")),
             "the Material Icons font is missing (Debian package "
             "fonts-material-design-icons-iconfont)");
}

void TestSymbols::drawsEverySymbolInItsBox_data()
{
    QTest::addColumn<Symbol>("symbol");
    QTest::addColumn<int>("pixelSize");
    for (const auto &[symbol, name] : allSymbols) {
        for (const int size : {16, 32})
            QTest::addRow("%s at %d", name, size) << symbol << size;
    }
}

void TestSymbols::drawsEverySymbolInItsBox()
{
    QFETCH(Symbol, symbol);
    QFETCH(int, pixelSize);
    QCOMPARE(Symbols::size(symbol, pixelSize), QSizeF(pixelSize, pixelSize));

    int inked = 0;
    const QImage image = render(symbol, pixelSize);
    const QRect box = inkBox(image, &inked);
    const QRect target(pixelSize, pixelSize, pixelSize * 2, pixelSize * 2); // device pixels
    // Enough ink to be a glyph, not a stray line; all of it in the symbol's box.
    QVERIFY2(inked > pixelSize * pixelSize / 4, qPrintable(QString::number(inked)));
    QVERIFY2(target.adjusted(-1, -1, 1, 1).contains(box),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y())
                            .arg(box.width()).arg(box.height())));
    // Centred in the box (Material glyphs leave an even margin).
    const QPointF offset = QRectF(box).center() - QRectF(target).center();
    QVERIFY2(qAbs(offset.x()) <= pixelSize * 0.15 && qAbs(offset.y()) <= pixelSize * 0.15,
             qPrintable(QStringLiteral("%1, %2").arg(offset.x()).arg(offset.y())));
    // Drawn in the colour asked for.
    const QImage red = render(symbol, pixelSize, Qt::red);
    const QPoint inkPoint = [&] {
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (qAlpha(red.pixel(x, y)) == 255)
                    return QPoint(x, y);
        return QPoint(-1, -1);
    }();
    QVERIFY(inkPoint.x() >= 0);
    QCOMPARE(red.pixelColor(inkPoint), QColor(Qt::red));
}

void TestSymbols::symbolsAreDistinct()
{
    // A missing glyph would come out as the same placeholder box for every symbol.
    QList<QImage> images;
    for (const auto &[symbol, name] : allSymbols) {
        const QImage image = render(symbol, 24);
        for (int i = 0; i < images.size(); ++i)
            QVERIFY2(image != images[i],
                     qPrintable(QStringLiteral("%1 looks like %2")
                                    .arg(QLatin1String(name),
                                         QLatin1String(allSymbols[i].second))));
        images.append(image);
    }
}

void TestSymbols::flagSlashCrossesTheFlag()
{
    // The slash runs corner to corner: ink near the upper left of the box, where the
    // outlined flag has none.
    const QImage slashed = render(Symbol::FlagSlash, 32);
    QRect box(32 + 10, 32 + 10, 6, 6);
    int inked = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            inked += qAlpha(slashed.pixel(x, y)) > 128;
    QVERIFY(inked > 0);
    // ... and into the lower right.
    box.moveTo(32 + 64 - 16, 32 + 64 - 16);
    inked = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            inked += qAlpha(slashed.pixel(x, y)) > 128;
    QVERIFY(inked > 0);
}

void TestSymbols::iconHasBothResolutions()
{
    const QIcon icon = Symbols::icon(Symbol::FlagFill, 16, Qt::black);
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    const QImage image = icon.pixmap(QSize(16, 16), 2.0).toImage();
    int inked = 0;
    inkBox(image, &inked);
    QVERIFY(inked > 40);
}

void TestSymbols::buttonClicksAndLooks()
{
    PlainButton button(Symbol::Circle, 20);
    button.setColor(Qt::blue);
    button.setAccessibleName(QStringLiteral("Marcar como hecha"));
    button.resize(button.sizeHint());
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCOMPARE(button.sizeHint(), QSize(20, 20));
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);

    QCOMPARE(button.focusPolicy(), Qt::NoFocus);

    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&button);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::Button);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Marcar como hecha"));

    // Only the symbol is drawn: no bezel, the corners show what is behind the button.
    const QImage image = button.grab().toImage();
    QCOMPARE(image.pixelColor(0, 0), button.palette().color(QPalette::Window));
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            blue += image.pixelColor(x, y) == QColor(Qt::blue);
    QVERIFY(blue > 10);
}

void TestSymbols::buttonColourAnimatesOnlyInTransaction()
{
    QWidget window;
    window.resize(40, 40);
    auto *button = new PlainButton(Symbol::CheckmarkCircleFill, 32, &window);
    button->setGeometry(4, 4, 32, 32);
    button->setColor(QColor(0, 0, 0));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto centre = [&] { return button->grab().toImage().pixelColor(16, 8); };
    QCOMPARE(centre(), QColor(0, 0, 0));

    button->setColor(QColor(255, 0, 0));
    QCOMPARE(centre(), QColor(255, 0, 0));
    QCOMPARE(button->color(), QColor(255, 0, 0));

    Motion::withAnimation(Animation::easeInOut(0.2),
                          [&] { button->setColor(QColor(0, 0, 255)); });
    QCOMPARE(button->color(), QColor(0, 0, 255));
    auto *animation = button->findChild<QVariantAnimation *>();
    QVERIFY(animation);
    animation->pause();
    animation->setCurrentTime(100);
    const QColor between = centre();
    QVERIFY2(between.red() > 60 && between.red() < 200 && between.blue() > 60
                 && between.blue() < 200,
             qPrintable(between.name()));
    // Setting the colour it is heading for, outside a transaction, does not cut it short.
    button->setColor(QColor(0, 0, 255));
    QCOMPARE(centre(), between);
    animation->resume();
    QTRY_COMPARE(centre(), QColor(0, 0, 255));
}

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
