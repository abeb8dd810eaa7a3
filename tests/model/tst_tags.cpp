#include "model/Tags.h"

#include <QLocale>
#include <QTest>

class TagsTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void extraction_data();
    void extraction();
    void wordCharacters_data();
    void wordCharacters();
    void displayText_data();
    void displayText();
    void trimming_data();
    void trimming();
    void keys_data();
    void keys();
    void colours_data();
    void colours();
    void coloursIgnoreTheLocale();
};

void TagsTest::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TagsTest::extraction_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tags");

    QTest::newRow("no sign") << u"comprar pan"_qs << QStringList();
    QTest::newRow("empty text") << QString() << QStringList();
    QTest::newRow("lone sign") << u"#"_qs << QStringList();
    QTest::newRow("sign before a space") << u"# casa"_qs << QStringList();
    QTest::newRow("sign before punctuation") << u"#. #, #! #-x"_qs << QStringList();
    QTest::newRow("two signs before a word") << u"##casa"_qs << QStringList{u"casa"_qs};
    QTest::newRow("sign inside a word")
        << u"correo#trabajo urgente"_qs << QStringList{u"trabajo"_qs};
    QTest::newRow("digits only") << u"pagar #2024"_qs << QStringList{u"2024"_qs};
    QTest::newRow("underscore inside") << u"#a_b #_"_qs << QStringList{u"a_b"_qs, u"_"_qs};
    QTest::newRow("hyphen ends the tag") << u"#bien-hecho"_qs << QStringList{u"bien"_qs};
    QTest::newRow("full stop ends the tag") << u"al #final."_qs << QStringList{u"final"_qs};
    QTest::newRow("apostrophe ends the tag") << u"#l'eau"_qs << QStringList{u"l"_qs};
    QTest::newRow("another sign ends the tag")
        << u"#uno#dos"_qs << QStringList{u"uno"_qs, u"dos"_qs};
    QTest::newRow("tab and line break end the tag")
        << u"#uno\tdos #tres\ncuatro"_qs << QStringList{u"uno"_qs, u"tres"_qs};
    QTest::newRow("same tag in three letter cases")
        << u"#Casa y #casa y #CASA"_qs << QStringList{u"Casa"_qs};
    QTest::newRow("order of first appearance")
        << u"#zeta #alfa #Zeta #beta #alfa"_qs
        << QStringList{u"zeta"_qs, u"alfa"_qs, u"beta"_qs};
    QTest::newRow("precomposed accent and tilde")
        << u"#café #niño"_qs << QStringList{u"café"_qs, u"niño"_qs};
    QTest::newRow("accent as a combining mark")
        << u"#cafe\u0301 listo"_qs << QStringList{u"cafe\u0301"_qs};
    QTest::newRow("combining and precomposed spellings are one tag")
        << u"#café #CAFE\u0301"_qs << QStringList{u"café"_qs};
    QTest::newRow("Greek") << u"#Καλημέρα κόσμε"_qs << QStringList{u"Καλημέρα"_qs};
    QTest::newRow("Cyrillic") << u"#привет мир"_qs << QStringList{u"привет"_qs};
    QTest::newRow("Chinese and Japanese")
        << u"#東京 #ひらがな"_qs << QStringList{u"東京"_qs, u"ひらがな"_qs};
    QTest::newRow("letters outside the basic plane")
        << u"#\U0001D400\U0001D401 x"_qs << QStringList{u"\U0001D400\U0001D401"_qs};
    QTest::newRow("emoji is not a word") << u"#\U0001F600"_qs << QStringList();
    QTest::newRow("unpaired surrogate elsewhere in the text")
        << u"#uno "_qs + QChar(0xD800) + u" #dos"_qs
        << QStringList{u"uno"_qs, u"dos"_qs};
}

void TagsTest::extraction()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tags);
    QCOMPARE(extractTags(text), tags);
}

