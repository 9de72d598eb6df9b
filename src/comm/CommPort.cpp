// SPDX-License-Identifier: MIT
// TCommPort on Linux: the open sequence, the setters, close, and the reads and writes with their
// time-outs as poll loops, on a local device or on a network link.
#include "comm_port.h"

#include "NetAddress.h"
#include "NetLink.h"
#include "NetProblem.h"
#include "PortName.h"
#include "SerialDevice.h"
#include "SystemTexts.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The time-outs every open applies (milliseconds).
constexpr COMMTIMEOUTS UpdateTimeouts{15, 1, 250, 1, 250};

Clock::time_point DeadlineAfter(uint32_t constant, uint32_t multiplier, size_t count)
{
    return Clock::now() +
           std::chrono::milliseconds(constant + static_cast<uint64_t>(multiplier) * count);
}

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Other processes with a real serial device open. A pseudo-terminal's other end is the peer by
// design, so none are looked for there. errno is kept.
std::vector<PortHolder> OtherOpeners(dev_t device)
{
    if (IsPseudoTerminal(device))
        return {};
    const int saved = errno;
    auto holders = FindPortOpeners("/proc", device, ::getpid());
    errno = saved;
    return holders;
}

// Raises an error of the port's use (closed or open when it must not be): no system error.
[[noreturn]] void RaiseUsageError(uint8_t code)
{
    errno = 0;
    throw ECommError(code);
}

}  // namespace

TCommPort::TCommPort() : PortName(Texts::DefaultPortName) {}

TCommPort::~TCommPort() noexcept(false)
{
    if (!PortOpen)
        return;
    if (std::uncaught_exceptions() > 0) {
        // Unwinding already: a second exception would end the program; the box has been shown.
        try {
            CloseCommPort();
        } catch (const ECommError&) {
        }
        return;
    }
    CloseCommPort();
}

void TCommPort::SetCommPort(const std::string& port)
{
    if (PortOpen)
        RaiseUsageError(6);
    PortName = Texts::PortNamePrefix + port;
}

void TCommPort::SetBaudRate(uint32_t rate)
{
    const uint32_t old = LineSettings.BaudRate;
    LineSettings.BaudRate = rate;
    if (!PortOpen || ApplyLineSettings())
        return;
    const int error = errno;
    const std::string problem = LinkProblem();
    LineSettings.BaudRate = old;
    ApplyLineSettings();  // the device keeps what it had
    errno = error;
    throw ECommError(1, {}, problem);
}

void TCommPort::SetByteSize(uint8_t size)
{
    SetMember(&DCB::ByteSize, size, 5);
}

void TCommPort::SetParity(uint8_t parity)
{
    SetMember(&DCB::Parity, parity, 4);
}

void TCommPort::SetStopBits(uint8_t stopBits)
{
    SetMember(&DCB::StopBits, stopBits, 3);
}

void TCommPort::SetMember(uint8_t DCB::*member, uint8_t value, uint8_t code)
{
    const uint8_t old = LineSettings.*member;
    LineSettings.*member = value;
    if (!PortOpen || ApplyLineSettings())
        return;
    const int error = errno;
    const std::string problem = LinkProblem();
    LineSettings.*member = old;
    ApplyLineSettings();
    errno = error;
    throw ECommError(code, {}, problem);
}

bool TCommPort::ApplyLineSettings()
{
    if (Link)
        return Link->ApplySettings(LineSettings);
    return SerialDevice::ApplySettings(PortHandle, *DeviceSettings, LineSettings);
}

void TCommPort::OpenCommPort()
{
    if (PortOpen)
        return;

    const auto path = ResolvePortName(PortName);
    if (!path)
        throw ECommError(8);
    if (LooksLikeNetAddress(*path)) {
        OpenNetLink(*path);
        return;
    }
    PortHandle = SerialDevice::Open(*path);
    if (PortHandle < 0)
        throw ECommError(8);
    HandleReleased = false;
    ExclusiveSet = false;
    DeviceSettings.reset();

    // No terminal request goes to something that is not a terminal.
    dev_t device = 0;
    if (!SerialDevice::CheckTerminal(PortHandle, device))
        FailOpen(14);
    if (!SerialDevice::Claim(PortHandle, ExclusiveSet))
        FailOpen(8, errno == EBUSY ? OtherOpeners(device) : std::vector<PortHolder>{});
    if (auto holders = OtherOpeners(device); !holders.empty()) {
        errno = EBUSY;
        FailOpen(8, std::move(holders));
    }

    // The requested rate, size, parity and stop bits go on top of what the device reported,
    // in raw mode; queue sizes cannot be requested on Linux, so that step is left out.
    auto settings = std::make_unique<termios>();
    if (!SerialDevice::ReadSettings(PortHandle, *settings))
        FailOpen(14);
    DeviceSettings = std::move(settings);
    if (!SerialDevice::ApplySettings(PortHandle, *DeviceSettings, LineSettings))
        FailOpen(15);

    Timeouts = UpdateTimeouts;
    if (!SerialDevice::PrepareTimeouts(PortHandle))
        FailOpen(17);
    SerialDevice::RequestLowLatency(PortHandle);

    PortOpen = true;
}

// The connection takes the place of the device: the line settings go to the server (or are
// the server's), and the time-outs are the same poll loops.
void TCommPort::OpenNetLink(const std::string& text)
{
    std::string why;
    const auto address = ParseNetAddress(text, &why);
    if (!address) {
        errno = EINVAL;
        throw ECommError(8, {}, NetProblem::NotAnAddress(text, why));
    }
    NetLink::Failure failure;
    Link = NetLink::Open(*address, LineSettings, failure);
    if (!Link) {
        errno = failure.Error;
        throw ECommError(failure.Code, {}, failure.Problem);
    }
    PortHandle = Link->Handle();
    HandleReleased = false;
    ExclusiveSet = false;
    DeviceSettings.reset();
    Timeouts = UpdateTimeouts;
    PortOpen = true;
}

