// SPDX-License-Identifier: MIT
#include "Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

Pty::~Pty()
{
    Close();
}

bool Pty::Open()
{
    Master = posix_openpt(O_RDWR | O_NOCTTY);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
        Error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[256];
    if (ptsname_r(Master, name, sizeof name) != 0) {
        Error = std::string("ptsname: ") + std::strerror(errno);
        return false;
    }
    SlavePath = name;
    // Raw through the master, so the line neither echoes nor translates before a program
    // opens the serial end and sets its own mode.
    termios tio{};
    if (tcgetattr(Master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(Master, TCSANOW, &tio);
    }
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    return true;
}

bool Pty::Link(const std::string& path)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            Error = "--link: " + path + " exists and is not a symlink";
            return false;
        }
        unlink(path.c_str());
    }
    if (symlink(SlavePath.c_str(), path.c_str()) != 0) {
        Error = "--link: cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    LinkPath = path;
    return true;
}

void Pty::Close()
{
    if (!LinkPath.empty()) {
        unlink(LinkPath.c_str());
        LinkPath.clear();
    }
    if (Master >= 0) {
        close(Master);
        Master = -1;
    }
}

Pty::Wait Pty::Poll(int timeoutMs, bool wantRead)
{
    pollfd p{Master, static_cast<short>(wantRead ? POLLIN : 0), 0};
    const int n = poll(&p, 1, timeoutMs);
    if (n < 0)
        return errno == EINTR ? Wait::Interrupted : Wait::Hangup;
    if (n == 0)
        return Wait::Timeout;
    if (p.revents & POLLIN)
        return Wait::Readable;
    if (p.revents & (POLLHUP | POLLERR))
        return Wait::Hangup;
    return Wait::Timeout;
}

size_t Pty::Read(uint8_t* buffer, size_t max)
{
    const ssize_t n = read(Master, buffer, max);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

bool Pty::Write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(Master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            // The other end is not reading: wait a little for room, then drop the rest.
            pollfd p{Master, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0 || !(p.revents & POLLOUT))
                return false;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}
