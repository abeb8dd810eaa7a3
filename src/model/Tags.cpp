#include "model/Tags.h"

#include <QRegularExpression>
#include <QSet>

namespace {

QString wordClass()
{
    return QString::fromUtf16(tagWordClass);
}

const QRegularExpression &tagPattern()
{
    static const QRegularExpression pattern(QStringLiteral("#(") + wordClass() +
                                                QStringLiteral("+)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

const QRegularExpression &wordCharacter()
{
    static const QRegularExpression pattern(wordClass(),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// Whether a word character starts at `position`. ASCII is decided here; everything else goes
// to the same class the tag pattern uses, so both agree on combining marks and the like.
bool isWordCharacterAt(const QString &text, qsizetype position)
{
    if (position >= text.size())
        return false;
    const char16_t c = text.at(position).unicode();
    if (c < 0x80) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_';
    }
    return wordCharacter()
        .match(text, position, QRegularExpression::NormalMatch,
               QRegularExpression::AnchorAtOffsetMatchOption)
        .hasMatch();
}

// PCRE2 refuses to search a subject with an unpaired surrogate at all, which would cost the
// whole text its tags. Replacing such units one for one keeps every position unchanged, and
// U+FFFD is not a word character, so no tag can differ from the original text.
QString withPairedSurrogates(const QString &text)
{
    if (text.isValidUtf16())
        return text;
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            result[i] = QChar::ReplacementCharacter;
        }
    }
    return result;
}

// Every "#tag" that is not followed by a word character goes; "#tagged" stays.
QString withoutTagWord(const QString &text, const QString &tag)
{
    const QString needle = QLatin1Char('#') + tag;
    qsizetype position = text.indexOf(needle);
    if (position < 0)
        return text;

    QString result;
    result.reserve(text.size());
    qsizetype copiedUpTo = 0;
    while (position >= 0) {
        const qsizetype end = position + needle.size();
        if (isWordCharacterAt(text, end)) {
            position = text.indexOf(needle, position + 1);
            continue;
        }
        result.append(QStringView(text).mid(copiedUpTo, position - copiedUpTo));
        copiedUpTo = end;
        position = text.indexOf(needle, end);
    }
    result.append(QStringView(text).mid(copiedUpTo));
    return result;
}

QString withSpaceRunsCollapsed(const QString &text)
{
    if (!text.contains(QLatin1String("  ")))
        return text;
    QString result;
    result.reserve(text.size());
    bool previousWasSpace = false;
    for (const QChar c : text) {
        const bool isSpace = c == u' ';
        if (!(isSpace && previousWasSpace))
            result.append(c);
        previousWasSpace = isSpace;
    }
    return result;
}

bool isSpaceOrTab(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

QStringList extractTags(const QString &text)
{
    if (!text.contains(QLatin1Char('#')))
        return {};

    QStringList tags;
    QSet<QString> seen;
    QRegularExpressionMatchIterator matches = tagPattern().globalMatch(withPairedSurrogates(text));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString tag = match.captured(1);
        const QString key = tagKey(tag);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        tags.append(tag);
    }
    return tags;
}

QString displayText(const QString &text, const QStringList &tags)
{
    QString result = text;
    for (const QString &tag : tags)
        result = withoutTagWord(result, tag);
    return withSpaceRunsCollapsed(trimmedSpacesAndTabs(result));
}

QString trimmedSpacesAndTabs(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text.at(begin)))
        ++begin;
    while (end > begin && isSpaceOrTab(text.at(end - 1)))
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString tagKey(const QString &tag)
{
    return tag.normalized(QString::NormalizationForm_D)
        .toLower()
        .normalized(QString::NormalizationForm_C);
}

bool sameTag(const QString &a, const QString &b)
{
    return a == b || tagKey(a) == tagKey(b);
}

bool tagContains(const QString &tag, const QString &part)
{
    return tagKey(tag).contains(tagKey(part));
}

std::uint64_t tagHash(const QString &tag)
{
    // The bytes of the lower-cased tag as written, not of its key: the colour of a tag
    // spelled with a combining accent is the one its own bytes give.
    std::uint64_t hash = 5381;
    const QByteArray bytes = tag.toLower().toUtf8();
    for (const char byte : bytes)
        hash = (hash << 5) + hash + static_cast<unsigned char>(byte);
    return hash;
}

int tagColorIndex(const QString &tag)
{
    return static_cast<int>(tagHash(tag) % tagColorCount);
}
