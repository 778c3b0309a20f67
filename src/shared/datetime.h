#pragma once
// Date-times as the program stores them: days since 1899-12-30 00:00 local time, the fraction
// being the time of day. The clock can be replaced so that tests do not depend on the day they run.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <utility>

constexpr double MSecsPerDay = 86400000.0;

// Wall-clock conversions; no time zone arithmetic is involved.
double EncodeDateTime(const QDate& date, const QTime& time = QTime(0, 0));
double EncodeDateTime(const QDateTime& dateTime);
QDateTime DecodeDateTime(double value);
// The wall-clock date and time of a date-time, to the millisecond, without a QDateTime (whose
// local time asks the C library about the zone). As for DecodeDate, the fraction of a date-time
// before the epoch is the time of day counted away from zero.
std::pair<QDate, QTime> SplitDateTime(double value);
QDate DecodeDate(double value); // the whole day, as DateOf cuts it

// The whole day of a date-time, cutting the fraction towards zero.
double DateOf(double value);

// "now" to the millisecond and "today" without time of day, both from the program's clock.
double Now();
double Today();
QDateTime CurrentDateTime();

// Replaces the clock; an empty function restores the system clock.
void SetClock(std::function<QDateTime()> clock);

// A date-time as ISO 8601 wall-clock text, "YYYY-MM-DDTHH:MM:SS" with ".sss" added when it has
// milliseconds, or its date alone as "YYYY-MM-DD". Empty for a value outside the years 1 to 9999.
QString FormatIsoDateTime(double value);
// Whether the value is a date-time of the years 1 to 9999, which ISO text can show.
bool InIsoRange(double value);
QString FormatIsoDate(double value);

// Dates on pages and in menus: the user's short date format, date only. Tests fix the format.
QString FormatShortDate(double value);
QString FormatShortDate(const QDate& date);
void SetShortDateFormat(const QString& format); // empty: the user's locale again
