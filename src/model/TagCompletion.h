#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Completion of the tag being typed at the end of a text. A text ends in a partial tag when
// its last "#" is followed by nothing but tag word characters up to the end; positions are
// counted on the text itself, so emoji or combining marks before the "#" change nothing.
class TagCompletion
{
public:
    // The word after the trailing "#" (empty for a lone "#"), or none when the text does
    // not end in a partial tag.
    static std::optional<QString> partialTag(const QString &text);

    // The entries of `allTags`, in their order, that contain `partial` regardless of letter
    // case; all of them for an empty partial. Both sides are compared in composed form, so
    // an accent typed as a combining mark matches the same accent written as one letter.
    static QStringList candidates(const QString &partial, const QStringList &allTags);

    // The text with its trailing "#" and partial word replaced by "#", the tag as given and
    // one space; none when the text does not end in a partial tag.
    static std::optional<QString> applied(const QString &text, const QString &tag);
};
