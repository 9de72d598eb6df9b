// SPDX-License-Identifier: MIT
// Replacing a small file whole: write a temporary file beside it, then rename it over the old
// one. Either the new content is in place, or the old file is untouched.
#pragma once

#include <sys/types.h>
#include <string>

enum class AtomicWriteResult { Ok, CreateFailed, WriteFailed, RenameFailed };

// The process's file mode creation mask, read without changing it (/proc/self/status).
mode_t CurrentUmask();

// The new file gets mode 0666 less the umask, as any file the program creates. On failure
// errno tells why; the temporary file has been removed.
AtomicWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// The same for a file the user may have linked or protected, as writing into it would treat
// it: a symbolic link is followed and its target replaced (the link stays a link); the new
// file keeps the old one's mode (and owner, where the system allows); a target that is
// read-only (no write permission bit at all, or none for this user) or not a regular file is
// left alone and the write fails (CreateFailed, errno EACCES, EISDIR or EINVAL).
AtomicWriteResult ReplaceFileInPlace(const std::string& path, const std::string& bytes);
