#include "preferences/FileSystemCalls.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int FileSystemCalls::createUnique(char *nameTemplate)
{
    return ::mkostemp(nameTemplate, O_CLOEXEC);
}

ssize_t FileSystemCalls::write(int fd, const void *data, size_t size)
{
    return ::write(fd, data, size);
}

int FileSystemCalls::fsync(int fd)
{
    return ::fsync(fd);
}

int FileSystemCalls::close(int fd)
{
    return ::close(fd);
}

int FileSystemCalls::rename(const char *from, const char *to)
{
    return std::rename(from, to);
}

int FileSystemCalls::unlink(const char *path)
{
    return ::unlink(path);
}

int FileSystemCalls::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

FileSystemCalls &FileSystemCalls::system()
{
    static FileSystemCalls calls;
    return calls;
}
