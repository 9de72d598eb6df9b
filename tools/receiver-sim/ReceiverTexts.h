// SPDX-License-Identifier: MIT
// What the simulated receiver prints. Apart from the one marker each text is meant to carry,
// none of them holds a text the loader looks for (tests check this).
#pragma once

#include <cstdint>
#include <string>

namespace ReceiverTexts {

inline const std::string StartUp =
    "\r\nBoot ROM v2.31\r\nCPU rev 7, RAM 64 MB\r\nLoader Q9X-SUC ready\r\n";
inline const std::string StartMenu =
    "\r\n==== Main Menu ====\r\n 1  LOAD  APP\r\n 2  RUN APP\r\n 3  SETUP\r\n";
inline const std::string BinaryPrompt = "Send file in binary mode\r\n";
inline const std::string ChannelList =
    "\r\nNo channel data: Default ChannelList written, restart required\r\n";
inline const std::string ExitMenu =
    "\r\n-- Channel Setup --\r\n 1  Scan\r\n 2  Sort\r\n100 Exit to Main Menu\r\n";
inline const std::string FlashBusy = "Flash busy, please wait\r\n";
inline const std::string FileOk = "File OK!\r\n";
inline const std::string Fin = "fin\r\n";
inline const std::string Wrong = "wrong image header\r\n";
inline const std::string StartMessage = "Starting application...\r\n";

inline std::string Garbage(int n)
{
    return "#boot stage " + std::to_string(n) + ": dram timing 0x" + std::to_string(40 + n % 50) +
           "\r\n";
}
inline std::string Chatter(int n)
{
    return "Checking block " + std::to_string(n) + "\r\n";
}
inline std::string WriteSector(int n, int of)
{
    return "Write Sector " + std::to_string(n) + " of " + std::to_string(of) + "\r\n";
}
inline std::string Saved(uint32_t crc)
{
    static const char* hex = "0123456789ABCDEF";
    std::string digits;
    for (int shift = 28; shift >= 0; shift -= 4)
        digits += hex[(crc >> shift) & 0xF];
    return "ptImage->UnzipedCrc = 0x" + digits + "\r\n";
}

}  // namespace ReceiverTexts
