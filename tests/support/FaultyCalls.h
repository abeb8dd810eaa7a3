#pragma once

#include "preferences/FileSystemCalls.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>

#include <sys/file.h>

// The system's calls, except that one of them fails with `error` from its (skip + 1)th call
// on, and writes may be cut into short pieces, as the system may cut them.
class FaultyCalls : public FileSystemCalls
{
public:
    void arm(const QByteArray &call, int skip, int error)
    {
        m_failing = call;
        m_skip = skip;
        m_error = error;
    }
    void disarm() { m_failing.clear(); }
    size_t pieceSize = 0;

    int createUnique(char *name) override
    {
        return fails("createUnique") ? -1 : FileSystemCalls::createUnique(name);
    }
    ssize_t write(int fd, const void *data, size_t size) override
    {
        return fails("write")
                   ? -1
                   : FileSystemCalls::write(fd, data, pieceSize ? std::min(size, pieceSize) : size);
    }
    int fsync(int fd) override { return fails("fsync") ? -1 : FileSystemCalls::fsync(fd); }
    int close(int fd) override
    {
        // The descriptor goes either way, as with the system's close.
        const int result = FileSystemCalls::close(fd);
        return fails("close") ? -1 : result;
    }
    int rename(const char *from, const char *to) override
    {
        return fails("rename") ? -1 : FileSystemCalls::rename(from, to);
    }
    int flock(int fd, int operation) override
    {
        return operation != LOCK_UN && fails("flock") ? -1 : FileSystemCalls::flock(fd, operation);
    }

private:
    bool fails(const char *call)
    {
        if (m_failing != call || m_skip-- > 0)
            return false;
        errno = m_error;
        return true;
    }
    QByteArray m_failing;
    int m_skip = 0;
    int m_error = 0;
};
