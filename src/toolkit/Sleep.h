// SPDX-License-Identifier: MIT
// Sleep of the calling thread in milliseconds.
#pragma once

void Sleep(unsigned milliseconds);
