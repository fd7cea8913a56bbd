// File descriptors as vbltool's writers use them on both systems: open(),
// write() and close(), the open() flags that only one system has (no-ops on
// the other: O_BINARY, Windows: no newline translation; O_NOFOLLOW and
// O_NOCTTY, Linux: never through a link, never a controlling terminal), and
// one owner per descriptor.
#pragma once

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

// Closes a descriptor on every way out of a scope, exceptions included,
// unless Release() hands it on.
class DescriptorOwner {
public:
    explicit DescriptorOwner(int fd) : m_fd(fd) {}
    ~DescriptorOwner()
    {
        if (m_fd >= 0) close(m_fd);
    }
    DescriptorOwner(const DescriptorOwner&) = delete;
    DescriptorOwner& operator=(const DescriptorOwner&) = delete;
    int Get() const { return m_fd; }
    // Closes it now; false when close() reports a failure (a write lost).
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};
