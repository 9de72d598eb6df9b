// SPDX-License-Identifier: MIT
// bench_transfer: how fast a file goes through a pseudo-terminal, once written by `cat FILE >
// PTY` and once sent by the update engine's file send (10-byte writes, one synchronised
// progress update each, the user-interface thread serving them). The same reader takes both on
// the other end. Prints one line per way: bytes, seconds from the reader's first to its last
// byte, the rate, and for the engine the progress updates it made and the CPU time of the
// process (sender, user-interface thread and reader) while it sent.
// Usage: bench_transfer FILE
#include "FirmHost.h"
#include "FirmThread.h"
#include "Messages.h"
#include "comm_port.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// user + sys of this whole process so far, every thread included.
double ProcessCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Pty {
    int Master = -1;
    std::string SlavePath;
};

Pty OpenRawPty()
{
    Pty pty;
    pty.Master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.Master < 0 || ::grantpt(pty.Master) != 0 || ::unlockpt(pty.Master) != 0) {
        std::perror("posix_openpt");
        std::exit(1);
    }
    termios raw{};
    ::tcgetattr(pty.Master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(pty.Master, TCSANOW, &raw);
    pty.SlavePath = ::ptsname(pty.Master);
    return pty;
}

// Reads `expected` bytes from the master side; the time runs from its first byte to its last.
class Reader {
public:
    Reader(int fd, size_t expected) : Thread([this, fd, expected] { Run(fd, expected); }) {}
    double Seconds()
    {
        Thread.join();
        return std::chrono::duration<double>(Last - First).count();
    }
    size_t Received = 0;
    bool Intact = true;
    const std::vector<uint8_t>* Expected = nullptr;

private:
    void Run(int fd, size_t expected)
    {
        std::vector<uint8_t> buffer(1 << 16);
        while (Received < expected) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            const auto now = Clock::now();
            if (Received == 0)
                First = now;
            Last = now;
            if (Expected && (Received + static_cast<size_t>(n) > Expected->size() ||
                             !std::equal(buffer.begin(), buffer.begin() + n,
                                         Expected->begin() + static_cast<long>(Received))))
                Intact = false;
            Received += static_cast<size_t>(n);
        }
    }
    Clock::time_point First{}, Last{};
    std::thread Thread;
};

void Print(const char* way, size_t bytes, double seconds, bool intact, const std::string& extra)
{
    std::printf("%-7s bytes=%zu seconds=%.6f rate=%.0f intact=%s%s\n", way, bytes, seconds,
                seconds > 0 ? bytes / seconds : 0.0, intact ? "yes" : "no", extra.c_str());
    std::fflush(stdout);
}

int ByCat(const std::string& file, const std::vector<uint8_t>& data)
{
    Pty pty = OpenRawPty();
    // Raw on the slave too, so the line discipline passes every byte as it is; held open so
    // the setting stays while cat writes.
    const int slave = ::open(pty.SlavePath.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    Reader reader(pty.Master, data.size());
    reader.Expected = &data;
    const std::string command = "cat '" + file + "' > '" + pty.SlavePath + "'";
    const int status = std::system(command.c_str());
    const double seconds = reader.Seconds();
    Print("cat", reader.Received, seconds, reader.Intact && reader.Received == data.size(), "");
    ::close(slave);
    ::close(pty.Master);
    return status == 0 ? 0 : 1;
}

class BenchHost : public TFirmHost {
public:
    BenchHost(TCommPort& port, const std::vector<uint8_t>& data) : Port(port), Data(data) {}
    TCommPort& CommPort() override { return Port; }
    void SetProgressPosition(int position) override
    {
        ++Updates;
        LastPosition = position;
    }
    void SetUpdateSucceeded(bool) override {}
    int32_t GetFirstFirmFileType() override { return 1; }
    int32_t GetNextFirmFileType() override { return 0; }
    int32_t GetFileSize(int32_t) override { return static_cast<int32_t>(Data.size()); }
    const uint8_t* GetFileBuffer(int32_t) override { return Data.data(); }
    std::string GetFirmFileName(int32_t) override { return "font.app"; }

    long Updates = 0;  // touched on the user-interface thread only
    int LastPosition = -1;

private:
    TCommPort& Port;
    const std::vector<uint8_t>& Data;
};

// The engine's own file send on a worker thread, nothing else of the run.
class SendOnly : public TFirmThread {
public:
    SendOnly(bool createSuspended, TFirmHost& host) : TFirmThread(createSuspended, host) {}
    std::atomic<bool> Sent{false};

protected:
    void Execute() override
    {
        LoadFirmFile(1);
        Sent = SendDataToPort();
    }
};

int ByEngine(const std::vector<uint8_t>& data)
{
    Pty pty = OpenRawPty();
    TCommPort port;
    port.PortName = pty.SlavePath;
    port.SetBaudRate(115200);
    port.OpenCommPort();
    BenchHost host(port, data);
    Reader reader(pty.Master, data.size());
    reader.Expected = &data;

    const double cpuBefore = ProcessCpuSeconds();
    SendOnly* worker = TThread::Create<SendOnly>(true, host);
    worker->OnTerminate = [](TThread*) { QCoreApplication::quit(); };
    worker->Start();
    QCoreApplication::exec();
    worker->WaitFor();
    const bool sent = worker->Sent;
    delete worker;

    const double seconds = reader.Seconds();
    const double cpu = ProcessCpuSeconds() - cpuBefore;  // the reader's share included
    Print("engine", reader.Received, seconds,
          sent && reader.Intact && reader.Received == data.size(),
          " progress_updates=" + std::to_string(host.Updates) + " last_progress=" +
              std::to_string(host.LastPosition) + " cpu_seconds=" + std::to_string(cpu));
    port.CloseCommPort();
    ::close(pty.Master);
    return sent ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_transfer FILE\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (data.empty()) {
        std::fprintf(stderr, "bench_transfer: %s is empty or unreadable\n", argv[1]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    StderrMessageService messages;
    SetMessageService(&messages);
    try {
        const int cat = ByCat(argv[1], data);
        const int engine = ByEngine(data);
        return cat == 0 && engine == 0 ? 0 : 1;
    } catch (const ECommError& error) {
        std::fprintf(stderr, "serial error %u (errno %u)\n", error.Code, error.LastError);
        return 1;
    }
}