// Each character between two letters: a word character keeps the tag whole, any other ends it.
void TagsTest::wordCharacters_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<bool>("isWordCharacter");

    QTest::newRow("combining acute accent") << u"\u0301"_qs << true;
    QTest::newRow("spacing combining mark") << u"\u093F"_qs << true;
    QTest::newRow("Greek letter") << u"α"_qs << true;
    QTest::newRow("Cyrillic letter") << u"ж"_qs << true;
    QTest::newRow("CJK ideograph") << u"中"_qs << true;
    QTest::newRow("Thai vowel sign") << u"\u0E31"_qs << true;
    QTest::newRow("ASCII digit") << u"7"_qs << true;
    QTest::newRow("Arabic-Indic digit") << u"\u0663"_qs << true;
    QTest::newRow("underscore") << u"_"_qs << true;
    QTest::newRow("undertie connector") << u"\u203F"_qs << true;
    QTest::newRow("zero-width joiner") << u"\u200D"_qs << true;
    QTest::newRow("zero-width non-joiner") << u"\u200C"_qs << true;
    QTest::newRow("circled letter, alphabetic symbol") << u"\u24B6"_qs << true;
    QTest::newRow("roman numeral letter") << u"\u2160"_qs << true;
    QTest::newRow("hyphen") << u"-"_qs << false;
    QTest::newRow("full stop") << u"."_qs << false;
    QTest::newRow("apostrophe") << u"'"_qs << false;
    QTest::newRow("space") << u" "_qs << false;
    QTest::newRow("no-break space") << u"\u00A0"_qs << false;
    QTest::newRow("number sign") << u"#"_qs << false;
    QTest::newRow("superscript two, not a decimal digit") << u"²"_qs << false;
    QTest::newRow("fraction, not a decimal digit") << u"½"_qs << false;
    QTest::newRow("emoji") << u"\U0001F600"_qs << false;
}

void TagsTest::wordCharacters()
{
    QFETCH(QString, character);
    QFETCH(bool, isWordCharacter);

    const QString whole = u"a"_qs + character + u"b"_qs;
    QCOMPARE(extractTags(u"#"_qs + whole).value(0), isWordCharacter ? whole : u"a"_qs);

    // Display text agrees with extraction on where a tag word ends.
    const QString shown = ::displayText(u"#a"_qs + character + u"b fin"_qs, {u"a"_qs});
    QCOMPARE(shown.startsWith(u"#a"_qs), isWordCharacter);
}

void TagsTest::displayText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QString>("shown");

    QTest::newRow("only tags and spaces")
        << u" #uno  #Dos "_qs << QStringList{u"uno"_qs, u"Dos"_qs} << QString();
    QTest::newRow("tag at the start") << u"#casa limpiar"_qs << QStringList{u"casa"_qs}
                                      << u"limpiar"_qs;
    QTest::newRow("tag between words leaves one space")
        << u"comprar #casa pan"_qs << QStringList{u"casa"_qs} << u"comprar pan"_qs;
    QTest::newRow("tag at the end") << u"comprar pan #casa"_qs << QStringList{u"casa"_qs}
                                    << u"comprar pan"_qs;
    QTest::newRow("shorter tag before a longer one")
        << u"#ca #casa"_qs << QStringList{u"ca"_qs, u"casa"_qs} << QString();
    QTest::newRow("shorter tag does not eat a longer word")
        << u"#casado feliz"_qs << QStringList{u"ca"_qs} << u"#casado feliz"_qs;
    QTest::newRow("removal is case-sensitive")
        << u"#Casa limpiar"_qs << QStringList{u"casa"_qs} << u"#Casa limpiar"_qs;
    QTest::newRow("every occurrence goes")
        << u"#a uno #a dos #a"_qs << QStringList{u"a"_qs} << u"uno dos"_qs;
    QTest::newRow("tag followed by punctuation")
        << u"listo #fin."_qs << QStringList{u"fin"_qs} << u"listo ."_qs;
    QTest::newRow("tag followed by a hyphen")
        << u"#bien-hecho"_qs << QStringList{u"bien"_qs} << u"-hecho"_qs;
    QTest::newRow("tag inside a word") << u"correo#trabajo hoy"_qs
                                       << QStringList{u"trabajo"_qs} << u"correo hoy"_qs;
    QTest::newRow("tag followed by a combining accent stays")
        << u"#cafe\u0301 ya"_qs << QStringList{u"cafe"_qs} << u"#cafe\u0301 ya"_qs;
    QTest::newRow("tag with a combining accent goes")
        << u"#cafe\u0301 ya"_qs << QStringList{u"cafe\u0301"_qs} << u"ya"_qs;
    QTest::newRow("non-Latin tag") << u"#東京 viaje"_qs << QStringList{u"東京"_qs}
                                   << u"viaje"_qs;
    QTest::newRow("tab beside a removed tag stays")
        << u"uno\t#a dos"_qs << QStringList{u"a"_qs} << u"uno\t dos"_qs;
    QTest::newRow("tabs at both ends go") << u"\t#a uno\t"_qs << QStringList{u"a"_qs}
                                          << u"uno"_qs;
    QTest::newRow("line break at the end stays")
        << u"uno #a\n"_qs << QStringList{u"a"_qs} << u"uno \n"_qs;
    QTest::newRow("runs of spaces in the text collapse")
        << u"a   b    c"_qs << QStringList() << u"a b c"_qs;
    QTest::newRow("inner no-break spaces stay")
        << u"a\u00A0\u00A0b"_qs << QStringList() << u"a\u00A0\u00A0b"_qs;
    QTest::newRow("stored tag that is not in the text")
        << u"pan  #casa"_qs << QStringList{u"otra"_qs} << u"pan #casa"_qs;
    QTest::newRow("empty stored tag removes lone signs only")
        << u"a # b #c"_qs << QStringList{QString()} << u"a b #c"_qs;
}

