// SPDX-License-Identifier: MIT
#include "Recorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

bool WriteFile(const std::string& path, const std::string& bytes, const char* mode,
               std::string& error)
{
    FILE* f = std::fopen(path.c_str(), mode);
    if (!f) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool Recorder::Prepare()
{
    if (Dir.empty())
        return true;
    std::error_code failure;
    std::filesystem::create_directories(Dir, failure);
    if (failure) {
        Error = "cannot create " + Dir + ": " + failure.message();
        return false;
    }
    return true;
}

bool Recorder::Command(const std::string& line)
{
    if (Dir.empty())
        return true;
    // Appended line by line, so the transcript is complete even if the simulator is killed.
    return WriteFile(Dir + "/transcript.txt", line + "\n", "ab", Error);
}

bool Recorder::File(const std::string& bytes)
{
    ++Files;
    if (Dir.empty())
        return true;
    return WriteFile(Dir + "/file-" + std::to_string(Files) + ".bin", bytes, "wb", Error);
}
