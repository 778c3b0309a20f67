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

namespace {
// The wall-clock date and time of a date-time, to the millisecond. As for DecodeDate, the
// fraction of a date-time before the epoch is the time of day counted away from zero.
std::pair<QDate, QTime> splitDateTime(double value)
{
    const double days = DateOf(value);
    const qint64 msecs = std::llround(std::abs(value - days) * MSecsPerDay);
    const QDate date = epoch.addDays(static_cast<qint64>(days));
    if (msecs >= static_cast<qint64>(MSecsPerDay))
        return {date.addDays(1), QTime(0, 0)};
    return {date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs))};
}
} // namespace

QDateTime DecodeDateTime(double value)
{
    const auto [date, time] = splitDateTime(value);
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

bool inIsoRange(double value)
{
    return std::isfinite(value) && value >= FirstIsoDay && value < LastIsoDay + 1;
}
} // namespace

QString FormatIsoDateTime(double value)
{
    if (!inIsoRange(value))
        return {};
    // Date and time apart: a wall-clock time is written as it is, also in a daylight-saving gap.
    const auto [date, time] = splitDateTime(value);
    return date.toString(Qt::ISODate) + u'T' +
           time.toString(time.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}

QString FormatIsoDate(double value)
{
    return inIsoRange(value) ? DecodeDate(value).toString(Qt::ISODate) : QString();
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
