#include "db/field_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace levrano {

namespace {

constexpr std::int64_t kPowersOfTen[kMaxScale + 1] = {
    1LL,
    10LL,
    100LL,
    1000LL,
    10000LL,
    100000LL,
    1000000LL,
    10000000LL,
    100000000LL,
    1000000000LL,
    10000000000LL,
    100000000000LL,
    1000000000000LL,
    10000000000000LL,
    100000000000000LL,
    1000000000000000LL,
    10000000000000000LL,
    100000000000000000LL,
    1000000000000000000LL,
};

// 1970-01-01 is day 719163.
constexpr std::int64_t kUnixEpochDay = 719163;

struct CivilDate {
    int year;
    int month;
    int day;
};

// Proleptic Gregorian calendar, days counted from 1970-01-01 (H. Hinnant's algorithms).
CivilDate CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate ServerDate(std::int32_t serverDate) {
    return CivilFromDays(static_cast<std::int64_t>(serverDate) + kServerDayOffset - kUnixEpochDay);
}

template <typename Float>
std::string ShortestFixed(Float value) {
    char buffer[400];  // the longest fixed form of a double (denormals) stays below this
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

// The integer after "E": optional sign, then digits; large exponents are held at a bound that
// already over- or underflows every double.
int ReadExponent(std::string_view text, std::size_t i) {
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int exponent = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
    return negative ? -exponent : exponent;
}

}  // namespace

double ScaledValue(std::int64_t raw, int scale) {
    const double value = static_cast<double>(raw);
    if (scale < 0) return value / static_cast<double>(kPowersOfTen[-scale]);
    return value * static_cast<double>(kPowersOfTen[scale]);
}

std::int32_t ScaledTruncated(std::int64_t raw, int scale) {
    // Integer arithmetic keeps every digit that a double would round away.
    const std::uint64_t value = scale < 0 ? static_cast<std::uint64_t>(raw / kPowersOfTen[-scale])
                                          : static_cast<std::uint64_t>(raw) * static_cast<std::uint64_t>(kPowersOfTen[scale]);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::string ScaledText(std::int64_t raw, int scale) {
    const bool negative = raw < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(raw) : static_cast<std::uint64_t>(raw);
    std::string digits = std::to_string(magnitude);
    if (scale > 0) {
        if (magnitude != 0) digits.append(static_cast<std::size_t>(scale), '0');
    } else if (scale < 0) {
        const std::size_t decimals = static_cast<std::size_t>(-scale);
        if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
        digits.insert(digits.size() - decimals, 1, '.');
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    return negative ? "-" + digits : digits;
}

std::string DecimalText(double value) { return ShortestFixed(value); }
std::string DecimalText(float value) { return ShortestFixed(value); }

double LooseTextToDouble(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string number = negative ? "-" : "";
    bool point = false;
    int integerDigits = 0;  // significant digits before the point
    int exponent = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            number += c;
            if (!point && (integerDigits > 0 || c != '0')) ++integerDigits;
        } else if (c == '.') {
            if (point) break;
            point = true;
            number += c;
        } else if (c == 'E' || c == 'e') {
            exponent = ReadExponent(text, i + 1);
            break;
        }
    }
    number += 'e';
    number += std::to_string(exponent);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const double magnitude = integerDigits + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        return negative ? -magnitude : magnitude;
    }
    return result.ec == std::errc() ? value : 0.0;
}

double DayNumber(std::int32_t serverDate) { return static_cast<double>(serverDate) + kServerDayOffset; }

double DayFraction(std::uint32_t serverTime) { return serverTime / kTimeUnitsPerDay; }

double DayNumber(const TDateTimeParts& parts) {
    const double date =
        parts.HasDate ? static_cast<double>(DaysFromCivil(parts.Year, parts.Month, parts.Day) + kUnixEpochDay) : 0.0;
    const double milliseconds = ((parts.Hour * 60.0 + parts.Minute) * 60.0 + parts.Second) * 1000.0 + parts.Millisecond;
    return date + milliseconds / 86400000.0;
}

TDateTimeParts ServerDateTimeParts(std::int32_t serverDate, std::uint32_t serverTime) {
    const CivilDate date = ServerDate(serverDate);
    const std::uint32_t seconds = serverTime / 10000;
    TDateTimeParts parts;
    parts.Year = date.year;
    parts.Month = date.month;
    parts.Day = date.day;
    parts.Hour = static_cast<int>(seconds / 3600 % 24);
    parts.Minute = static_cast<int>(seconds / 60 % 60);
    parts.Second = static_cast<int>(seconds % 60);
    parts.Millisecond = static_cast<int>(serverTime % 10000 / 10);
    return parts;
}

std::string DateText(std::int32_t serverDate) {
    const CivilDate date = ServerDate(serverDate);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day, date.month, date.year);
    return text;
}

std::string TimeText(std::uint32_t serverTime) {
    const TDateTimeParts parts = ServerDateTimeParts(0, serverTime);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
    return text;
}

std::string HexPairText(std::uint32_t high, std::uint32_t low) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%x%.8x", high, low);
    return text;
}

}  // namespace levrano
