#include "model/TaskItem.h"

#include "model/Tags.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringEncoder>

#include <algorithm>

namespace {

void appendUpperHex(QByteArray &out, quint64 value, int digits)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.append(hexDigits[(value >> shift) & 0xf]);
}

// 8-4-4-4-12 upper-case hexadecimal digits, no braces.
void appendUuid(QByteArray &out, const QUuid &id)
{
    out.append('"');
    appendUpperHex(out, id.data1, 8);
    out.append('-');
    appendUpperHex(out, id.data2, 4);
    out.append('-');
    appendUpperHex(out, id.data3, 4);
    out.append('-');
    appendUpperHex(out, (quint64(id.data4[0]) << 8) | id.data4[1], 4);
    out.append('-');
    quint64 node = 0;
    for (int i = 2; i < 8; ++i)
        node = (node << 8) | id.data4[i];
    appendUpperHex(out, node, 12);
    out.append('"');
}

bool needsEscape(char16_t c)
{
    return c < 0x20 || c == u'"' || c == u'\\';
}

// A JSON string literal with the escapes QJsonDocument itself writes: the quote, the backslash
// and the control characters; everything else goes out as UTF-8. The common case, a string
// with nothing to escape, is converted straight into `out`.
void appendJsonString(QByteArray &out, const QString &value)
{
    static constexpr char hexDigits[] = "0123456789abcdef";
    // Stateless: an unpaired surrogate becomes U+FFFD here instead of waiting for a partner
    // in the next string.
    thread_local QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);

    out.append('"');
    const QStringView text(value);
    qsizetype run = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !needsEscape(text[i].unicode()))
            continue;
        if (i > run) {
            const QStringView plain = text.mid(run, i - run);
            const qsizetype start = out.size();
            const qsizetype needed = start + toUtf8.requiredSpace(plain.size());
            if (out.capacity() < needed)
                out.reserve(std::max(needed, 2 * out.capacity()));
            out.resize(needed);
            char *end = toUtf8.appendToBuffer(out.data() + start, plain);
            out.truncate(end - out.constData());
        }
        run = i + 1;
        if (i == text.size())
            break;
        const char16_t c = text[i].unicode();
        out.append('\\');
        switch (c) {
        case u'"':
            out.append('"');
            break;
        case u'\\':
            out.append('\\');
            break;
        case u'\b':
            out.append('b');
            break;
        case u'\f':
            out.append('f');
            break;
        case u'\n':
            out.append('n');
            break;
        case u'\r':
            out.append('r');
            break;
        case u'\t':
            out.append('t');
            break;
        default:
            out.append("u00", 3);
            out.append(hexDigits[c >> 4]);
            out.append(hexDigits[c & 0xf]);
        }
    }
    out.append('"');
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// Only the 36-character form, digits of either case. QUuid::fromString alone would also take
// braces, which the stored form does not allow.
std::optional<QUuid> uuidFromStoredText(const QString &text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool isHyphenPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (isHyphenPosition ? text.at(i) != u'-' : !isHexDigit(text.at(i)))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace

TaskItem::TaskItem(const QString &text)
    : id(QUuid::createUuid()), text(text), tags(extractTags(text))
{
}

QString TaskItem::displayText() const
{
    return ::displayText(text, tags);
}

void TaskItem::appendJson(QByteArray &out) const
{
    out.append("{\"id\":", 6);
    appendUuid(out, id);
    out.append(",\"text\":", 8);
    appendJsonString(out, text);
    out.append(",\"isDone\":", 10);
    out.append(isDone ? QByteArrayView("true") : QByteArrayView("false"));
    out.append(",\"isPriority\":", 14);
    out.append(isPriority ? QByteArrayView("true") : QByteArrayView("false"));
    out.append(",\"tags\":[", 9);
    for (qsizetype i = 0; i < tags.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendJsonString(out, tags.at(i));
    }
    out.append("]}", 2);
}

std::optional<TaskItem> TaskItem::fromJson(const QJsonObject &object)
{
    TaskItem item;

    const QJsonValue id = object.value(QLatin1String("id"));
    if (!id.isString())
        return std::nullopt;
    const std::optional<QUuid> uuid = uuidFromStoredText(id.toString());
    if (!uuid)
        return std::nullopt;
    item.id = *uuid;

    const QJsonValue text = object.value(QLatin1String("text"));
    if (!text.isString())
        return std::nullopt;
    item.text = text.toString();

    const QJsonValue isDone = object.value(QLatin1String("isDone"));
    if (!isDone.isBool())
        return std::nullopt;
    item.isDone = isDone.toBool();

    const QJsonValue isPriority = object.value(QLatin1String("isPriority"));
    if (isPriority.isBool())
        item.isPriority = isPriority.toBool();
    else if (!isPriority.isUndefined() && !isPriority.isNull())
        return std::nullopt;

    const QJsonValue tags = object.value(QLatin1String("tags"));
    if (tags.isUndefined() || tags.isNull()) {
        item.tags = extractTags(item.text);
    } else if (tags.isArray()) {
        const QJsonArray array = tags.toArray();
        item.tags.reserve(array.size());
        for (const QJsonValue tag : array) {
            if (!tag.isString())
                return std::nullopt;
            item.tags.append(tag.toString());
        }
    } else {
        return std::nullopt;
    }

    return item;
}
