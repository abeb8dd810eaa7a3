// The Multi-Status reader on arbitrary bytes: it never crashes, and every response it keeps is
// about a path on the server that was asked.
#include "caldav/Multistatus.h"

extern "C" int LLVMFuzzerTestOneInput(const char *data, std::size_t size)
{
    // Not copied and not NUL-terminated: a read past the end shows up as an ASan report.
    const QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    const Multistatus parsed =
        Multistatus::parse(bytes, QUrl(QStringLiteral("https://dav.example.org/alice/tasks/")));
    if (!parsed.isValid() && (!parsed.responses.isEmpty() || !parsed.syncToken.isEmpty()))
        qFatal("refused but kept responses");
    for (const DavResponse &response : parsed.responses) {
        if (!response.href.startsWith(u'/'))
            qFatal("href not a path: %s", qPrintable(response.href));
    }
    return 0;
}
