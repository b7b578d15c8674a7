#include "filelist/datetimevalue.h"

#include <cmath>
#include <ctime>

namespace qm {
namespace {

constexpr std::int64_t kBaseDayFromEpoch = -25569; // 1899-12-30 counted from 1970-01-01
constexpr double kMillisecondsPerDay = 86400000.0;

bool IsLeap(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days method).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

double Combine(std::int64_t days, double fraction) {
    const auto whole = static_cast<double>(days);
    return days >= 0 ? whole + fraction : whole - fraction;
}

} // namespace

std::optional<double> EncodeDateTime(const DateTimeParts& p) {
    if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1 ||
        p.Day > DaysInMonth(p.Year, p.Month) || p.Hour < 0 || p.Hour > 23 || p.Minute < 0 ||
        p.Minute > 59 || p.Second < 0 || p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999)
        return std::nullopt;
    const std::int64_t days =
        DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) -
        kBaseDayFromEpoch;
    const double ms = ((p.Hour * 60.0 + p.Minute) * 60.0 + p.Second) * 1000.0 + p.Millisecond;
    return Combine(days, ms / kMillisecondsPerDay);
}

std::optional<DateTimeParts> DecodeDateTime(double value) {
    // Years 1 and 9999 bound the values -693593 .. 2958466.
    if (!std::isfinite(value) || value < -693594.0 || value >= 2958466.0)
        return std::nullopt;
    auto days = static_cast<std::int64_t>(std::trunc(value));
    auto ms = std::llround(std::fabs(value - static_cast<double>(days)) * kMillisecondsPerDay);
    if (ms >= static_cast<long long>(kMillisecondsPerDay)) {
        // Rounding reached the next midnight, which lies one day further from the base.
        ms = 0;
        days += value >= 0 ? 1 : -1;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days + kBaseDayFromEpoch, year, month, day);
    if (year < 1 || year > 9999)
        return std::nullopt;
    DateTimeParts parts;
    parts.Year = static_cast<int>(year);
    parts.Month = static_cast<int>(month);
    parts.Day = static_cast<int>(day);
    parts.Millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    parts.Second = static_cast<int>(ms % 60);
    ms /= 60;
    parts.Minute = static_cast<int>(ms % 60);
    parts.Hour = static_cast<int>(ms / 60);
    return parts;
}

double LocalDateTimeValue(std::int64_t seconds, std::int64_t nanoseconds) {
    if (seconds == 0 && nanoseconds == 0)
        return 0;
    const auto stamp = static_cast<std::time_t>(seconds);
    if (static_cast<std::int64_t>(stamp) != seconds)
        return 0;
    std::tm local{};
    if (localtime_r(&stamp, &local) == nullptr)
        return 0;
    DateTimeParts parts;
    const std::int64_t year = std::int64_t{local.tm_year} + 1900;
    if (year < 1 || year > 9999)
        return 0;
    parts.Year = static_cast<int>(year);
    parts.Month = local.tm_mon + 1;
    parts.Day = local.tm_mday;
    parts.Hour = local.tm_hour;
    parts.Minute = local.tm_min;
    // A leap second shows as second 60; it is kept as the last second of its minute.
    parts.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    parts.Millisecond =
        static_cast<int>((nanoseconds % 1000000000 + 1000000000) % 1000000000 / 1000000);
    return EncodeDateTime(parts).value_or(0);
}

} // namespace qm
