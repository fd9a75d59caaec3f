// Timestamps as text are formatted without Qt for speed; they must read exactly as the locale's
// own formatting would, in every locale a station may run in.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "platform/locale_format.h"
#include "platform/qt_text.h"
#include "support/locale_scope.h"

namespace levrano {
namespace {

std::string QtFormatted(const TDateTimeParts& p) {
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(u't');
    const QDateTime value(QDate(p.Year, p.Month, p.Day), QTime(p.Hour, p.Minute, p.Second, p.Millisecond), Qt::UTC);
    return FromQString(locale.toString(value, locale.dateFormat(QLocale::ShortFormat) + u' ' + time.simplified()));
}

TEST(LocaleDateTime, FormatsAsTheLocaleDoes) {
    const TDateTimeParts values[] = {
        {true, 2026, 12, 11, 9, 5, 7, 0},   {true, 1999, 1, 2, 0, 0, 0, 0},   {true, 2000, 10, 31, 12, 30, 59, 0},
        {true, 1858, 11, 17, 23, 59, 1, 0}, {true, 9999, 12, 31, 13, 1, 2, 0}, {true, 2024, 2, 29, 11, 59, 59, 0},
    };
    for (const char* name : {"C", "ru_RU", "en_US", "de_DE", "ja_JP", "ar_EG", "fr_CA"}) {
        const test::LocaleScope scope{QLocale(QString::fromLatin1(name))};
        for (const TDateTimeParts& v : values)
            EXPECT_EQ(QtFormatted(v), FormatLocaleDateTime(v)) << name << ' ' << v.Year << '-' << v.Month << '-' << v.Day;
    }
}

TEST(LocaleDateTime, RussianLocaleGivesDayMonthYearAndTwentyFourHours) {
    const test::LocaleScope scope{QLocale(QLocale::Russian, QLocale::Russia)};
    EXPECT_EQ("11.12.2026 09:05:07", FormatLocaleDateTime({true, 2026, 12, 11, 9, 5, 7, 0}));
}

}  // namespace
}  // namespace levrano
