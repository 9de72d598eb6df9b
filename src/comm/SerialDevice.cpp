// SPDX-License-Identifier: MIT
#include "SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace SerialDevice {
namespace {

struct RateCode {
    uint32_t Rate;
    speed_t Code;
};

// The rates termios can name; anything else is a rate this platform cannot set.
constexpr RateCode Rates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool RateCodeOf(uint32_t rate, speed_t& code)
{
    for (const auto& entry : Rates) {
        if (entry.Rate == rate) {
            code = entry.Code;
            return true;
        }
    }
    return false;
}

bool ByteSizeFlag(uint8_t size, tcflag_t& flag)
{
    switch (size) {
    case 5: flag = CS5; return true;
    case 6: flag = CS6; return true;
    case 7: flag = CS7; return true;
    case 8: flag = CS8; return true;
    default: return false;
    }
}

bool ParityFlags(uint8_t parity, tcflag_t& flags)
{
    switch (parity) {
    case NOPARITY: flags = 0; return true;
    case ODDPARITY: flags = PARENB | PARODD; return true;
    case EVENPARITY: flags = PARENB; return true;
    case MARKPARITY: flags = PARENB | CMSPAR | PARODD; return true;
    case SPACEPARITY: flags = PARENB | CMSPAR; return true;
    default: return false;
    }
}

// UARTs send 1.5 stop bits for CSTOPB with 5 data bits and 2 otherwise; the other pairings are
// refused, as the line-settings record allows them nowhere.
bool StopBitFlags(uint8_t stopBits, uint8_t byteSize, tcflag_t& flags)
{
    switch (stopBits) {
    case ONESTOPBIT: flags = 0; return true;
    case ONE5STOPBITS: flags = CSTOPB; return byteSize == 5;
    case TWOSTOPBITS: flags = CSTOPB; return byteSize != 5;
    default: return false;
    }
}

void MakeRaw(termios& settings)
{
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                          IXANY | INPCK | IUCLC | IMAXBEL);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
}

WaitResult Wait(int fd, short events, int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds);
    pollfd entry{fd, events, 0};
    int ready = 0;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        ready = ::poll(&entry, 1, left < 0 ? 0 : static_cast<int>(left));
        if (ready >= 0 || errno != EINTR)
            break;
    }
    if (ready < 0)
        return WaitResult::Failed;
    if (ready == 0)
        return WaitResult::TimedOut;
    if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        errno = (entry.revents & POLLNVAL) ? EBADF : EIO;
        return WaitResult::Gone;
    }
    return WaitResult::Ready;
}

}  // namespace

int Open(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

bool CheckTerminal(int fd, dev_t& device)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    if (!S_ISCHR(info.st_mode) || !::isatty(fd)) {
        errno = ENOTTY;
        return false;
    }
    device = info.st_rdev;
    return true;
}

bool Claim(int fd, bool& exclusiveSet)
{
    exclusiveSet = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            errno = EBUSY;
        return false;
    }
    // Root gets past another program's TIOCEXCL at open; the flag still tells that it is held.
    int heldExclusively = 0;
    if (::ioctl(fd, TIOCGEXCL, &heldExclusively) == 0 && heldExclusively) {
        ::flock(fd, LOCK_UN);
        errno = EBUSY;
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int saved = errno;
        ::flock(fd, LOCK_UN);
        errno = saved;
        return false;
    }
    exclusiveSet = true;
    return true;
}

void Release(int fd, bool exclusiveSet)
{
    const int saved = errno;
    if (exclusiveSet)
        ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    errno = saved;
}

bool ReadSettings(int fd, termios& settings)
{
    return ::tcgetattr(fd, &settings) == 0;
}

void RestoreSettings(int fd, const termios& original)
{
    const int saved = errno;
    // At once, not after draining: a line that takes no more output must not hold up the close.
    ::tcsetattr(fd, TCSANOW, &original);
    errno = saved;
}

bool ApplySettings(int fd, const termios& base, const DCB& requested)
{
    speed_t rate = 0;
    tcflag_t size = 0, parity = 0, stop = 0;
    if (!RateCodeOf(requested.BaudRate, rate) || !ByteSizeFlag(requested.ByteSize, size) ||
        !ParityFlags(requested.Parity, parity) ||
        !StopBitFlags(requested.StopBits, requested.ByteSize, stop)) {
        errno = EINVAL;
        return false;
    }
    termios settings = base;
    MakeRaw(settings);
    settings.c_cflag |= size | parity | stop;
    if (::cfsetispeed(&settings, rate) != 0 || ::cfsetospeed(&settings, rate) != 0)
        return false;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        return false;
    // tcsetattr succeeds when the driver took any part of the request; a driver that cannot run
    // at the rate puts another one in place, which is a failure to apply.
    termios applied{};
    if (!ReadSettings(fd, applied))
        return false;
    if (::cfgetospeed(&applied) != rate) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool PrepareTimeouts(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void RequestLowLatency(int fd)
{
    const int saved = errno;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
    errno = saved;
}

bool Close(int fd)
{
    return ::close(fd) == 0;
}

WaitResult WaitReadable(int fd, int milliseconds)
{
    return Wait(fd, POLLIN, milliseconds);
}

WaitResult WaitWritable(int fd, int milliseconds)
{
    return Wait(fd, POLLOUT, milliseconds);
}

ssize_t Read(int fd, uint8_t* buffer, size_t size)
{
    const ssize_t count = ::read(fd, buffer, size);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    if (count == 0)
        return -2;
    return count;
}

ssize_t Write(int fd, const uint8_t* buffer, size_t size)
{
    const ssize_t count = ::write(fd, buffer, size);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    return count;
}

}  // namespace SerialDevice