void TagsTest::displayText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, tags);
    QFETCH(QString, shown);
    QCOMPARE(::displayText(text, tags), shown);
}

void TagsTest::trimming_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");

    QTest::newRow("spaces and tabs") << u" \t a b \t "_qs << u"a b"_qs;
    QTest::newRow("no-break and ideographic spaces") << u"\u00A0\u3000a\u2009"_qs << u"a"_qs;
    QTest::newRow("line breaks stay") << u"\n a \r\n"_qs << u"\n a \r\n"_qs;
    QTest::newRow("zero-width space is not a space") << u"\u200Ba"_qs << u"\u200Ba"_qs;
    QTest::newRow("only blanks") << u" \t "_qs << QString();
}

void TagsTest::trimming()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(trimmedSpacesAndTabs(text), trimmed);
}

void TagsTest::keys_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("sameTag");

    QTest::newRow("letter case") << u"Casa"_qs << u"cASA"_qs << true;
    QTest::newRow("accented capital") << u"ÉXITO"_qs << u"éxito"_qs << true;
    QTest::newRow("Greek capital") << u"ΑΒΓ"_qs << u"αβγ"_qs << true;
    QTest::newRow("combining accent and precomposed") << u"cafe\u0301"_qs << u"Café"_qs
                                                      << true;
    QTest::newRow("accent matters") << u"cafe"_qs << u"café"_qs << false;
    QTest::newRow("dotted capital I") << u"İ"_qs << u"i"_qs << false;
}

void TagsTest::keys()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, sameTag);
    QCOMPARE(tagKey(a) == tagKey(b), sameTag);
    // A tag and the tags equal to it always share a colour.
    if (sameTag && a.normalized(QString::NormalizationForm_C) == a
        && b.normalized(QString::NormalizationForm_C) == b)
        QCOMPARE(tagColorIndex(a), tagColorIndex(b));
}

void TagsTest::colours_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<quint64>("hash");
    QTest::addColumn<int>("index");

    QTest::newRow("three letters") << u"abc"_qs << quint64(193485963) << 3;
    QTest::newRow("upper case folds") << u"ABC"_qs << quint64(193485963) << 3;
    QTest::newRow("empty tag") << QString() << quint64(5381) << 5;
    QTest::newRow("two-byte letter") << u"É"_qs << quint64(5866513) << 1;
    QTest::newRow("accents and tilde") << u"ÑANDÚ"_qs << quint64(229588723980681) << 3;
    QTest::newRow("three-byte letters") << u"東京"_qs << quint64(6958583086627) << 1;
    QTest::newRow("dotted capital I lower-cases to two characters")
        << u"İ"_qs << quint64(193498209) << 3;
    QTest::newRow("long tag wraps around 64 bits")
        << QString(20, u'x') << quint64(4734238030426940645ull) << 5;
}

void TagsTest::colours()
{
    QFETCH(QString, tag);
    QFETCH(quint64, hash);
    QFETCH(int, index);
    QCOMPARE(quint64(tagHash(tag)), hash);
    QCOMPARE(tagColorIndex(tag), index);
    QCOMPARE(tagColor(tag), tagPalette[index]);
}

void TagsTest::coloursIgnoreTheLocale()
{
    // Turkish lower-cases "I" to a dotless ı; the tag key must not.
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    QCOMPARE(tagKey(u"KIŞ"_qs), u"kiş"_qs);
    QCOMPARE(quint64(tagHash(u"I"_qs)), quint64(177678));
    QCOMPARE(tagColorIndex(u"Iğdır"_qs), tagColorIndex(u"iğdır"_qs));
}

QTEST_GUILESS_MAIN(TagsTest)
#include "tst_tags.moc"
