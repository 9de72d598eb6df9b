// SPDX-License-Identifier: MIT
// The compiled-help engine's entry point, as programs look it up at run time.
#pragma once

#include <cstdint>

// The commands served, numbered as in the published HTML Help interface.
inline constexpr unsigned HH_DISPLAY_TOPIC = 0x0000;
inline constexpr unsigned HH_DISPLAY_TOC = 0x0001;
inline constexpr unsigned HH_DISPLAY_INDEX = 0x0002;
inline constexpr unsigned HH_HELP_CONTEXT = 0x000F;
inline constexpr unsigned HH_CLOSE_ALL = 0x0012;

// ownerWindow: the QWidget (passed as its QObject*) that help windows belong to, or null for
// the application's active window. file: "<help file>" or "<help file>::/<topic>", local 8-bit
// path, may be null for HH_CLOSE_ALL. data: HH_DISPLAY_INDEX a const char* keyword (or 0),
// HH_HELP_CONTEXT the context number, else 0. Returns 1 when a help window shows the request,
// 0 otherwise; it never shows a message.
using HtmlHelpAFunction = int (*)(void* ownerWindow, const char* file, unsigned command,
                                  uintptr_t data);

extern "C" int HtmlHelpA(void* ownerWindow, const char* file, unsigned command, uintptr_t data);
