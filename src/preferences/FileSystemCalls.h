#pragma once

#include <sys/types.h>

// The system calls that writing a file makes, each one virtual, so that a test can make any
// of them fail and see what a save does then. The default set calls the system.
class FileSystemCalls
{
public:
    virtual ~FileSystemCalls() = default;

    // mkostemp(3): a new file, 0600, named from the template's trailing XXXXXX.
    virtual int createUnique(char *nameTemplate);
    virtual ssize_t write(int fd, const void *data, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char *from, const char *to);
    virtual int unlink(const char *path);
    // flock(2) with LOCK_EX | LOCK_NB, or LOCK_UN.
    virtual int flock(int fd, int operation);

    static FileSystemCalls &system();
};
