#pragma once

#include "preferences/FileSystemCalls.h"
#include "preferences/SaveError.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Replacing a file's contents so that, whatever fails and whenever the process dies, the file
// holds either all of its old bytes or all of the new ones, never a mix or a part.
namespace DurableFile {

enum class Durability {
    Flushed,  // on the disk before replace() returns: for the file that holds the list
    Buffered, // left to the system to write: for copies kept only in case
};

// Writes `bytes` whole to a new file (0600) beside the file `path` finally names, flushes it,
// renames it over that file and flushes the folder. A symbolic link on the way stays a link:
// what it points to is replaced. Every step is checked; when one fails, the file is as it was
// and the new file is gone. A file without write permission is not replaced. Returns why it
// failed, or nothing.
std::optional<SaveError> replace(const QString &path, const QByteArray &bytes,
                                 Durability durability = Durability::Flushed,
                                 FileSystemCalls &calls = FileSystemCalls::system());

// The file `path` finally names: symbolic links followed one after another, a relative one
// from the folder of the link, as the system follows them. `path` itself when it is not a
// link (or names nothing).
QString finalTarget(const QString &path);

// Where replace() writes the new version of `target` before renaming it: beside it, with
// this prefix and six more characters.
QString temporaryPrefix(const QString &target);

} // namespace DurableFile
