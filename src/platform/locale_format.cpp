#include "platform/locale_format.h"

#include <QDateTime>
#include <QLocale>
#include <mutex>
#include <optional>

#include "platform/qt_text.h"

namespace levrano {

namespace {

// The locale's long time format without its time-zone fields ("HH:mm:ss t" -> "HH:mm:ss").
QString TimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u't') result += c;
    }
    return result.simplified();
}

QString DateFormat(const QLocale& locale) { return locale.dateFormat(QLocale::ShortFormat); }

// The first character of the short date format that is no field letter: "." in "dd.MM.yyyy".
QChar DateSeparator(const QLocale& locale) {
    for (const QChar c : DateFormat(locale))
        if (!c.isLetter()) return c;
    return u'.';
}

bool ParseTime(const QLocale& locale, const QString& text, QTime& time) {
    for (const QString& format : {TimeFormat(locale), locale.timeFormat(QLocale::ShortFormat)}) {
        time = locale.toTime(text, format);
        if (time.isValid()) return true;
    }
    return false;
}

bool ParseDateTime(const QLocale& locale, const QString& text, QDateTime& value) {
    const QString date = DateFormat(locale);
    for (const QString& format : {date + u' ' + TimeFormat(locale), date + u' ' + locale.timeFormat(QLocale::ShortFormat)}) {
        value = locale.toDateTime(text, format);
        if (value.isValid()) return true;
    }
    const QDate day = locale.toDate(text, date);
    value = QDateTime(day, QTime(0, 0));
    return day.isValid();
}

// The default locale's date and time format, worked out again only when that locale changes:
// asking the locale for its formats costs more than formatting a value, and a query that reads
// timestamps as text formats one per row.
QString DateTimeFormat(const QLocale& locale) {
    static std::mutex lock;
    static std::optional<QLocale> formatLocale;
    static QString format;
    std::lock_guard<std::mutex> guard(lock);
    if (formatLocale != locale) {
        format = DateFormat(locale) + u' ' + TimeFormat(locale);
        formatLocale = locale;
    }
    return format;
}

}  // namespace

std::string FormatLocaleDateTime(const TDateTimeParts& parts) {
    const QLocale locale;
    const QDateTime value(QDate(parts.Year, parts.Month, parts.Day),
                          QTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond), Qt::UTC);
    return FromQString(locale.toString(value, DateTimeFormat(locale)));
}

bool ParseLocaleDateTime(std::string_view text, TDateTimeParts& parts) {
    const QLocale locale;
    const QString input = ToQString(text).trimmed();
    parts = TDateTimeParts{};
    if (!input.contains(DateSeparator(locale))) {
        QTime time;
        if (!ParseTime(locale, input, time)) return false;
        parts.HasDate = false;
        parts.Hour = time.hour();
        parts.Minute = time.minute();
        parts.Second = time.second();
        parts.Millisecond = time.msec();
        return true;
    }
    QDateTime value;
    if (!ParseDateTime(locale, input, value)) return false;
    parts.Year = value.date().year();
    parts.Month = value.date().month();
    parts.Day = value.date().day();
    parts.Hour = value.time().hour();
    parts.Minute = value.time().minute();
    parts.Second = value.time().second();
    parts.Millisecond = value.time().msec();
    return true;
}

}  // namespace levrano
