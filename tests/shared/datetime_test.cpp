#include "shared/datetime.h"
#include "shared/todo_global.h"

#include <gtest/gtest.h>

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

} // namespace
