// Tag syntax on real text: which characters make up a tag word (Unicode letters, marks,
// digits and connectors, not just ASCII), which tags a text carries and when two are one,
// the text shown without them (whole "#" words only, trimmed and collapsed), and the djb2
// colour of a tag, whatever the locale.
#include "model/Tags.h"

#include <QLocale>
#include <QTest>

class TagsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void extraction_data();
    void extraction();
    void displayText_data();
    void displayText();
    void colours_data();
    void colours();
    void coloursIgnoreTheLocale();
};

void TagsTest::extraction_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tags");

    QTest::newRow("sign not followed by a word") << u"# casa #. #-x #"_qs << QStringList();
    QTest::newRow("two signs before a word") << u"##casa"_qs << QStringList{u"casa"_qs};
    QTest::newRow("sign inside a word, sign after a tag")
        << u"correo#uno#dos"_qs << QStringList{u"uno"_qs, u"dos"_qs};
    QTest::newRow("first appearance and first spelling win")
        << u"#zeta #Éxito #ZETA #beta #éxito"_qs
        << QStringList{u"zeta"_qs, u"Éxito"_qs, u"beta"_qs};
    QTest::newRow("accent as a combining mark")
        << u"#cafe\u0301 listo"_qs << QStringList{u"cafe\u0301"_qs};
    QTest::newRow("combining and precomposed accents are one tag, no accent another")
        << u"#café #CAFE\u0301 #cafe"_qs << QStringList{u"café"_qs, u"cafe"_qs};
    QTest::newRow("Greek, Cyrillic and Japanese")
        << u"#Καλημέρα #привет #東京"_qs << QStringList{u"Καλημέρα"_qs, u"привет"_qs, u"東京"_qs};
    QTest::newRow("letters outside the basic plane")
        << u"#\U0001D400\U0001D401 x"_qs << QStringList{u"\U0001D400\U0001D401"_qs};
    // Spacing mark, Arabic-Indic digit, undertie, circled letter, zero-width joiner.
    QTest::newRow("marks, digits, connectors and joiners inside a word")
        << u"#a7_\u093F\u0663\u203F\u24B6\u200Db"_qs
        << QStringList{u"a7_\u093F\u0663\u203F\u24B6\u200Db"_qs};
    QTest::newRow("hyphen, no-break space, superscript digit and emoji end a tag")
        << u"#a-x #b\u00A0 #c²x #d\U0001F600"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs};
    QTest::newRow("unpaired surrogate elsewhere in the text")
        << u"#uno "_qs + QChar(0xD800) + u" #dos"_qs << QStringList{u"uno"_qs, u"dos"_qs};
}

void TagsTest::extraction()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tags);
    QCOMPARE(extractTags(text), tags);
}

void TagsTest::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QString>("shown");

    QTest::newRow("tag between words leaves one space")
        << u"comprar #casa pan"_qs << QStringList{u"casa"_qs} << u"comprar pan"_qs;
    QTest::newRow("shorter tag removed before a longer one")
        << u"#ca #casa"_qs << QStringList{u"ca"_qs, u"casa"_qs} << QString();
    QTest::newRow("longer word and other letter case stay")
        << u"#casado #Casa"_qs << QStringList{u"ca"_qs, u"casa"_qs} << u"#casado #Casa"_qs;
    // The same word characters as extraction, through the ASCII shortcut and the full class.
    QTest::newRow("tag followed by a word character stays")
        << u"#a7 #a_ #a\u0301 #a\u0663 #a\u200D"_qs << QStringList{u"a"_qs}
        << u"#a7 #a_ #a\u0301 #a\u0663 #a\u200D"_qs;
    QTest::newRow("every occurrence of a tag with a combining accent goes")
        << u"#cafe\u0301 uno #cafe\u0301 dos"_qs << QStringList{u"cafe\u0301"_qs} << u"uno dos"_qs;
    QTest::newRow("tag inside a word or before punctuation")
        << u"correo#fin hoy #fin. #fin-"_qs << QStringList{u"fin"_qs} << u"correo hoy . -"_qs;
    QTest::newRow("Unicode spaces and tabs at the ends go, inner tabs stay")
        << u"\u3000\t#a uno\t#b dos\u00A0"_qs << QStringList{u"a"_qs, u"b"_qs} << u"uno\t dos"_qs;
    QTest::newRow("line breaks at the ends stay")
        << u"\nuno #a\n"_qs << QStringList{u"a"_qs} << u"\nuno \n"_qs;
    QTest::newRow("space runs collapse, no-break spaces stay, unknown tag stays")
        << u"pan  #casa\u00A0\u00A0x"_qs << QStringList{u"otra"_qs} << u"pan #casa\u00A0\u00A0x"_qs;
}

void TagsTest::displayText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tags);
    QFETCH(QString, shown);
    QCOMPARE(::displayText(text, tags), shown);
}

void TagsTest::colours_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<quint64>("hash");
    QTest::addColumn<int>("index");

    QTest::newRow("three letters") << u"abc"_qs << quint64(193485963) << 3;
    QTest::newRow("upper case folds") << u"ABC"_qs << quint64(193485963) << 3;
    QTest::newRow("three-byte letters") << u"東京"_qs << quint64(6958583086627) << 1;
    QTest::newRow("long tag wraps around 64 bits")
        << QString(20, u'x') << quint64(4734238030426940645ull) << 5;
}

void TagsTest::colours()
{
    QFETCH(QString, tag);
    QFETCH(quint64, hash);
    QFETCH(int, index);
    QCOMPARE(quint64(tagHash(tag)), hash);
    QCOMPARE(tagColor(tag), tagPalette[index]);
}

void TagsTest::coloursIgnoreTheLocale()
{
    // Turkish lower-cases "I" to a dotless ı; tag keys and colours must not.
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    QCOMPARE(tagKey(u"KIŞ"_qs), u"kiş"_qs);
    QCOMPARE(quint64(tagHash(u"I"_qs)), quint64(177678));
}

QTEST_GUILESS_MAIN(TagsTest)
#include "tst_tags.moc"
