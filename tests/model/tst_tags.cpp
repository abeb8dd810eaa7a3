// Tag syntax on real text: which characters make up a tag word (Unicode letters, marks,
// digits and connectors, not just ASCII), which tags a text carries and when two are one,
// the text shown without them (whole "#" words only, trimmed and collapsed), and the djb2
// colour index of a tag, whatever the locale.
#include "model/Tags.h"

#include <QLocale>
#include <QTest>

class TagsTest : public QObject
{
    Q_OBJECT

private slots:
    void extraction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("tags");
        QTest::newRow("no word after the sign; doubled, inside a word, after a tag")
            << u"# #. #- ##casa correo#uno#dos"_qs << QStringList{"casa", "uno", "dos"};
        QTest::newRow("first appearance, first spelling, precomposed equal to combining")
            << u"#Éxito #zeta #éxito #cafe\u0301 #café #cafe"_qs
            << QStringList{u"Éxito"_qs, "zeta", u"cafe\u0301"_qs, "cafe"};
        // Greek, Japanese, an astral letter, a spacing mark, an Arabic-Indic digit, an
        // undertie, a circled letter and a zero-width joiner are all word characters.
        QTest::newRow("Unicode word characters")
            << u"#Καλημέρα #東京 #\U0001D400a7_\u093F\u0663\u203F\u24B6\u200Db"_qs
            << QStringList{u"Καλημέρα"_qs, u"東京"_qs,
                           u"\U0001D400a7_\u093F\u0663\u203F\u24B6\u200Db"_qs};
        QTest::newRow("hyphen, no-break space, superscript digit and emoji end a tag")
            << u"#a-x #b\u00A0 #c²x #d\U0001F600"_qs << QStringList{"a", "b", "c", "d"};
        QTest::newRow("unpaired surrogate elsewhere")
            << u"#uno "_qs + QChar(0xD800) + u" #dos"_qs << QStringList{"uno", "dos"};
    }
    void extraction()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, tags);
        QCOMPARE(extractTags(text), tags);
    }

    void displayText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole words in their case; one space left; punctuation stays")
            << u"#ca comprar #casa pan #casado #Casa correo#ca. #ca-"_qs
            << QStringList{"ca", "casa"} << u"comprar pan #casado #Casa correo. -"_qs;
        // The same word characters as extraction, through the ASCII shortcut and the full class.
        QTest::newRow("followed by a word character")
            << u"#a7 #a_ #a\u0301 #a\u0663 #a\u200D"_qs << QStringList{"a"}
            << u"#a7 #a_ #a\u0301 #a\u0663 #a\u200D"_qs;
        QTest::newRow("every occurrence of a tag with a combining accent")
            << u"#cafe\u0301 uno #cafe\u0301 dos"_qs << QStringList{u"cafe\u0301"_qs}
            << u"uno dos"_qs;
        QTest::newRow("Unicode spaces and tabs at the ends go; inner tabs stay")
            << u"\u3000\t#a uno\t#b dos\u00A0"_qs << QStringList{"a", "b"} << u"uno\t dos"_qs;
        QTest::newRow("line breaks at the ends stay; no-break space runs stay")
            << u"\nuno  #a\u00A0\u00A0x\n"_qs << QStringList{"a"} << u"\nuno \u00A0\u00A0x\n"_qs;
    }
    void displayText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, tags);
        QFETCH(QString, shown);
        QCOMPARE(::displayText(text, tags), shown);
    }

    // One rule for the same tag: canonical equivalence and default lower case, whatever the
    // locale; completion finds a part under the same rule.
    void sameTag_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("precomposed and decomposed") << u"café"_qs << u"cafe\u0301"_qs << true;
        QTest::newRow("decomposed capital and small") << u"CAFE\u0301"_qs << u"café"_qs << true;
        QTest::newRow("marks in another order")
            << u"a\u0323\u0302"_qs << u"a\u0302\u0323"_qs << true;
        QTest::newRow("Turkish capital I is i anywhere") << u"KIŞ"_qs << u"kiş"_qs << true;
        QTest::newRow("an accent makes another tag") << u"cafe"_qs << u"café"_qs << false;
        QTest::newRow("compatibility forms stay apart") << u"Ａ"_qs << u"a"_qs << false;
    }
    void sameTag()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        QCOMPARE(::sameTag(a, b), same);
        QCOMPARE(tagKey(a) == tagKey(b), same);
        QCOMPARE(tagContains(u"x"_qs + a + u"y"_qs, b), same);
        QLocale::setDefault(QLocale::c());
    }

    void colourIndex()
    {
        // djb2 over UTF-8 bytes, wrapping at 64 bits; lower-casing that ignores the locale
        // (Turkish would lower-case "I" to a dotless ı).
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        QCOMPARE(quint64(tagHash(u"東京"_qs)), quint64(6958583086627));
        QCOMPARE(quint64(tagHash(QString(20, u'I'))), quint64(9549129244416675705ull));
        QCOMPARE(tagColorIndex(QString(20, u'I')), 3);
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(TagsTest)
#include "tst_tags.moc"
