// The CalDAV to-do reader and the task mapping on arbitrary bytes: nothing crashes, what is
// read reads back the same after it is written, and a task written into a server's copy is
// written once: mapping it in again finds nothing to change, so a sync never writes forever.
#include "sync/TaskFields.h"

#include <cstdio>
#include <cstdlib>

static void check(bool ok, const char *what, const QByteArray &ics)
{
    if (!ok) {
        std::fprintf(stderr, "%s:\n%s\n", what, ics.constData());
        std::abort();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    const std::optional<VTodo> vtodo = VTodo::parse(QByteArrayView(data, qsizetype(size)));
    if (!vtodo)
        return 0;
    const QByteArray written = vtodo->serialize();
    const std::optional<VTodo> again = VTodo::parse(written);
    check(again && again->uid() == vtodo->uid() &&
              TaskFields::fromVTodo(*again) == TaskFields::fromVTodo(*vtodo),
          "reads back otherwise", written);

    // Every field changed at once, from the text the input itself maps to.
    SyncedFields fields = TaskFields::fromVTodo(*vtodo);
    fields.text += fields.text.size() % 2 ? QStringLiteral(" #nuevo") : QStringLiteral(" más");
    fields.isDone = !fields.isDone;
    fields.isPriority = !fields.isPriority;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1714557600, Qt::UTC);
    VTodo changed = *vtodo;
    check(TaskFields::apply(changed, fields, now), "a change not written", written);
    const QByteArray update = changed.serialize();
    std::optional<VTodo> stored = VTodo::parse(update);
    check(stored && stored->uid() == vtodo->uid(), "an update that does not read back", update);
    check(!TaskFields::apply(*stored, fields, now), "written twice", update);
    return 0;
}
