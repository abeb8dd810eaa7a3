// The stored-list decoder on arbitrary bytes: it never crashes, and whatever it accepts is a
// fixed point of the stored form: decoding its encoding gives the same list, which encodes to
// the same bytes.
#include "model/TaskListCodec.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    // Not copied and not NUL-terminated: a read past the end shows up as an ASan report.
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    const std::optional<QList<TaskItem>> decoded = TaskListCodec::decode(bytes);
    if (!decoded)
        return 0;
    const QByteArray encoded = TaskListCodec::encode(*decoded);
    const std::optional<QList<TaskItem>> again = TaskListCodec::decode(encoded);
    if (!again || TaskListCodec::encode(*again) != encoded) {
        std::fprintf(stderr, "not a fixed point: %s\n", encoded.toHex(' ').constData());
        std::abort();
    }
    return 0;
}
