#include "preferences/SaveError.h"

#include <cerrno>
#include <cstring>

SaveError::Reason SaveError::reason() const
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Reason::DiskFull;
    case EROFS:
        return Reason::ReadOnly;
    case EACCES:
    case EPERM:
        return Reason::NoPermission;
    case EWOULDBLOCK:
        return Reason::Busy;
    default:
        return Reason::Other;
    }
}

QString SaveError::toString() const
{
    return QStringLiteral("cannot %1 %2: %3")
        .arg(step, path, QString::fromLocal8Bit(std::strerror(code)));
}
