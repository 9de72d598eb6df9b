// SPDX-License-Identifier: MIT
// --save: the files the simulator received (file-1.bin, file-2.bin, ...) and the transcript of
// the command lines it received, one line each, in order.
#pragma once

#include <string>

class Recorder {
public:
    // An empty directory records nothing.
    explicit Recorder(std::string dir) : Dir(std::move(dir)) {}

    // Creates the directory (and its parents) when it does not exist yet.
    bool Prepare();
    bool Command(const std::string& line);
    bool File(const std::string& bytes);
    int FilesSaved() const { return Files; }

    std::string Error;

private:
    std::string Dir;
    int Files = 0;
};
