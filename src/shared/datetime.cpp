#include "shared/datetime.h"

#include <QLocale>
#include <cmath>
#include <utility>

namespace {
const QDate epoch(1899, 12, 30);
std::function<QDateTime()> clockOverride;
QString shortDateFormatOverride;
} // namespace

double EncodeDateTime(const QDate& date, const QTime& time)
{
    const double days = static_cast<double>(epoch.daysTo(date));
    return days + time.msecsSinceStartOfDay() / MSecsPerDay;
}

double EncodeDateTime(const QDateTime& dateTime)
{
    return EncodeDateTime(dateTime.date(), dateTime.time());
}

std::pair<QDate, QTime> SplitDateTime(double value)
{
    const double days = DateOf(value);
    const qint64 msecs = std::llround(std::abs(value - days) * MSecsPerDay);
    const QDate date = epoch.addDays(static_cast<qint64>(days));
    if (msecs >= static_cast<qint64>(MSecsPerDay))
        return {date.addDays(1), QTime(0, 0)};
    return {date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs))};
}

QDateTime DecodeDateTime(double value)
{
    const auto [date, time] = SplitDateTime(value);
    return QDateTime(date, time);
}

QDate DecodeDate(double value)
{
    // Before the epoch the fraction is still the time of day, counted away from zero: -3.5 is
    // noon of day -3.
    const double day = DateOf(value);
    if (!(std::abs(day) < 1e15)) // no calendar day (or not a number at all)
        return QDate();
    return epoch.addDays(static_cast<qint64>(day));
}

double DateOf(double value)
{
    return std::trunc(value);
}

namespace {
// 0001-01-01 and 9999-12-31 as date-times.
constexpr double FirstIsoDay = -693593.0;
constexpr double LastIsoDay = 2958465.0;

// Appends `value` as `width` decimal digits.
void appendDigits(QString& out, int value, int width)
{
    char16_t digits[4];
    for (int i = width - 1; i >= 0; --i, value /= 10)
        digits[i] = char16_t(u'0' + value % 10);
    out.append(QStringView(digits, width));
}

// YYYY-MM-DD, written by hand: this runs for every date of an export or a dump.
void appendIsoDate(QString& out, const QDate& date)
{
    appendDigits(out, date.year(), 4);
    out.append(u'-');
    appendDigits(out, date.month(), 2);
    out.append(u'-');
    appendDigits(out, date.day(), 2);
}
} // namespace

bool InIsoRange(double value)
{
    return std::isfinite(value) && value >= FirstIsoDay && value < LastIsoDay + 1;
}

QString FormatIsoDateTime(double value)
{
    if (!InIsoRange(value))
        return {};
    // Date and time apart: a wall-clock time is written as it is, also in a daylight-saving gap.
    const auto [date, time] = SplitDateTime(value);
    if (date.year() > 9999)
        return {};
    QString out;
    out.reserve(23);
    appendIsoDate(out, date);
    out.append(u'T');
    appendDigits(out, time.hour(), 2);
    out.append(u':');
    appendDigits(out, time.minute(), 2);
    out.append(u':');
    appendDigits(out, time.second(), 2);
    if (time.msec()) {
        out.append(u'.');
        appendDigits(out, time.msec(), 3);
    }
    return out;
}

QString FormatIsoDate(double value)
{
    if (!InIsoRange(value))
        return {};
    QString out;
    out.reserve(10);
    appendIsoDate(out, DecodeDate(value));
    return out;
}

QDateTime CurrentDateTime()
{
    return clockOverride ? clockOverride() : QDateTime::currentDateTime();
}

double Now()
{
    return EncodeDateTime(CurrentDateTime());
}

double Today()
{
    return EncodeDateTime(CurrentDateTime().date());
}

void SetClock(std::function<QDateTime()> clock)
{
    clockOverride = std::move(clock);
}

QString FormatShortDate(const QDate& date)
{
    if (!shortDateFormatOverride.isEmpty())
        return date.toString(shortDateFormatOverride);
    static const QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    return QLocale::system().toString(date, format);
}

QString FormatShortDate(double value)
{
    return FormatShortDate(DecodeDate(value));
}

void SetShortDateFormat(const QString& format)
{
    shortDateFormatOverride = format;
}
