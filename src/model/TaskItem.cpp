#include "model/TaskItem.h"

#include "model/Tags.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QStringEncoder>

#include <algorithm>

namespace {

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

// Only the 36-character form, digits of either case: QUuid::fromString alone would also take
// braces, which the stored form does not allow, and it gives the nil id for any bad text.
std::optional<QUuid> uuidFromStoredText(const QString &text)
{
    static const QString nil = QUuid().toString(QUuid::WithoutBraces);
    const QUuid id = QUuid::fromString(text);
    if (text.size() != 36 || text.startsWith(u'{') || (id.isNull() && text != nil))
        return std::nullopt;
    return id;
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
    out.append("{\"id\":\"", 7);
    out.append(id.toByteArray(QUuid::WithoutBraces).toUpper());
    out.append('"');
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
