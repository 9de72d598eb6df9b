// SPDX-License-Identifier: MIT
// Fuzz target: the firmware file set over odd files. Per name (font, decoder, out) the input
// picks: absent, a file of 0..300 bytes, a directory, an unreadable file, a dangling link, a
// link to a directory, or a link to a file; then the set is built, read, iterated, released.
#include "FirmFileSet.h"
#include "FuzzSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

namespace {

std::string Directory;
const std::array<const char*, 3> Names{"font.app", "decoder.app", "out.app"};

void WriteFile(const std::string& path, const std::string& bytes, mode_t mode)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    close(fd);
    chmod(path.c_str(), mode);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Directory = EnterFuzzDirectory("files");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputReader in(data, size);
    EmptyDirectory(Directory);
    // The bytes each slot's file should yield (empty: no data expected), and whether it exists.
    std::array<std::string, 3> expected;
    std::array<bool, 3> present{};
    std::array<bool, 3> unusable{};  // a present regular file that cannot be read
    for (size_t s = 0; s < 3; ++s) {
        const std::string path = Directory + "/" + Names[s];
        const uint8_t kind = in.Byte() % 8;
        switch (kind) {
        case 1:
        case 2: {
            const size_t len = (static_cast<size_t>(in.Byte()) << (kind == 2 ? 1 : 0)) % 301;
            expected[s] = in.Bytes(len);
            WriteFile(path, expected[s], 0644);
            present[s] = true;
            break;
        }
        case 3: mkdir(path.c_str(), 0755); break;
        case 4:
            // Unreadable for a normal user; root reads it all the same.
            expected[s] = in.Bytes(in.Byte() % 40);
            WriteFile(path, expected[s], 0);
            present[s] = true;
            unusable[s] = geteuid() != 0;
            break;
        case 5: FUZZ_CHECK(symlink("nowhere", path.c_str()) == 0); break;
        case 6:
            mkdir((Directory + "/sub").c_str(), 0755);
            FUZZ_CHECK(symlink("sub", path.c_str()) == 0);
            break;
        case 7:
            expected[s] = in.Bytes(in.Byte() % 40);
            WriteFile(Directory + "/target" + std::to_string(s), expected[s], 0644);
            FUZZ_CHECK(symlink(("target" + std::to_string(s)).c_str(), path.c_str()) == 0);
            present[s] = true;
            break;
        default: break;
        }
    }

    FirmFileSet set;
    std::string shown;
    set.ShowStatusText = [&](const std::string& text) { shown = text; };
    set.BuildFirmFileList();
    // The names found, in slot order, without gaps: the files that exist.
    size_t found = 0;
    std::array<size_t, 3> slotOf{};  // the name index behind each slot
    for (size_t s = 0; s < 3; ++s) {
        if (present[s]) {
            FUZZ_CHECK(set.FirmFileNames[found] == Directory + "/" + Names[s]);
            slotOf[found++] = s;
        }
    }
    for (size_t slot = found; slot < 3; ++slot)
        FUZZ_CHECK(set.FirmFileNames[slot].empty());

    const bool any = set.ReadFirmFiles();
    // A file that cannot be read stops the whole set: it names the first such file, loads
    // nothing and gives false.
    const auto firstUnusable = std::find(unusable.begin(), unusable.end(), true);
    FUZZ_CHECK(set.Problem.Empty() == (firstUnusable == unusable.end()));
    if (firstUnusable != unusable.end()) {
        const size_t s = static_cast<size_t>(firstUnusable - unusable.begin());
        FUZZ_CHECK(set.Problem.Path == Directory + "/" + Names[s]);
        FUZZ_CHECK(!any);
        for (auto& bytes : expected)
            bytes.clear();
    }
    for (size_t slot = 0; slot < found; ++slot) {
        const std::string& bytes = expected[slotOf[slot]];
        const int32_t type = static_cast<int32_t>(slot + 1);
        FUZZ_CHECK(set.GetFileSize(type) == static_cast<int32_t>(bytes.size()));
        const uint8_t* buffer = set.GetFileBuffer(type);
        FUZZ_CHECK((buffer == nullptr) == bytes.empty());
        if (buffer)
            FUZZ_CHECK(std::memcmp(buffer, bytes.data(), bytes.size()) == 0);
    }
    // Every file found opens (root opens even the unreadable one); none found, none opened.
    if (found == 0 || geteuid() == 0)  // root reads every file: no problem then
        FUZZ_CHECK(any == (found > 0));

    // The iteration: types 1..3 ascending, only slots with data, ending with 0.
    std::vector<int32_t> types;
    for (int32_t t = set.GetFirstFirmFileType(); t != 0; t = set.GetNextFirmFileType()) {
        FUZZ_CHECK(t >= 1 && t <= 3);
        FUZZ_CHECK(types.empty() || t > types.back());
        FUZZ_CHECK(set.GetFileSize(t) > 0);
        FUZZ_CHECK(types.size() < 3);
        types.push_back(t);
        FUZZ_CHECK(set.GetFirmFileName(t) == set.FirmFileNames[static_cast<size_t>(t - 1)]);
        FUZZ_CHECK(shown == set.FirmFileNames[static_cast<size_t>(t - 1)]);
    }
    size_t withData = 0;
    for (int32_t t = 1; t <= 3; ++t)
        withData += set.GetFileSize(t) > 0;
    FUZZ_CHECK(types.size() == withData);
    FUZZ_CHECK(set.GetFileSize(0) == 0 && set.GetFileSize(4) == 0 && set.GetFileSize(-1) == 0);

    set.ReleaseFirmFiles();
    for (int32_t t = 1; t <= 3; ++t)
        FUZZ_CHECK(set.GetFileSize(t) == 0 && set.GetFileBuffer(t) == nullptr);
    FUZZ_CHECK(set.GetFirstFirmFileType() == 0);
    return 0;
}
