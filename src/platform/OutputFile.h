// SPDX-License-Identifier: MIT
// OutputFile: a file the user names for the program to write (the trace), checked and opened so
// that it is never the port, another device, a FIFO or socket, or one of the run's own files,
// however it is reached (a symbolic link, a second hard link, a relative path).
//
// Check first, before anything is locked or opened; open later, once the run holds its folder
// and its port: the open checks the same again on the opened descriptor and truncates only then.
// "-" is standard error.
#pragma once

#include <string>
#include <vector>

// A file the run reads or writes itself, which an output file must never be.
struct ProtectedFile {
    std::string Path;  // as the run uses it; it need not exist yet
    std::string What;  // in words: "the port's device", "the firmware file font.app"
};

struct OutputFileCheck {
    std::string Shown;   // the name as the messages give it (joined with the folder)
    std::string Target;  // the file the name leads to: absolute, every link followed
    bool Stderr = false;
    std::string Reason;  // empty when the file may be written: "is a FIFO", "no such folder"

    bool Ok() const { return Reason.empty(); }
    // "<name>: <reason>".
    std::string Message() const { return Shown + ": " + Reason; }
};

// `name` as the user wrote it; relative to `folder` unless it starts with "/". Looks only,
// opens nothing.
OutputFileCheck CheckOutputFile(const std::string& name, const std::string& folder,
                                const std::vector<ProtectedFile>& protectedFiles);

// An open output file: a descriptor of its own, or standard error (never closed here).
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(int fd, bool owned) : Descriptor(fd), Owned(owned) {}
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int Fd() const { return Descriptor; }
    bool IsOpen() const { return Descriptor >= 0; }

private:
    int Descriptor = -1;
    bool Owned = false;
};

struct OutputFileOpen {
    OutputFile File;
    OutputFileCheck Check;  // not Ok: File is not open
};

// Checks again and opens for writing without blocking (a FIFO, a device or a link put in place
// since the check is refused, never waited on or written through). A new file is created with
// mode 0666 less the umask; an existing regular file is emptied only once the opened descriptor
// has passed the checks.
OutputFileOpen OpenOutputFile(const std::string& name, const std::string& folder,
                              const std::vector<ProtectedFile>& protectedFiles);
