// SPDX-License-Identifier: MIT
// comm_port: the serial link to the receiver.
//
//   TCommPort      one serial device: name, line settings, open/close, raw reads and writes.
//                  Every failure raises ECommError with a small code:
//                    1 rate, 3 stop bits, 4 parity, 5 data bits  (applying to an open port)
//                    6 SetCommPort while open     7 read/write while closed
//                    8 open failed, or held    9 write failed (or not done by its deadline)
//                   10 read failed (also: device gone)   11 close failed
//                   14 no terminal, or reading the device's settings failed
//                   15 applying them failed   17 applying the time-outs failed
//   ECommError     code + errno (LastError), and for a held device the other programs found with
//                  it open, for a port on another machine its own account naming the server
//                  (Detail). A plain value: making one shows nothing; the front ends tell the
//                  user (the window's "COM Error" box, a line on stderr). Not an Exception.
//
// Names: SetCommPort("3") gives \\.\COM3, resolved through the port map at open; a name that
// starts with "/" is a device path used as it is. A name, or a map entry, that is a network
// address ("rfc2217://bench-3:3001", "tcp://bench-3:3002") opens a TCP connection to a serial
// device server instead (NetLink.h): the same operations, codes and time-outs; 8 when the
// connection cannot be made or the server refuses it, 15 when it refuses or does not confirm
// the line settings; the output queue is not known there (0).
// Reads: nothing arrives -> 0 after 250 ms + 1 ms per requested byte; after the first byte a
// gap of 15 ms ends the read. Writes: all bytes within 250 ms + 1 ms per byte, or code 9.
// The device is opened non-blocking and must be a terminal; it is then taken exclusively
// (TIOCEXCL and flock; a real serial device that another process has open, as /proc shows it,
// counts as held), put in raw mode, 8 data bits, no flow control, with the driver's low-latency
// mode where it has one. Closing puts back the line settings found at open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LineWait.h"
#include "PortOpeners.h"

#include <sys/types.h>

struct termios;
class NetLink;

// The platform's stop-bit codes.
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;
// The platform's parity codes.
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;

class ECommError {
public:
    // Stores the code and errno.
    explicit ECommError(uint8_t code);
    // A device held by others: the processes found with it open are named in the box's advice;
    // a port on another machine gives its account of the failure, the advice then.
    ECommError(uint8_t code, std::vector<PortHolder> holders, std::string detail = {});

    uint8_t Code;
    uint32_t LastError;
    std::vector<PortHolder> Holders;
    std::string Detail;
};

// The time-outs applied at open, in milliseconds.
struct COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// The requested line settings.
struct DCB {
    uint32_t DCBlength = sizeof(DCB);
    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
};

class TCommPort {
public:
    TCommPort();
    ~TCommPort() noexcept(false);
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    void SetCommPort(const std::string& port);
    void SetBaudRate(uint32_t rate);
    void SetByteSize(uint8_t size);
    void SetParity(uint8_t parity);
    void SetStopBits(uint8_t stopBits);

    void OpenCommPort();
    void CloseCommPort();

    void WriteBuffer(const uint8_t* buffer, int32_t count);
    bool WriteCharacter(uint8_t byte);
    uint32_t ReadBytes(uint8_t* buffer, uint32_t size);
    // Bytes written but still waiting in the device's output queue (TIOCOUTQ); 0 when the port
    // is closed or the device cannot tell.
    int64_t QueuedOutputBytes() const;

    bool PortOpen = false;
    COMMTIMEOUTS Timeouts;
    std::string PortName;
    DCB LineSettings;
    int PortHandle = -1;

private:
    bool ApplyLineSettings();
    void OpenNetLink(const std::string& address);
    bool CloseNetLink();
    // The line's waits and transfers, on the device or on the network link.
    LineWait WaitReadable(int milliseconds);
    LineWait WaitWritable(int milliseconds);
    ssize_t ReadSome(uint8_t* buffer, size_t size);
    ssize_t WriteSome(const uint8_t* buffer, size_t size);
    // Raises the code with errno as it is and the network link's account of the failure.
    [[noreturn]] void RaiseLineError(uint8_t code);
    std::string LinkProblem() const;
    void WriteAll(const uint8_t* buffer, size_t count);
    void SetMember(uint8_t DCB::*member, uint8_t value, uint8_t code);
    // Lets go of a failed open (settings put back, claim undone, handle closed) and raises the
    // step's code with the step's errno.
    [[noreturn]] void FailOpen(uint8_t code, std::vector<PortHolder> holders = {});
    // Undoes what the open did to the device; the handle stays open.
    void LetGo();

    // The device's settings found at open: the base the setters apply on, put back at close.
    std::unique_ptr<termios> DeviceSettings;
    // The connection while a port on another machine is open. Owned by this port alone; a
    // shared_ptr binds its deleter where the link is made, so that a stand-in port built
    // without the network link (the fuzz targets') compiles and links without it.
    std::shared_ptr<NetLink> Link;
    // This port set the device's exclusive-use flag (only then does it clear it again).
    bool ExclusiveSet = false;
    // The descriptor is gone even though a failed close left the port counted as open (Linux
    // releases the descriptor also when close reports an error; closing it again could close
    // another file that got the same number).
    bool HandleReleased = false;
};
