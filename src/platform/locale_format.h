// The user's locale date and time formats (Qt's default locale, which is the system's unless the
// application chose another), for date-time values shown or read as text.
#pragma once

#include <string>
#include <string_view>

namespace levrano {

struct TDateTimeParts {
    bool HasDate = true;  // false for a text that held a time of day only
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// The locale's short date, one blank and its time with seconds (no time zone), in Windows-1251.
std::string FormatLocaleDateTime(const TDateTimeParts& parts);

// Reads a date with an optional time in the locale's formats; a text without the locale's date
// separator is read as a time of day alone (HasDate false). False when the text is neither.
bool ParseLocaleDateTime(std::string_view text, TDateTimeParts& parts);

}  // namespace levrano
