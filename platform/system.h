// What the system knows of its user: the language of its menus and the user's clock.
#pragma once

#include <cstdint>
#include <string>

namespace zarnex {

// The language Windows shows its own words in, as an ISO 639 code ("ru", "en"); empty where the
// environment's variables say it instead.
std::string UserInterfaceLanguage();

struct CalendarTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A moment in the user's time zone, with the summer time of that day.
CalendarTime LocalCalendarTime(int64_t secondsSince1970);

}  // namespace zarnex
