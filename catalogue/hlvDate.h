#pragma once
// Date-time values: days since 30 December 1899, the fraction being the time of day.
#include <cstdint>

using TDateTime = double;

// A file-system time stamp (100-nanosecond intervals since 1 January 1601, UTC) as a local date-time,
// at two-second resolution; 0 when the local time lies outside the years 1980 to 2107.
TDateTime FileTimeToDateTime(std::uint64_t FileTime);

// Calendar date and time of day to a date-time value; false for an invalid date or time.
bool TryEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, TDateTime& Result);
