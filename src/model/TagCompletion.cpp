#include "model/TagCompletion.h"

#include "model/Tags.h"

#include <QRegularExpression>

namespace {

// "#(\w*)$": the last "#" when only word characters follow it. "#" is not a word
// character, so the first match found is always at the last "#" of the text.
QRegularExpressionMatch partialMatch(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("#(%1*)$").arg(QString::fromUtf16(tagWordClass)));
    return pattern.match(text);
}

} // namespace

std::optional<QString> TagCompletion::partialTag(const QString &text)
{
    const QRegularExpressionMatch match = partialMatch(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

QStringList TagCompletion::candidates(const QString &partial, const QStringList &allTags)
{
    if (partial.isEmpty())
        return allTags;
    QStringList found;
    for (const QString &tag : allTags) {
        if (tagContains(tag, partial))
            found.append(tag);
    }
    return found;
}

std::optional<QString> TagCompletion::applied(const QString &text, const QString &tag)
{
    const QRegularExpressionMatch match = partialMatch(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString result = text;
    result.replace(match.capturedStart(0), match.capturedLength(0),
                   QLatin1Char('#') + tag + QLatin1Char(' '));
    return result;
}
