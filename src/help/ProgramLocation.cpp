// SPDX-License-Identifier: MIT
#include "ProgramLocation.h"

#include <optional>
#include <system_error>

#include <filesystem>

namespace {

std::optional<std::string>& Override()
{
    static std::optional<std::string> fileName;
    return fileName;
}

}  // namespace

std::string ProgramFileName()
{
    if (Override())
        return *Override();
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string DirectoryPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

ScopedProgramFileName::ScopedProgramFileName(std::string fileName)
    : HadPrevious(Override().has_value()), Previous(Override().value_or(std::string()))
{
    Override() = std::move(fileName);
}

ScopedProgramFileName::~ScopedProgramFileName()
{
    if (HadPrevious)
        Override() = Previous;
    else
        Override().reset();
}
