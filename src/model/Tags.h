#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The tag syntax: a "#" followed by a run of word characters. Word characters are the
// Unicode ones (letters, combining marks, decimal digits, connector punctuation, join
// controls), so "#café" and "#cafe\u0301" are whole tags and a hyphen or full stop ends one.

// The word-character class as a PCRE2 fragment, shared by every tag pattern in the program.
// PCRE2's own \w misses combining marks, so the class is spelled out.
inline constexpr char16_t tagWordClass[] =
    u"[\\p{Alphabetic}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}]";

// The distinct tags of a text in order of first appearance, each spelled as first written;
// tags equal after lower-casing are one tag.
QStringList extractTags(const QString &text);

// The text with each of the given tags taken out where it stands as a whole "#" word,
// then trimmed of spaces and tabs at both ends, with inner runs of spaces collapsed.
QString displayText(const QString &text, const QStringList &tags);

// Spaces and tabs (Unicode space separators and U+0009) removed from both ends; line
// breaks stay. Used wherever user input is trimmed.
QString trimmedSpacesAndTabs(const QString &text);

// The key by which tags are compared: Unicode default lower-casing, independent of locale,
// of the decomposed text, then composed again, so that canonically equivalent spellings
// ("#café" typed with a combining accent or with a precomposed é) give one key.
QString tagKey(const QString &tag);
// The one rule for "the same tag", used by the list of tags, the filter, the selected chip
// and completion: equal keys.
bool sameTag(const QString &a, const QString &b);
// Whether `part` occurs in `tag` under the same rule (for completion).
bool tagContains(const QString &tag, const QString &part);

// How many colours the tag palette holds; the palette itself belongs to the interface.
inline constexpr int tagColorCount = 6;

// djb2 over the UTF-8 bytes of the lower-cased tag.
std::uint64_t tagHash(const QString &tag);
// The tag's place in the tag palette: its hash modulo the palette's size.
int tagColorIndex(const QString &tag);
