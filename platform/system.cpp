#include "platform/system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace zarnex {

#ifdef _WIN32
std::string UserInterfaceLanguage() {
    char code[16] = {};
    const LCID locale = MAKELCID(::GetUserDefaultUILanguage(), SORT_DEFAULT);
    return ::GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, code, sizeof code) > 0 ? code : "";
}

CalendarTime LocalCalendarTime(int64_t secondsSince1970) {
    // FILETIME counts 100 ns from 1601.
    constexpr int64_t SecondsFrom1601To1970 = 11644473600;
    const auto ticks = static_cast<uint64_t>((secondsSince1970 + SecondsFrom1601To1970) * 10000000);
    const FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&file, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        local = utc;
    }
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}
#else
std::string UserInterfaceLanguage() {
    return {};
}

CalendarTime LocalCalendarTime(int64_t secondsSince1970) {
    const auto time = static_cast<std::time_t>(secondsSince1970);
    ::tzset();  // the zone as TZ names it now, not as it was at the first call
    std::tm local{};
    ::localtime_r(&time, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}
#endif

}  // namespace zarnex
