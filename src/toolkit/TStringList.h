// SPDX-License-Identifier: MIT
// An ordered list of 8-bit text entries, as the toolkit's string list.
#pragma once

#include <string>
#include <vector>

class TStringList {
public:
    void Add(const std::string& entry) { Strings.push_back(entry); }
    int Count() const { return static_cast<int>(Strings.size()); }
    const std::string& operator[](int index) const
    {
        return Strings.at(static_cast<size_t>(index));
    }
    // Position of the first entry equal to `entry`, or -1.
    int IndexOf(const std::string& entry) const;
    // All entries, each followed by CR LF, the last one included.
    std::string Text() const;
    // Replaces `fileName` with Text(), bytes unchanged. The new content goes to a temporary file
    // beside it first and is then renamed over the old one, so the old file survives any
    // failure. Raises EFCreateError when the file cannot be created or put in place, and
    // EWriteError when writing it fails.
    void SaveToFile(const std::string& fileName) const;

    std::vector<std::string> Strings;
};
