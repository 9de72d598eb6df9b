// SPDX-License-Identifier: MIT
// A fresh temporary directory made the current one for the length of a test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempCurrentDir {
public:
    TempCurrentDir() : Previous(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zendrak-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp");
        Path = pattern;
        std::filesystem::current_path(Path);
    }
    ~TempCurrentDir()
    {
        std::filesystem::current_path(Previous);
        std::filesystem::remove_all(Path);
    }
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path / name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path Previous;
    std::filesystem::path Path;
};
