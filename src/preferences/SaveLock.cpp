#include "preferences/SaveLock.h"

#include <QFile>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SaveLock::SaveLock(const QString &lockFilePath, std::chrono::milliseconds patience,
                   FileSystemCalls &calls)
    : m_calls(calls)
{
    const QByteArray name = QFile::encodeName(lockFilePath);
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    // Saves take a few milliseconds, so a short poll finds the lock free soon after the
    // other process is done.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (m_calls.flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (std::chrono::steady_clock::now() >= deadline) {
            m_state = State::Busy;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_state = State::Held;
}

SaveLock::~SaveLock()
{
    if (m_state == State::Held)
        m_calls.flock(m_fd, LOCK_UN);
    if (m_fd >= 0)
        ::close(m_fd);
}
