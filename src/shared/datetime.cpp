#include "shared/datetime.h"

#include <QLocale>
#include <cmath>

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

QDateTime DecodeDateTime(double value)
{
    const double days = std::floor(value);
    const qint64 msecs = std::llround((value - days) * MSecsPerDay);
    QDate date = epoch.addDays(static_cast<qint64>(days));
    if (msecs >= static_cast<qint64>(MSecsPerDay))
        return QDateTime(date.addDays(1), QTime(0, 0));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)));
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
