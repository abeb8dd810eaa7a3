// Completing the tag being typed: which texts end in a partial tag, what replacing it gives
// (positions counted on the text, so emoji before the "#" shift nothing), and which known
// tags are offered for a partial, regardless of case and of how an accent was typed.
#include "model/TagCompletion.h"

#include <QTest>

class TestTagCompletion : public QObject
{
    Q_OBJECT

private slots:
    void partialAndApplied_data()
    {
        // The partial word and the text after choosing "Casa"; both null when there is none.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("partial");
        QTest::addColumn<QString>("applied");
        QTest::newRow("no sign") << u"Comprar pan"_qs << QString() << QString();
        QTest::newRow("lone sign") << u"Llamar #"_qs << u""_qs << u"Llamar #Casa "_qs;
        QTest::newRow("inside a word, the last sign")
            << u"#a y b#añ"_qs << u"añ"_qs << u"#a y b#Casa "_qs;
        QTest::newRow("hyphen after the word") << u"#co-"_qs << QString() << QString();
        QTest::newRow("combining mark") << u"#cafe\u0301"_qs << u"cafe\u0301"_qs << u"#Casa "_qs;
        QTest::newRow("emoji before the sign")
            << u"\U0001F6D2 #co"_qs << u"co"_qs << u"\U0001F6D2 #Casa "_qs;
        QTest::newRow("emoji after the sign") << u"#co\U0001F6D2"_qs << QString() << QString();
    }
    void partialAndApplied()
    {
        QFETCH(QString, text);
        QFETCH(QString, partial);
        QFETCH(QString, applied);
        QCOMPARE(TagCompletion::partialTag(text).value_or(QString()), partial);
        QCOMPARE(TagCompletion::applied(text, u"Casa"_qs).value_or(QString()), applied);
    }

    void candidates()
    {
        const QStringList all{"Casa", "compras", u"café"_qs, u"cafe\u0301tera"_qs, "a1", "a2"};
        QCOMPARE(TagCompletion::candidates({}, all), all); // all, in order, no limit
        QCOMPARE(TagCompletion::candidates("SA", all), QStringList{"Casa"});
        // An accent typed either way matches the accent written either way.
        const QStringList accented{u"café"_qs, u"cafe\u0301tera"_qs};
        QCOMPARE(TagCompletion::candidates(u"É"_qs, all), accented);
        QCOMPARE(TagCompletion::candidates(u"cafe\u0301"_qs, all), accented);
    }
};

QTEST_GUILESS_MAIN(TestTagCompletion)
#include "tst_tagcompletion.moc"
