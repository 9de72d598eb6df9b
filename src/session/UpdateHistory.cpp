// SPDX-License-Identifier: MIT
#include "UpdateHistory.h"

#include "RecordFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

bool WriteWhole(int fd, const std::string& bytes, int& error)
{
    // One write: a signal cannot split a line between two calls. A short write (a full disk)
    // is undone by the caller.
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    error = n < 0 ? errno : ENOSPC;
    return n == static_cast<ssize_t>(bytes.size());
}

// What closes a partial last line: a quote when it stopped inside a quoted field (so that the
// next record is not read as part of that field), then the line end. Empty when the file ends
// with a whole line.
std::string CloserOfLastLine(int fd, off_t size)
{
    if (size == 0)
        return {};
    char last = 0;
    if (::pread(fd, &last, 1, size - 1) != 1 || last == '\n')
        return {};
    if (last == '\r')
        return "\n";  // cut between the two bytes of the line end: the record is whole
    // Count the quotes back to the start of the partial line (a bounded look: a line of this
    // record is a few hundred bytes).
    constexpr off_t Window = 64 * 1024;
    const off_t from = size > Window ? size - Window : 0;
    std::string tail(static_cast<size_t>(size - from), '\0');
    const ssize_t got = ::pread(fd, tail.data(), tail.size(), from);
    tail.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const size_t lineStart = tail.rfind('\n');
    size_t quotes = 0;
    for (size_t i = lineStart == std::string::npos ? 0 : lineStart + 1; i < tail.size(); ++i)
        quotes += tail[i] == '"';
    return quotes % 2 == 1 ? "\"\r\n" : "\r\n";
}

std::string WaitText(std::chrono::milliseconds wait)
{
    if (wait.count() % 1000 == 0)
        return std::to_string(wait.count() / 1000) + " s";
    return std::to_string(wait.count()) + " ms";
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

UpdateHistory::UpdateHistory(std::string folder)
    : Folder(folder.empty() ? "." : std::move(folder)), FilePath(Folder + "/" + HistoryFileName)
{
}

std::string UpdateHistory::Check() const
{
    const std::string prefix = "cannot keep the record of updates in " + FilePath + ": ";
    struct stat st {};
    if (::lstat(FilePath.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return prefix + SystemErrorText(errno);
        const std::string refusal = CannotCreateIn(Folder);
        return refusal.empty() ? refusal : prefix + refusal;
    }
    if (!S_ISREG(st.st_mode))
        return prefix + RefusedKind(st.st_mode);
    // Opened as Append opens it (it reads the last line back), which changes nothing in the
    // file and asks the system the real question (permissions, a read-only file system).
    ScopedFd fd{::open(FilePath.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (fd.Value < 0)
        return prefix + SystemErrorText(errno);
    return {};
}

HistoryAppendResult UpdateHistory::Append(const HistoryRecord& record,
                                          std::chrono::milliseconds lockWait) const
{
    HistoryAppendResult result;
    const std::string prefix = "the record of this update could not be added to " + FilePath + ": ";
    const auto fail = [&](const std::string& why) {
        result.Error = prefix + why;
        return result;
    };
    const auto deadline = std::chrono::steady_clock::now() + lockWait;
    // A file renamed or replaced between the open and the lock is opened again.
    for (int tries = 0;; ++tries) {
        ScopedFd fd{::open(FilePath.c_str(),
                           O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                           0666)};
        if (fd.Value < 0) {
            const int error = errno;
            struct stat st {};
            if (::lstat(FilePath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
                return fail(RefusedKind(st.st_mode));
            return fail(SystemErrorText(error));
        }
        struct stat opened {};
        if (::fstat(fd.Value, &opened) != 0)
            return fail(SystemErrorText(errno));
        if (!S_ISREG(opened.st_mode))
            return fail(RefusedKind(opened.st_mode));
        while (::flock(fd.Value, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return fail("it cannot be locked: " + SystemErrorText(errno));
            if (std::chrono::steady_clock::now() >= deadline)
                return fail("another program has held it locked for more than " +
                            WaitText(lockWait));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        struct stat named {};
        if (::lstat(FilePath.c_str(), &named) != 0 || !SameFile(named, opened) ||
            ::fstat(fd.Value, &opened) != 0) {
            if (tries < 3)
                continue;
            return fail("it was replaced while the record was being added");
        }

        const off_t size = opened.st_size;
        const std::string closer = CloserOfLastLine(fd.Value, size);
        result.ClosedCutLine = !closer.empty();
        const std::string bytes = (size == 0 ? HistoryHeaderLine() : closer) + HistoryLine(record);
        int error = 0;
        if (!WriteWhole(fd.Value, bytes, error)) {
            // Nothing of a line that is not whole may stay; we still hold the lock.
            if (::ftruncate(fd.Value, size) != 0)
                return fail(SystemErrorText(error) + "; a partial line may remain at its end");
            return fail(SystemErrorText(error));
        }
        if (::fsync(fd.Value) != 0)
            return fail("it could not be flushed to the disk: " + SystemErrorText(errno));
        if (size == 0) {
            // A new file: its name must survive a power cut as well.
            ScopedFd folder{::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
            if (folder.Value >= 0)
                ::fsync(folder.Value);
        }
        return result;
    }
}
