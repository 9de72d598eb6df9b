// SPDX-License-Identifier: MIT
#include "SentLength.h"

int64_t BytesSentOf(const uint8_t* data, int64_t size)
{
    if (size <= 0 || data == nullptr)
        return 0;
    // The blocks of 10 go out whole while more than 10 bytes are left; only the tail is tested.
    int64_t pos = size > 10 ? (size - 10 + 9) / 10 * 10 : 0;
    for (; pos < size; ++pos)
        if (pos > 0 && data[pos - 1] == 0x02)
            return pos + 1;
    return size;
}
