#include "model/TagCompletion.h"

#include "model/Tags.h"

#include <QRegularExpression>

namespace {

const QString &wordClass()
{
    static const QString word = QString::fromUtf16(tagWordClass);
    return word;
}

// "#(\w*)$": the last "#" when only word characters follow it. "#" is not a word
// character, so the first match found is always at the last "#" of the text.
const QRegularExpression &partialPattern()
{
    static const QRegularExpression pattern(QStringLiteral("#(%1*)$").arg(wordClass()));
    return pattern;
}

} // namespace

std::optional<QString> TagCompletion::partialTag(const QString &text)
{
    const QRegularExpression &pattern = partialPattern();
    if (!pattern.isValid())
        return std::nullopt;
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1);
}

QStringList TagCompletion::candidates(const QString &partial, const QStringList &allTags)
{
    if (partial.isEmpty())
        return allTags;
    const QString needle = partial.normalized(QString::NormalizationForm_C);
    QStringList found;
    for (const QString &tag : allTags) {
        if (tag.normalized(QString::NormalizationForm_C).contains(needle, Qt::CaseInsensitive))
            found.append(tag);
    }
    return found;
}

std::optional<QString> TagCompletion::applied(const QString &text, const QString &tag)
{
    // The match of "#(\w*)$" as a whole is the match of "#\w*$".
    const QRegularExpression &pattern = partialPattern();
    if (!pattern.isValid())
        return std::nullopt;
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString result = text;
    result.replace(match.capturedStart(0), match.capturedLength(0),
                   QLatin1Char('#') + tag + QLatin1Char(' '));
    return result;
}
