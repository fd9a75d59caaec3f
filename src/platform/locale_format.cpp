#include "platform/locale_format.h"

#include <QDateTime>
#include <QLocale>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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

// One piece of a date-time format: a numeric field with its width, or literal text.
struct TFormatPiece {
    enum TField { Literal, Year, Month, Day, Hour, Hour12, Minute, Second, Millisecond, AmPm } Field = Literal;
    int Width = 0;        // digits, zero-padded; 0 = as many as the value has
    std::string Text;     // Windows-1251, for literals and the AM/PM markers
};

// A locale's date-time format taken apart once, so that each value is formatted without Qt.
// `Numeric` is false when the format names months or weekdays in words or the locale has digits
// of its own; Qt formats those.
struct TCompiledFormat {
    QString Pattern;
    bool Numeric = true;
    std::vector<TFormatPiece> Pieces;
};

TFormatPiece::TField FieldOf(QChar letter, int run, bool& numeric) {
    switch (letter.unicode()) {
        case 'y': return TFormatPiece::Year;
        case 'M': numeric &= run <= 2; return TFormatPiece::Month;
        case 'd': numeric &= run <= 2; return TFormatPiece::Day;
        case 'H': return TFormatPiece::Hour;
        case 'h': return TFormatPiece::Hour12;
        case 'm': return TFormatPiece::Minute;
        case 's': return TFormatPiece::Second;
        case 'z': return TFormatPiece::Millisecond;
        case 'A': case 'a': return TFormatPiece::AmPm;
        default: return TFormatPiece::Literal;
    }
}

TCompiledFormat Compile(const QLocale& locale, const QString& pattern) {
    // A locale with digits of its own is formatted by Qt.
    TCompiledFormat compiled{pattern, locale.zeroDigit() == u"0", {}};
    auto literal = [&](const QString& text) {
        if (compiled.Pieces.empty() || compiled.Pieces.back().Field != TFormatPiece::Literal)
            compiled.Pieces.push_back({});
        compiled.Pieces.back().Text += FromQString(text);
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'\'') {  // quoted literal; '' is one apostrophe
            const qsizetype end = pattern.indexOf(u'\'', i + 1);
            literal(end == i + 1 ? QStringLiteral("'") : pattern.mid(i + 1, end < 0 ? -1 : end - i - 1));
            i = end < 0 ? pattern.size() : end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        const TFormatPiece::TField field = FieldOf(c, static_cast<int>(run), compiled.Numeric);
        if (field == TFormatPiece::Literal) {
            literal(pattern.mid(i, run));
        } else if (field == TFormatPiece::AmPm) {
            const bool lower = c == u'a';
            compiled.Pieces.push_back({field, 0, {}});
            compiled.Pieces.back().Text = FromQString(lower ? locale.amText().toLower() : locale.amText().toUpper()) +
                                          '\n' + FromQString(lower ? locale.pmText().toLower() : locale.pmText().toUpper());
            run = (i + 1 < pattern.size() && (pattern[i + 1] == u'P' || pattern[i + 1] == u'p')) ? 2 : 1;
        } else {
            const int width = field == TFormatPiece::Year ? (run >= 4 ? 4 : 2)
                              : field == TFormatPiece::Millisecond ? (run >= 3 ? 3 : 0)
                                                                   : (run >= 2 ? 2 : 0);
            compiled.Pieces.push_back({field, width, {}});
            if (field == TFormatPiece::Year && run != 2 && run != 4) compiled.Numeric = false;
        }
        i += run;
    }
    return compiled;
}

int FieldValue(const TFormatPiece& piece, const TDateTimeParts& parts) {
    switch (piece.Field) {
        case TFormatPiece::Year: return piece.Width == 2 ? parts.Year % 100 : parts.Year;
        case TFormatPiece::Month: return parts.Month;
        case TFormatPiece::Day: return parts.Day;
        case TFormatPiece::Hour: return parts.Hour;
        case TFormatPiece::Hour12: return parts.Hour % 12 == 0 ? 12 : parts.Hour % 12;
        case TFormatPiece::Minute: return parts.Minute;
        case TFormatPiece::Second: return parts.Second;
        case TFormatPiece::Millisecond: return parts.Millisecond;
        default: return 0;
    }
}

void AppendNumber(std::string& out, int value, int width) {
    char digits[12];
    int n = 0;
    for (unsigned v = static_cast<unsigned>(value < 0 ? -value : value); v != 0 || n == 0; v /= 10)
        digits[n++] = static_cast<char>('0' + v % 10);
    if (value < 0) out.push_back('-');
    for (int pad = width - n; pad > 0; --pad) out.push_back('0');
    while (n > 0) out.push_back(digits[--n]);
}

std::string FormatCompiled(const TCompiledFormat& format, const TDateTimeParts& parts) {
    std::string out;
    for (const TFormatPiece& piece : format.Pieces) {
        if (piece.Field == TFormatPiece::Literal) {
            out += piece.Text;
        } else if (piece.Field == TFormatPiece::AmPm) {
            const std::size_t split = piece.Text.find('\n');
            out += parts.Hour < 12 ? piece.Text.substr(0, split) : piece.Text.substr(split + 1);
        } else {
            AppendNumber(out, FieldValue(piece, parts), piece.Width);
        }
    }
    return out;
}

// The default locale's date and time format, worked out again only when that locale changes:
// asking the locale for its formats costs more than formatting a value, and a query that reads
// timestamps as text formats one per row.
std::shared_ptr<const TCompiledFormat> DateTimeFormat(const QLocale& locale) {
    static std::mutex lock;
    static std::optional<QLocale> formatLocale;
    static std::shared_ptr<const TCompiledFormat> format;
    std::lock_guard<std::mutex> guard(lock);
    if (formatLocale != locale) {
        format = std::make_shared<const TCompiledFormat>(Compile(locale, DateFormat(locale) + u' ' + TimeFormat(locale)));
        formatLocale = locale;
    }
    return format;
}

}  // namespace

std::string FormatLocaleDateTime(const TDateTimeParts& parts) {
    const QLocale locale;
    const std::shared_ptr<const TCompiledFormat> format = DateTimeFormat(locale);
    if (format->Numeric) return FormatCompiled(*format, parts);
    const QDateTime value(QDate(parts.Year, parts.Month, parts.Day),
                          QTime(parts.Hour, parts.Minute, parts.Second, parts.Millisecond), Qt::UTC);
    return FromQString(locale.toString(value, format->Pattern));
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
