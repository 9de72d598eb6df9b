// SPDX-License-Identifier: MIT
// How many of a firmware file's bytes the file send puts on the line. The receiver takes a 0x02
// near the end as the end of the image: the send stops right after the byte that follows the
// first 0x02 of the byte-by-byte tail (the file's last 10 bytes and the byte before them), and
// counts as complete. Front ends use it to say before a run what will really be sent.
#pragma once

#include <cstdint>

// The bytes the send puts on the line; 0 for an empty file (nothing is sent).
int64_t BytesSentOf(const uint8_t* data, int64_t size);

// Why a file goes out shorter than its size, in one short phrase.
inline constexpr const char* ShortSendReason = "the send ends after a 0x02 in its last 10 bytes";
