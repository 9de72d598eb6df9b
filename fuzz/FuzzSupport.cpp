// SPDX-License-Identifier: MIT
#include "FuzzSupport.h"

#include <unistd.h>
#include <cstdlib>
#include <filesystem>

namespace {

std::string CreatedDirectory;

void RemoveCreatedDirectory()
{
    std::error_code ec;
    std::filesystem::remove_all(CreatedDirectory, ec);
}

}  // namespace

std::string EnterFuzzDirectory(const char* tag)
{
    namespace fs = std::filesystem;
    // The log is written with fsync; a memory file system keeps that cheap.
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / (std::string("zendrak-fuzz-") + tag + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0)
        FuzzFail("cannot create the fuzz directory");
    // Gone at a normal exit; a crash leaves it for a look.
    CreatedDirectory = pattern;
    std::atexit(RemoveCreatedDirectory);
    return pattern;
}

void EmptyDirectory(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(entry.path(), ec);
    }
}