bool TCommPort::CloseNetLink()
{
    const bool closed = Link->Close();
    const int error = errno;
    Link.reset();  // the socket is released either way
    errno = error;
    return closed;
}

std::string TCommPort::LinkProblem() const
{
    return Link ? Link->Problem() : std::string();
}

void TCommPort::RaiseLineError(uint8_t code)
{
    throw ECommError(code, {}, LinkProblem());
}

LineWait TCommPort::WaitReadable(int milliseconds)
{
    return Link ? Link->WaitReadable(milliseconds)
                : SerialDevice::WaitReadable(PortHandle, milliseconds);
}

LineWait TCommPort::WaitWritable(int milliseconds)
{
    return Link ? Link->WaitWritable(milliseconds)
                : SerialDevice::WaitWritable(PortHandle, milliseconds);
}

ssize_t TCommPort::ReadSome(uint8_t* buffer, size_t size)
{
    return Link ? Link->Read(buffer, size) : SerialDevice::Read(PortHandle, buffer, size);
}

ssize_t TCommPort::WriteSome(const uint8_t* buffer, size_t size)
{
    return Link ? Link->Write(buffer, size) : SerialDevice::Write(PortHandle, buffer, size);
}

void TCommPort::LetGo()
{
    SerialDevice::Release(PortHandle, ExclusiveSet);
    ExclusiveSet = false;
    // Last before the close: settings that echo or translate should meet as little of the
    // receiver's output as can be.
    if (DeviceSettings)
        SerialDevice::RestoreSettings(PortHandle, *DeviceSettings);
}

void TCommPort::FailOpen(uint8_t code, std::vector<PortHolder> holders)
{
    const int error = errno;
    LetGo();
    SerialDevice::Close(PortHandle);
    HandleReleased = true;
    errno = error;
    throw ECommError(code, std::move(holders));
}

void TCommPort::CloseCommPort()
{
    if (!PortOpen)
        return;
    if (!HandleReleased) {
        HandleReleased = true;
        if (Link) {
            if (!CloseNetLink())
                throw ECommError(11);
        } else {
            LetGo();
            if (!SerialDevice::Close(PortHandle))
                throw ECommError(11);
        }
    }
    PortOpen = false;
}

void TCommPort::WriteBuffer(const uint8_t* buffer, int32_t count)
{
    if (!PortOpen)
        RaiseUsageError(7);
    if (count == 0 || buffer == nullptr)
        return;
    if (count < 0) {
        errno = EINVAL;  // a negative count is no number of bytes to send
        throw ECommError(9);
    }
    WriteAll(buffer, static_cast<size_t>(count));
}

bool TCommPort::WriteCharacter(uint8_t byte)
{
    if (!PortOpen)
        RaiseUsageError(7);
    WriteAll(&byte, 1);
    return true;
}

// All bytes go out by the write deadline, or the write has failed: a stalled line must not let
// part of a firmware image vanish unnoticed.
void TCommPort::WriteAll(const uint8_t* buffer, size_t count)
{
    const auto deadline = DeadlineAfter(Timeouts.WriteTotalTimeoutConstant,
                                        Timeouts.WriteTotalTimeoutMultiplier, count);
    size_t sent = 0;
    bool lastLook = false;
    for (;;) {
        const ssize_t written = WriteSome(buffer + sent, count - sent);
        if (written < 0)
            RaiseLineError(9);
        sent += static_cast<size_t>(written);
        if (sent == count)
            return;
        const int left = MillisecondsUntil(deadline);
        // Past the deadline the line gets one more look: on a busy machine this thread may have
        // been kept from running while the line took the bytes.
        const bool late = left == 0;
        const LineWait wait = late && lastLook ? LineWait::TimedOut : WaitWritable(left);
        lastLook = lastLook || late;
        if (wait == LineWait::Ready)
            continue;
        if (wait == LineWait::TimedOut) {
            if (Link)
                Link->NoteStalled();
            errno = ETIMEDOUT;
        }
        RaiseLineError(9);
    }
}

// Ends at the count, at the total deadline, or at the first gap longer than the interval once a
// byte has arrived. A device that has gone away fails at once instead of returning early.
uint32_t TCommPort::ReadBytes(uint8_t* buffer, uint32_t size)
{
    if (!PortOpen)
        RaiseUsageError(7);
    if (size == 0)
        return 0;
    if (buffer == nullptr) {
        errno = EFAULT;
        throw ECommError(10);
    }

    const auto deadline =
        DeadlineAfter(Timeouts.ReadTotalTimeoutConstant, Timeouts.ReadTotalTimeoutMultiplier, size);
    uint32_t count = 0;
    while (count < size) {
        const int left = MillisecondsUntil(deadline);
        if (left == 0)
            break;
        const int wait =
            count == 0 ? left : std::min(left, static_cast<int>(Timeouts.ReadIntervalTimeout));
        const LineWait ready = WaitReadable(wait);
        if (ready == LineWait::TimedOut)
            break;
        if (ready != LineWait::Ready)
            RaiseLineError(10);
        const ssize_t got = ReadSome(buffer + count, size - count);
        if (got == -2) {
            errno = EIO;  // readable, yet end of file: the device is gone
            throw ECommError(10);
        }
        if (got < 0)
            RaiseLineError(10);
        count += static_cast<uint32_t>(got);
    }
    if (count < size)
        buffer[count] = 0;
    return count;
}
