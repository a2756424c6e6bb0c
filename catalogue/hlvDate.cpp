#include "catalogue/hlvDate.h"

#include <ctime>

namespace {

constexpr std::int64_t FileTimeTicksPerSecond = 10000000;
// Seconds from 1 January 1601 to 1 January 1970.
constexpr std::int64_t FileTimeToUnixSeconds = 11644473600;

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool LeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

bool TryEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, TDateTime& Result) {
    static const int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1)
        return false;
    int days = MonthDays[Month - 1] + (Month == 2 && LeapYear(Year) ? 1 : 0);
    if (Day > days || Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59)
        return false;
    // 30 December 1899 is day 0, 25569 days before 1 January 1970.
    const std::int64_t day =
        DaysFromCivil(Year, static_cast<unsigned>(Month), static_cast<unsigned>(Day)) + 25569;
    Result = static_cast<double>(day) + (Hour * 3600 + Minute * 60 + Second) / 86400.0;
    return true;
}

TDateTime FileTimeToDateTime(std::uint64_t FileTime) {
    const std::int64_t seconds =
        static_cast<std::int64_t>(FileTime / FileTimeTicksPerSecond) - FileTimeToUnixSeconds;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return 0;
    const int year = local.tm_year + 1900;
    // The packed MS-DOS date keeps the years 1980 to 2107 and seconds halved.
    if (year < 1980 || year > 2107)
        return 0;
    TDateTime result = 0;
    if (!TryEncodeDateTime(year, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           (local.tm_sec / 2) * 2, result))
        return 0;
    return result;
}
