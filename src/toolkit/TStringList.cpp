// SPDX-License-Identifier: MIT
#include "TStringList.h"

#include "AtomicFile.h"
#include "Exceptions.h"

int TStringList::IndexOf(const std::string& entry) const
{
    for (size_t i = 0; i < Strings.size(); ++i)
        if (Strings[i] == entry)
            return static_cast<int>(i);
    return -1;
}

std::string TStringList::Text() const
{
    std::string text;
    for (const auto& s : Strings) {
        text += s;
        text += "\r\n";
    }
    return text;
}

void TStringList::SaveToFile(const std::string& fileName) const
{
    switch (ReplaceFileAtomically(fileName, Text())) {
    case AtomicWriteResult::Ok: return;
    case AtomicWriteResult::CreateFailed:
    case AtomicWriteResult::RenameFailed: throw MakeFCreateError(fileName);
    case AtomicWriteResult::WriteFailed: throw MakeWriteError(fileName);
    }
}
