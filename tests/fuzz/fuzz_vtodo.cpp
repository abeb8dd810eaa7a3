// The CalDAV to-do reader and the task mapping on arbitrary bytes: nothing crashes, what is
// read reads back the same after it is written, and a task written into a server's copy is
// written once: mapping it in again finds nothing to change, so a sync never writes forever.
#include "sync/TaskFields.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &ics)
{
    std::fprintf(stderr, "%s:\n%s\n", what, ics.constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    const std::optional<VTodo> vtodo = VTodo::parse(QByteArrayView(data, qsizetype(size)));
    if (!vtodo)
        return 0;
    const QByteArray written = vtodo->serialize();
    const std::optional<VTodo> again = VTodo::parse(written);
    if (!again || again->uid() != vtodo->uid() ||
        !(TaskFields::fromVTodo(*again) == TaskFields::fromVTodo(*vtodo)))
        fail("reads back otherwise", written);

    // Every field changed at once, from the text the input itself maps to.
    SyncedFields fields = TaskFields::fromVTodo(*vtodo);
    fields.text += fields.text.size() % 2 ? QStringLiteral(" #nuevo") : QStringLiteral(" más");
    fields.isDone = !fields.isDone;
    fields.isPriority = !fields.isPriority;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1714557600, Qt::UTC);
    VTodo changed = *vtodo;
    if (!TaskFields::apply(changed, fields, now))
        fail("a change not written", written);
    const QByteArray update = changed.serialize();
    std::optional<VTodo> stored = VTodo::parse(update);
    if (!stored || stored->uid() != vtodo->uid())
        fail("an update that does not read back", update);
    if (TaskFields::apply(*stored, fields, now))
        fail("written twice", update);
    return 0;
}
