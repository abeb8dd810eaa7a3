// The stored-list decoder on arbitrary bytes: it never crashes, and whatever it accepts
// survives encoding unchanged: decode(encode(decode(x))) == decode(x), and encoding the
// result again gives the same bytes (the stored form is a fixed point).
#include "FuzzSupport.h"

#include "model/TaskListCodec.h"

#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Not copied and not NUL-terminated: a read past the end shows up as an ASan report.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const std::optional<QList<TaskItem>> decoded = TaskListCodec::decode(bytes);
    if (!decoded)
        return 0;

    const QByteArray encoded = TaskListCodec::encode(*decoded);
    FUZZ_CHECK(encoded.startsWith('[') && encoded.endsWith(']'));
    FUZZ_CHECK(QJsonDocument::fromJson(encoded).isArray());

    const std::optional<QList<TaskItem>> again = TaskListCodec::decode(encoded);
    FUZZ_CHECK(again.has_value());
    if (!sameTasks(*decoded, *again))
        describeDifference(*decoded, *again);
    FUZZ_CHECK(sameTasks(*decoded, *again));
    FUZZ_CHECK(TaskListCodec::encode(*again) == encoded);
    return 0;
}
