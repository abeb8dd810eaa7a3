// The Multi-Status reader on arbitrary bytes: it never crashes, and every response it keeps is
// about a path on the server that was asked.
#include "caldav/Multistatus.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    // Not copied and not NUL-terminated: a read past the end shows up as an ASan report.
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    const QUrl requestUrl(QStringLiteral("https://dav.example.org/alice/tasks/"));
    const Multistatus parsed = Multistatus::parse(bytes, requestUrl);
    if (!parsed.isValid() && (!parsed.responses.isEmpty() || !parsed.syncToken.isEmpty())) {
        std::fprintf(stderr, "refused but kept responses\n");
        std::abort();
    }
    for (const DavResponse &response : parsed.responses) {
        if (!response.href.startsWith(u'/')) {
            std::fprintf(stderr, "href not a path: %s\n", qPrintable(response.href));
            std::abort();
        }
    }
    return 0;
}
