#include "shared/datetime.h"
#include "shared/todo_global.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(DateTimeTest, EncodesDaysSince1899AndTheTimeOfDay)
{
    struct Case {
        QDateTime when;
        double expected;
    };
    const Case cases[] = {
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0},
        {QDateTime(QDate(1900, 1, 1), QTime(12, 0)), 2.5},
        {QDateTime(QDate(2024, 1, 16), QTime(0, 0)), 45307.0},
        {QDateTime(QDate(4637, 11, 25), QTime(0, 0)), NullDate},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(EncodeDateTime(c.when), c.expected) << c.when.toString().toStdString();
        EXPECT_EQ(DecodeDateTime(c.expected), c.when);
    }
}

TEST(DateTimeTest, MillisecondsSurviveARoundTrip)
{
    const QDateTime t(QDate(2024, 1, 15), QTime(12, 30, 15, 250));
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(t)), t);
}

TEST(DateTimeTest, ClockCanBeSetAndTodayDropsTheTime)
{
    SetClock([] { return QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59, 999)); });
    EXPECT_DOUBLE_EQ(Today(), EncodeDateTime(QDate(2024, 2, 29)));
    EXPECT_EQ(DecodeDateTime(Now()).time(), QTime(23, 59, 59, 999));
    SetClock({});
    EXPECT_GE(Today(), EncodeDateTime(QDate(2026, 1, 1)));
}

TEST(DateTimeTest, ShortDateFormatCanBeFixed)
{
    SetShortDateFormat("dd/MM/yyyy");
    EXPECT_EQ(FormatShortDate(EncodeDateTime(QDate(2024, 1, 16), QTime(18, 0))), "16/01/2024");
    SetShortDateFormat({});
}

TEST(DateTimeTest, IsoTextIsTheWallClockTime)
{
    struct Case {
        double value;
        const char* dateTime;
        const char* date;
    };
    const double gap = EncodeDateTime(QDate(2024, 3, 31), QTime(2, 30)); // in a DST gap in Europe
    const Case cases[] = {
        {EncodeDateTime(QDate(2024, 1, 15)), "2024-01-15T00:00:00", "2024-01-15"},
        {EncodeDateTime(QDate(2024, 1, 15), QTime(9, 5, 7, 30)), "2024-01-15T09:05:07.030",
         "2024-01-15"},
        {gap, "2024-03-31T02:30:00", "2024-03-31"},
        {-0.25, "1899-12-30T06:00:00", "1899-12-30"},
        {-3.5, "1899-12-27T12:00:00", "1899-12-27"},
        {999999.0, "4637-11-25T00:00:00", "4637-11-25"},
        {EncodeDateTime(QDate(1, 1, 1)), "0001-01-01T00:00:00", "0001-01-01"},
        {EncodeDateTime(QDate(9999, 12, 31), QTime(23, 59)), "9999-12-31T23:59:00", "9999-12-31"},
        {EncodeDateTime(QDate(1, 1, 1)) - 1, "", ""},
        {1e300, "", ""},
        {std::numeric_limits<double>::quiet_NaN(), "", ""},
        {std::numeric_limits<double>::infinity(), "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatIsoDateTime(c.value), QString::fromLatin1(c.dateTime)) << c.value;
        EXPECT_EQ(FormatIsoDate(c.value), QString::fromLatin1(c.date)) << c.value;
    }
}

} // namespace
