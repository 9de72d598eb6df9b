// SPDX-License-Identifier: MIT
// TempPortMap: a port map file in a fresh temporary configuration directory for the lifetime
// of the object (XDG_CONFIG_HOME points there, XDG_STATE_HOME to a folder beside it, so the
// remembered COM numbers stay inside it too).
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempPortMap {
public:
    TempPortMap()
    {
        char pattern[] = "/tmp/zendrak-platform-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        Directory = made ? made : "/tmp";
        std::filesystem::create_directories(Directory + "/zendrak");
        ::setenv("XDG_CONFIG_HOME", Directory.c_str(), 1);
        ::setenv("XDG_STATE_HOME", (Directory + "/state").c_str(), 1);
    }
    ~TempPortMap()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Directory, ignored);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_STATE_HOME");
    }
    void Write(const std::string& content)
    {
        std::ofstream(Directory + "/zendrak/ports", std::ios::binary | std::ios::trunc) << content;
    }
    const std::string& Dir() const { return Directory; }

private:
    std::string Directory;
};
