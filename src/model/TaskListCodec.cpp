#include "model/TaskListCodec.h"

#include "preferences/HexDigits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The four hexadecimal digits of a \u escape starting at `p`, or -1.
int escapedUnit(const char *p, const char *end)
{
    if (end - p < 6 || p[0] != '\\' || p[1] != 'u')
        return -1;
    int unit = 0;
    for (int i = 2; i < 6; ++i) {
        const int digit = hexDigitValue(p[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// QJsonDocument reads some text that is not JSON: raw control characters inside strings,
// unknown escapes such as \x, numbers such as "1." or ".5", and escaped unpaired surrogates.
// It also skips a leading UTF-8 byte order mark, which is not part of JSON text. A stored list
// is either JSON or unreadable, so those are turned away here; everything else (structure,
// UTF-8, nesting depth) is left to QJsonDocument.
bool passesStrictChecks(const QByteArray &document)
{
    if (document.startsWith("\xEF\xBB\xBF"))
        return false;
    const char *const begin = document.constData();
    const char *const end = begin + document.size();
    const char *p = begin;
    bool inString = false;
    while (p < end) {
        const auto c = static_cast<unsigned char>(*p);
        if (inString) {
            if (c == '"') {
                inString = false;
            } else if (c < 0x20) {
                return false;
            } else if (c == '\\') {
                if (end - p < 2)
                    return false;
                switch (p[1]) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't':
                    p += 2;
                    continue;
                case 'u': {
                    const int unit = escapedUnit(p, end);
                    if (unit < 0 || (unit >= 0xDC00 && unit <= 0xDFFF))
                        return false;
                    if (unit >= 0xD800 && unit <= 0xDBFF) {
                        const int low = escapedUnit(p + 6, end);
                        if (low < 0xDC00 || low > 0xDFFF)
                            return false;
                        p += 12;
                    } else {
                        p += 6;
                    }
                    continue;
                }
                default:
                    return false;
                }
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '.') {
            if (p == begin || !isDigit(p[-1]) || end - p < 2 || !isDigit(p[1]))
                return false;
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return false;
        }
        ++p;
    }
    return true;
}

} // namespace

namespace TaskListCodec {

QByteArray encode(const QList<TaskItem> &tasks)
{
    qsizetype estimate = 2;
    for (const TaskItem &task : tasks)
        estimate += 110 + task.text.size() * 3 / 2 + task.tags.size() * 12;

    QByteArray document;
    document.reserve(estimate);
    document.append('[');
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        if (i > 0)
            document.append(',');
        tasks.at(i).appendJson(document);
    }
    document.append(']');
    return document;
}

std::optional<QList<TaskItem>> decode(const QByteArray &document)
{
    if (!passesStrictChecks(document))
        return std::nullopt;

    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(document, &error);
    if (error.error != QJsonParseError::NoError || !json.isArray())
        return std::nullopt;

    const QJsonArray records = json.array();
    QList<TaskItem> tasks;
    tasks.reserve(records.size());
    for (const QJsonValue record : records) {
        if (!record.isObject())
            return std::nullopt;
        std::optional<TaskItem> task = TaskItem::fromJson(record.toObject());
        if (!task)
            return std::nullopt;
        tasks.append(std::move(*task));
    }
    return tasks;
}

} // namespace TaskListCodec
