#pragma once

// The date-time value the file list keeps: days since 30 December 1899 as the whole
// part, the time of day as the fraction, in local time; 0 means "no time".
// Days before the base date count negative while the fraction still adds the time of
// day (-1.25 is 29 December 1899, 06:00), as the value's traditional encoding has it.
// Pure functions apart from LocalDateTimeValue, which reads the local time zone.

#include <cstdint>
#include <optional>

namespace qm {

struct DateTimeParts {
    int Year = 0; // 1..9999
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;

    bool operator==(const DateTimeParts&) const = default;
};

// The value of a calendar date and time; nullopt when a part is out of range
// (years 1..9999, a day that the month does not have, hours 0..23 and so on).
std::optional<double> EncodeDateTime(const DateTimeParts& parts);

// The calendar date and time of a value (to the nearest millisecond); nullopt for
// values outside years 1..9999 or not finite.
std::optional<DateTimeParts> DecodeDateTime(double value);

// The local time of a POSIX time stamp as a value. 0 for the time stamp 0 (an unset
// time) and for times that cannot be converted or fall outside years 1..9999.
double LocalDateTimeValue(std::int64_t seconds, std::int64_t nanoseconds);

} // namespace qm
