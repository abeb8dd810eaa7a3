#include "preferences/SettingsText.h"

#include "preferences/HexDigits.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <iterator>

// The reading follows QSettings' own, rule for rule, so that a file edited by hand means the
// same here as to Qt and to any other program that reads it with QSettings.

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool startsWithByteOrderMark(const QByteArray &data)
{
    return data.startsWith("\xef\xbb\xbf");
}

// One logical line from `pos` on: white space and comment lines before it are skipped, quotes
// and a backslash carry it over line ends, and an unquoted ';' ends it (a comment may follow).
// False at the end of the data.
bool readLine(const QByteArray &data, qsizetype &pos, qsizetype &start, qsizetype &end,
              qsizetype &equals)
{
    const qsizetype size = data.size();
    bool inQuotes = false;
    equals = -1;
    start = pos;
    while (start < size && isSpace(data[start]))
        ++start;
    qsizetype i = start;
    while (i < size) {
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && equals < 0)
                equals = i - 1;
        } else if (isLineEnd(ch)) {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i; // the line end is read again by the next call
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data[i++];
                if (i < size && isLineEnd(escaped) && isLineEnd(data[i]) && data[i] != escaped)
                    ++i;
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == start + 1) {
                while (i < size && !isLineEnd(data[i]))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    end = i;
    return end > start;
}

// A key's text: "\" stands for "/", "%XX" and "%UXXXX" for the character with that code.
QString unescapedKey(QByteArrayView key)
{
    QString result;
    qsizetype i = 0;
    while (i < key.size()) {
        const char ch = key[i];
        if (ch == '\\') {
            result += u'/';
            ++i;
            continue;
        }
        if (ch != '%' || i == key.size() - 1) {
            result += QLatin1Char(ch);
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        qsizetype digits = 2;
        if (key[first] == 'U') {
            ++first;
            digits = 4;
        }
        bool ok = first + digits <= key.size();
        const int code = ok ? key.sliced(first, digits).toInt(&ok, 16) : 0;
        if (!ok) {
            result += u'%';
            ++i;
            continue;
        }
        result += QChar(char16_t(code));
        i = first + digits;
    }
    return result;
}

void chopTrailingBlanks(QString &text, qsizetype limit)
{
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
}

// A value's text: escapes, quotes, and commas outside quotes, which make it a list whose
// items lose the blanks around them. Text between escapes is UTF-8.
QVariant unescapedValue(QByteArrayView value)
{
    static constexpr char simpleEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                                {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                                {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QStringDecoder utf8(QStringDecoder::Utf8);
    QStringList list;
    bool isList = false;
    bool inQuotes = false;
    bool isQuoted = false;
    // Blanks at the end of an unquoted item go, but not those an escape or a quote made.
    bool choppable = true;
    QString current;
    qsizetype chopLimit = 0;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
            ++i;
        chopLimit = current.size();
    };
    skipBlanks();
    while (i < value.size()) {
        const char ch = value[i];
        if (ch == '\\') {
            // A backslash, or "\x", at the very end ends the value as it is.
            if (++i >= value.size() || (value[i] == 'x' && i + 1 >= value.size())) {
                choppable = false;
                break;
            }
            const char code = value[i++];
            const auto *simple = std::find_if(std::begin(simpleEscapes), std::end(simpleEscapes),
                                              [code](const char *pair) { return pair[0] == code; });
            if (simple != std::end(simpleEscapes)) {
                current += QLatin1Char((*simple)[1]);
            } else if ((code == 'x' && hexDigitValue(value[i]) >= 0) ||
                       (code >= '0' && code <= '7')) {
                const int base = code == 'x' ? 16 : 8;
                char16_t escaped = code == 'x' ? 0 : char16_t(code - '0');
                while (i < value.size() && hexDigitValue(value[i]) >= 0 &&
                       hexDigitValue(value[i]) < base)
                    escaped = char16_t(escaped * base + hexDigitValue(value[i++]));
                current += QChar(escaped);
            } else if (isLineEnd(code)) {
                // The line goes on: the line end goes, with its other half if it has one.
                if (i < value.size() && isLineEnd(value[i]) && value[i] != code)
                    ++i;
            }
            // Any other escaped character is dropped.
            chopLimit = current.size();
            continue;
        }
        if (ch == '"') {
            ++i;
            isQuoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
            continue;
        }
        if (ch == ',' && !inQuotes) {
            if (!isQuoted)
                chopTrailingBlanks(current, chopLimit);
            isList = true;
            list.append(current);
            current.clear();
            isQuoted = false;
            ++i;
            skipBlanks();
            continue;
        }
        qsizetype j = i + 1;
        while (j < value.size() && value[j] != '\\' && value[j] != '"' && value[j] != ',')
            ++j;
        current += utf8(value.sliced(i, j - i));
        i = j;
    }
    if (choppable && !isQuoted)
        chopTrailingBlanks(current, chopLimit);
    if (!isList)
        return current;
    list.append(current);
    return list;
}

// One value's text as QSettings types it: "@ByteArray(...)", "@Variant(...)" (a value in
// QDataStream's form) and "@Invalid()"; "@@" stands for a text that starts with "@".
// Geometry ("@Rect(...)" and the like) no key of ours holds; its text is kept.
QVariant typedItem(const QString &text)
{
    if (!text.startsWith(u'@'))
        return text;
    if (text.endsWith(u')')) {
        if (text.startsWith(u"@ByteArray("))
            return text.sliced(11, text.size() - 12).toLatin1();
        if (text.startsWith(u"@Variant(")) {
            QByteArray data = text.sliced(9).toLatin1();
            QDataStream stream(&data, QIODevice::ReadOnly);
            stream.setVersion(QDataStream::Qt_4_0);
            QVariant value;
            stream >> value;
            return value;
        }
        if (text == u"@Invalid()")
            return {};
    }
    if (text.startsWith(u"@@"))
        return text.sliced(1);
    return text;
}

// A list is a list of texts, unless an item is typed: then every item is.
QVariant typedValue(const QVariant &text)
{
    if (text.typeId() == QMetaType::QString)
        return typedItem(text.toString());
    QStringList items = text.toStringList();
    for (QString &item : items) {
        if (item.startsWith(u"@@")) {
            item.remove(0, 1);
        } else if (item.startsWith(u'@')) {
            QVariantList typed;
            for (const QString &each : text.toStringList())
                typed.append(typedItem(each));
            return typed;
        }
    }
    return items;
}

// A value as QSettings writes it: control characters escaped, and for a byte array every
// byte outside ASCII too; a hex escape is never followed by a bare hex digit it would take
// in; quoted when it holds ';', ',' or '=' or starts or ends with a space.
QByteArray escapedValue(const QString &text)
{
    const bool isUtf8 = !text.startsWith(u"@ByteArray(");
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    QByteArray result;
    result.reserve(text.size() * 11 / 10 + 2);
    for (const QChar qch : text) {
        const char16_t ch = qch.unicode();
        needsQuotes = needsQuotes || ch == ';' || ch == ',' || ch == '=';
        if (escapeNextIfHexDigit && ch < 0x80 && hexDigitValue(char(ch)) >= 0) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (ch) {
        case '\0':
            result += "\\0";
            escapeNextIfHexDigit = true;
            break;
        case '\a':
            result += "\\a";
            break;
        case '\b':
            result += "\\b";
            break;
        case '\f':
            result += "\\f";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        case '\v':
            result += "\\v";
            break;
        case '"':
        case '\\':
            result += '\\';
            result += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && !isUtf8)) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfHexDigit = true;
            } else if (isUtf8) {
                result += QStringView(&qch, 1).toUtf8();
            } else {
                result += char(ch);
            }
        }
    }
    if (needsQuotes || result.startsWith(' ') || result.endsWith(' '))
        return '"' + result + '"';
    return result;
}

