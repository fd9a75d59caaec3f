// Conversions of the server's column values to numbers, day numbers and text. Texts are the
// same in every process locale: "." as the decimal point, no exponent, no trailing zeros.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/locale_format.h"

namespace levrano {

// Scaled integers (NUMERIC, DECIMAL, SMALLINT, INTEGER, BIGINT): raw x 10^scale, scale in -18..18.
inline constexpr int kMaxScale = 18;
double ScaledValue(std::int64_t raw, int scale);
std::int32_t ScaledTruncated(std::int64_t raw, int scale);  // toward zero, low 32 bits
std::string ScaledText(std::int64_t raw, int scale);        // exact digits

// The shortest text that reads back as the same value.
std::string DecimalText(double value);
std::string DecimalText(float value);

// Optional "-", digits with at most one "." (a second one ends the number; other characters
// are skipped), and "E" or "e" with an integer power of ten that ends it.
double LooseTextToDouble(std::string_view text);

// Day numbers count 1 January of year 1 as day 1; the server counts days from 17 November 1858
// and times in ten-thousandths of a second.
inline constexpr std::int32_t kServerDayOffset = 678576;
inline constexpr double kTimeUnitsPerDay = 864000000.0;
double DayNumber(std::int32_t serverDate);
double DayFraction(std::uint32_t serverTime);
double DayNumber(const TDateTimeParts& parts);  // the date part is 0 when parts has none
TDateTimeParts ServerDateTimeParts(std::int32_t serverDate, std::uint32_t serverTime);

std::string DateText(std::int32_t serverDate);  // "dd.MM.yyyy"
std::string TimeText(std::uint32_t serverTime);  // "HH:mm:ss"

// "0x" + high in hexadecimal without leading zeros + low as exactly 8 hexadecimal digits.
std::string HexPairText(std::uint32_t high, std::uint32_t low);

}  // namespace levrano
