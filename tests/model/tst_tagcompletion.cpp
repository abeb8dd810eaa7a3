// Completing the tag being typed: which texts end in a partial tag, what replacing it gives
// (positions counted on the text, so emoji before the "#" shift nothing), and which known
// tags are offered for a partial, regardless of case and of how an accent was typed.
#include "model/TagCompletion.h"

#include <QTest>

class TestTagCompletion : public QObject
{
    Q_OBJECT

private slots:
    void partialAndApplied_data();
    void partialAndApplied();
    void candidates_data();
    void candidates();
};

void TestTagCompletion::partialAndApplied_data()
{
    QTest::addColumn<QString>("text");
    // The partial word and the text after choosing "Casa"; both null when there is none.
    QTest::addColumn<QString>("partial");
    QTest::addColumn<QString>("applied");

    QTest::newRow("no sign") << u"Comprar pan"_qs << QString() << QString();
    QTest::newRow("lone sign") << u"Llamar #"_qs << u""_qs << u"Llamar #Casa "_qs;
    QTest::newRow("accented word after the sign")
        << u"pan y leche #añ"_qs << u"añ"_qs << u"pan y leche #Casa "_qs;
    QTest::newRow("sign inside a word") << u"ab#cd"_qs << u"cd"_qs << u"ab#Casa "_qs;
    QTest::newRow("two signs before a word") << u"##co"_qs << u"co"_qs << u"##Casa "_qs;
    QTest::newRow("only the last sign counts")
        << u"#casa y #tr"_qs << u"tr"_qs << u"#casa y #Casa "_qs;
    QTest::newRow("space after the word") << u"#casa "_qs << QString() << QString();
    QTest::newRow("hyphen after the word") << u"#co-"_qs << QString() << QString();
    QTest::newRow("accent as a combining mark")
        << u"#cafe\u0301"_qs << u"cafe\u0301"_qs << u"#Casa "_qs;
    QTest::newRow("emoji and combining mark before the sign")
        << u"\U0001F6D2 cafe\u0301 #co"_qs << u"co"_qs << u"\U0001F6D2 cafe\u0301 #Casa "_qs;
    QTest::newRow("emoji after the sign") << u"#co\U0001F6D2"_qs << QString() << QString();
}

void TestTagCompletion::partialAndApplied()
{
    QFETCH(QString, text);
    QFETCH(QString, partial);
    QFETCH(QString, applied);

    QCOMPARE(TagCompletion::partialTag(text).value_or(QString()), partial);
    QCOMPARE(TagCompletion::partialTag(text).has_value(), !partial.isNull());
    QCOMPARE(TagCompletion::applied(text, u"Casa"_qs).value_or(QString()), applied);
    QCOMPARE(TagCompletion::applied(text, u"Casa"_qs).has_value(), !applied.isNull());
}

void TestTagCompletion::candidates_data()
{
    QTest::addColumn<QString>("partial");
    QTest::addColumn<QStringList>("allTags");
    QTest::addColumn<QStringList>("expected");

    const QStringList two{u"Casa"_qs, u"compras"_qs};
    QTest::newRow("empty partial offers all in order") << QString() << two << two;
    QTest::newRow("inside a tag, any case, listed spelling kept")
        << u"SA"_qs << two << QStringList{u"Casa"_qs};
    QTest::newRow("fits none") << u"xyz"_qs << two << QStringList();
    QTest::newRow("accented capital")
        << u"É"_qs << QStringList{u"café"_qs, u"casa"_qs} << QStringList{u"café"_qs};
    QTest::newRow("combining mark typed, composed tag")
        << u"cafe\u0301"_qs << QStringList{u"café"_qs, u"cafetera"_qs} << QStringList{u"café"_qs};
    QTest::newRow("composed typed, decomposed tag")
        << u"café"_qs << QStringList{u"cafe\u0301"_qs} << QStringList{u"cafe\u0301"_qs};
    const QStringList seven{u"a1"_qs, u"a2"_qs, u"a3"_qs, u"a4"_qs, u"a5"_qs, u"a6"_qs, u"a7"_qs};
    QTest::newRow("no limit on how many") << u"a"_qs << seven << seven;
}

void TestTagCompletion::candidates()
{
    QFETCH(QString, partial);
    QFETCH(QStringList, allTags);
    QFETCH(QStringList, expected);
    QCOMPARE(TagCompletion::candidates(partial, allTags), expected);
}

QTEST_GUILESS_MAIN(TestTagCompletion)
#include "tst_tagcompletion.moc"
