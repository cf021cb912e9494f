#pragma once
// A calendar date and time of day as the platform's local-time call gives
// it: eight unsigned 16-bit words in this order.
#include <cstdint>

struct T_SYSTEMTIME {
    uint16_t wYear = 1;
    uint16_t wMonth = 1;         // 1 = January .. 12
    uint16_t wDayOfWeek = 1;     // 0 = Sunday .. 6 = Saturday
    uint16_t wDay = 1;           // 1 .. 31
    uint16_t wHour = 0;          // 0 .. 23
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;  // 0 .. 999
};