QString settingsString(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return u"@ByteArray("_qs + QString::fromLatin1(bytes) + u')';
    }
    return QString::number(value.toInt());
}

} // namespace

QList<SettingsText::Line> SettingsText::lines() const
{
    QList<Line> result;
    bool isGeneral = true;
    qsizetype pos = startsWithByteOrderMark(m_bytes) ? 3 : 0;
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype equals = -1;
    while (readLine(m_bytes, pos, start, end, equals)) {
        qsizetype next = end;
        if (next < m_bytes.size() && m_bytes[next] == '\r')
            ++next;
        if (next < m_bytes.size() && m_bytes[next] == '\n' && (next == end || next == end + 1))
            ++next;
        if (m_bytes[start] == '[') {
            const qsizetype close = m_bytes.indexOf(']', start);
            const qsizetype nameEnd = close < 0 || close >= end ? end : close;
            const QByteArray name = m_bytes.sliced(start + 1, nameEnd - start - 1).trimmed();
            isGeneral = name.compare("general", Qt::CaseInsensitive) == 0;
            equals = -1;
        }
        result.append({start, end, next, equals, isGeneral});
    }
    return result;
}

QList<SettingsText::Line> SettingsText::entriesOf(QLatin1StringView key,
                                                  qsizetype *generalEnd) const
{
    QList<Line> entries;
    if (generalEnd)
        *generalEnd = -1;
    for (const Line &line : lines()) {
        if (!line.isGeneral)
            continue;
        if (generalEnd)
            *generalEnd = line.next;
        if (line.equals < 0)
            continue;
        qsizetype keyEnd = line.equals;
        while (keyEnd > line.start && (m_bytes[keyEnd - 1] == ' ' || m_bytes[keyEnd - 1] == '\t'))
            --keyEnd;
        if (unescapedKey(QByteArrayView(m_bytes).sliced(line.start, keyEnd - line.start)) == key)
            entries.append(line);
    }
    return entries;
}

QVariant SettingsText::value(QLatin1StringView key) const
{
    const QList<Line> entries = entriesOf(key, nullptr);
    if (entries.isEmpty())
        return {};
    // As in QSettings, the last entry of a key counts.
    const Line &entry = entries.last();
    return typedValue(unescapedValue(
        QByteArrayView(m_bytes).sliced(entry.equals + 1, entry.end - entry.equals - 1)));
}

void SettingsText::setValue(QLatin1StringView key, const QVariant &value)
{
    const QByteArray entry =
        QByteArray(key.data(), key.size()) + '=' + escapedValue(settingsString(value));
    qsizetype generalEnd = -1;
    const QList<Line> entries = entriesOf(key, &generalEnd);
    if (!entries.isEmpty()) {
        // One entry, where the first one stood; the others would be read in its place.
        for (qsizetype i = entries.size() - 1; i > 0; --i)
            m_bytes.remove(entries[i].start, entries[i].next - entries[i].start);
        m_bytes.replace(entries.first().start, entries.first().end - entries.first().start, entry);
    } else if (generalEnd >= 0) {
        const bool endsLine = generalEnd == 0 || isLineEnd(m_bytes[generalEnd - 1]);
        m_bytes.insert(generalEnd, (endsLine ? QByteArray() : "\n") + entry + '\n');
    } else {
        // No general section yet: it goes first, as QSettings writes it.
        const qsizetype at = startsWithByteOrderMark(m_bytes) ? 3 : 0;
        const bool isAlone = m_bytes.size() == at;
        m_bytes.insert(at, "[General]\n" + entry + (isAlone ? "\n" : "\n\n"));
    }
}
