#include "model/TagCompletion.h"

#include <QTest>

class TestTagCompletion : public QObject
{
    Q_OBJECT

private slots:
    void partialTag_data();
    void partialTag();
    void candidates_data();
    void candidates();
    void applied_data();
    void applied();
};

void TestTagCompletion::partialTag_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("partial");

    QTest::newRow("no sign") << "Comprar pan" << false << "";
    QTest::newRow("lone sign") << "Comprar #" << true << "";
    QTest::newRow("word after sign") << "Comprar #co" << true << "co";
    QTest::newRow("only a sign") << "#" << true << "";
    QTest::newRow("sign inside a word") << "ab#cd" << true << "cd";
    QTest::newRow("two signs") << "##" << true << "";
    QTest::newRow("two signs before a word") << "##co" << true << "co";
    QTest::newRow("space after word") << "#casa " << false << "";
    QTest::newRow("space after sign") << "# " << false << "";
    QTest::newRow("hyphen in word") << "#co-" << false << "";
    QTest::newRow("full stop in word") << "#co.x" << false << "";
    QTest::newRow("earlier tag, later text") << "#casa y más" << false << "";
    QTest::newRow("last sign counts") << "#casa #tr" << true << "tr";
    QTest::newRow("underscore and digits") << "#a_1" << true << "a_1";
    QTest::newRow("accented letters") << "#añoé" << true << "añoé";
    QTest::newRow("accent as a combining mark")
        << QString::fromUtf16(u"#cafe\u0301") << true << QString::fromUtf16(u"cafe\u0301");
    QTest::newRow("emoji before sign")
        << QString::fromUtf16(u"\U0001F6D2 #co") << true << "co";
    QTest::newRow("combining mark before sign")
        << QString::fromUtf16(u"cafe\u0301 #ca") << true << "ca";
    QTest::newRow("emoji after sign") << QString::fromUtf16(u"#co\U0001F6D2") << false << "";
}

void TestTagCompletion::partialTag()
{
    QFETCH(QString, text);
    QFETCH(bool, found);
    QFETCH(QString, partial);

    const std::optional<QString> result = TagCompletion::partialTag(text);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, partial);
}

void TestTagCompletion::candidates_data()
{
    QTest::addColumn<QString>("partial");
    QTest::addColumn<QStringList>("allTags");
    QTest::addColumn<QStringList>("expected");

    const QStringList two{"casa", "compras"};
    QTest::newRow("empty partial offers all in order") << "" << two << two;
    QTest::newRow("empty partial, no tags") << "" << QStringList() << QStringList();
    QTest::newRow("inside one tag") << "sa" << two << QStringList{"casa"};
    QTest::newRow("capitals") << "SA" << two << QStringList{"casa"};
    QTest::newRow("prefix of both") << "c" << two << two;
    QTest::newRow("inside both") << "as" << two << two;
    QTest::newRow("whole tag") << "casa" << two << QStringList{"casa"};
    QTest::newRow("fits none") << "xyz" << two << QStringList();
    QTest::newRow("listed spelling kept") << "ca" << QStringList{"Casa", "Trabajo"}
                                          << QStringList{"Casa"};
    QTest::newRow("accented capital") << "É" << QStringList{"café", "casa"}
                                      << QStringList{"café"};
    QTest::newRow("combining mark typed, composed tag")
        << QString::fromUtf16(u"cafe\u0301") << QStringList{"café", "cafetera"}
        << QStringList{"café"};
    QTest::newRow("composed typed, decomposed tag")
        << "café" << QStringList{QString::fromUtf16(u"cafe\u0301")}
        << QStringList{QString::fromUtf16(u"cafe\u0301")};
    QTest::newRow("unlimited") << "a" << QStringList{"a1", "a2", "a3", "a4", "a5", "a6", "a7"}
                               << QStringList{"a1", "a2", "a3", "a4", "a5", "a6", "a7"};
}

void TestTagCompletion::candidates()
{
    QFETCH(QString, partial);
    QFETCH(QStringList, allTags);
    QFETCH(QStringList, expected);
    QCOMPARE(TagCompletion::candidates(partial, allTags), expected);
}

void TestTagCompletion::applied_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("expected");

    QTest::newRow("several words ending in a partial")
        << "Comprar pan y leche #co" << "compras" << true << "Comprar pan y leche #compras ";
    QTest::newRow("lone sign") << "Llamar #" << "salud" << true << "Llamar #salud ";
    QTest::newRow("whole tag gets one space") << "#casa" << "casa" << true << "#casa ";
    QTest::newRow("written as listed") << "#ca" << "Casa" << true << "#Casa ";
    QTest::newRow("only the last sign replaced") << "#casa y #tr" << "trabajo" << true
                                                 << "#casa y #trabajo ";
    QTest::newRow("two signs") << "##" << "casa" << true << "##casa ";
    QTest::newRow("sign inside a word") << "ab#c" << "casa" << true << "ab#casa ";
    QTest::newRow("emoji before sign")
        << QString::fromUtf16(u"\U0001F6D2 #co") << "compras" << true
        << QString::fromUtf16(u"\U0001F6D2 #compras ");
    QTest::newRow("combining mark before sign")
        << QString::fromUtf16(u"cafe\u0301 #ca") << "casa" << true
        << QString::fromUtf16(u"cafe\u0301 #casa ");
    QTest::newRow("no partial tag") << "#casa " << "casa" << false << "";
}

void TestTagCompletion::applied()
{
    QFETCH(QString, text);
    QFETCH(QString, tag);
    QFETCH(bool, found);
    QFETCH(QString, expected);

    const std::optional<QString> result = TagCompletion::applied(text, tag);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, expected);
}

QTEST_GUILESS_MAIN(TestTagCompletion)
#include "tst_tagcompletion.moc"
