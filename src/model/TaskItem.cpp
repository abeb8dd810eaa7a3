#include "model/TaskItem.h"

#include "model/Tags.h"

#include <QJsonArray>
#include <QJsonValue>

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

// A JSON string literal with the escapes QJsonDocument itself writes: the quote, the backslash
// and the control characters; everything else stays as UTF-8.
void appendJsonString(QByteArray &out, const QString &value)
{
    static constexpr char hexDigits[] = "0123456789abcdef";
    const QByteArray utf8 = value.toUtf8();
    const char *begin = utf8.constData();
    const char *end = begin + utf8.size();
    const char *run = begin;

    out.append('"');
    for (const char *p = begin; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(run, p - run);
        run = p + 1;
        out.append('\\');
        switch (c) {
        case '"': out.append('"'); break;
        case '\\': out.append('\\'); break;
        case '\b': out.append('b'); break;
        case '\f': out.append('f'); break;
        case '\n': out.append('n'); break;
        case '\r': out.append('r'); break;
        case '\t': out.append('t'); break;
        default:
            out.append("u00", 3);
            out.append(hexDigits[c >> 4]);
            out.append(hexDigits[c & 0xf]);
        }
    }
    out.append(run, end - run);
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
    : id(QUuid::createUuid())
    , text(text)
    , tags(extractTags(text))
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
