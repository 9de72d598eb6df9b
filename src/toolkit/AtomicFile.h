// SPDX-License-Identifier: MIT
// Replacing a small file whole: write a temporary file beside it, then rename it over the old
// one. Either the new content is in place, or the old file is untouched.
#pragma once

#include <string>

enum class AtomicWriteResult { Ok, CreateFailed, WriteFailed, RenameFailed };

// On failure errno tells why; the temporary file has been removed.
AtomicWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes);
