// Out and back in: each format brings back what it carries.

#include "exchange_fixture.h"

#include <cmath>

namespace {

// A date-time without its milliseconds, or its time of day.
double toSecond(double v)
{
    return v == NullDate ? v : std::floor(v * 86400.0 + 1e-6) / 86400.0;
}
double toDay(double v)
{
    return v == NullDate ? v : DateOf(v);
}

class RoundTripTest : public ExchangeFixture {
protected:
    // Exports the sample list and imports it into a new one; gives both lists' tasks.
    std::pair<std::vector<TaskEntry>, std::vector<TaskEntry>> roundTrip(ExchangeFormat format)
    {
        fillSample();
        const std::vector<TaskEntry> original = tasks();
        const QByteArray data = ExportTasks(FTable, format).data;
        CloseTaskStore(FTable);
        open("copy.qmtd");
        const ImportReport r = ImportTasks(FTable, ReadSource(data, format, "out"));
        EXPECT_EQ(r.imported, 5);
        EXPECT_TRUE(r.skipped.empty());
        // The copy exports as the original did.
        EXPECT_EQ(ReadSource(ExportTasks(FTable, format).data, format, "again").tasks.size(), 5u);
        return {original, tasks()};
    }
};

} // namespace

TEST_F(RoundTripTest, CsvCarriesEverything)
{
    const auto [original, back] = roundTrip(ExchangeFormat::Csv);
    EXPECT_EQ(back, original);
}

TEST_F(RoundTripTest, ICalendarCarriesAllButMillisecondsAndUnknownPriorities)
{
    auto [expected, back] = roundTrip(ExchangeFormat::ICalendar);
    for (TaskEntry& t : expected) {
        t.created = toSecond(t.created);
        t.completed = toSecond(t.completed);
        if (t.priority > 2)
            t.priority = 1; // PRIORITY:0, "undefined"
    }
    EXPECT_EQ(back, expected);
    // The copy's UIDs are the original's: exported again, it is the same calendar.
    CloseTaskStore(FTable);
    open("list.qmtd");
    QByteArray first = ExportTasks(FTable, ExchangeFormat::ICalendar).data;
    CloseTaskStore(FTable);
    open("copy.qmtd");
    QByteArray second = ExportTasks(FTable, ExchangeFormat::ICalendar).data;
    first.replace("PRIORITY:0", "PRIORITY:5");
    EXPECT_EQ(second, first);
}

TEST_F(RoundTripTest, TodoTxtCarriesDaysButNoDetails)
{
    auto [expected, back] = roundTrip(ExchangeFormat::TodoTxt);
    for (TaskEntry& t : expected) {
        t.created = toDay(t.created);
        t.completed = toDay(t.completed);
        t.details.clear();
        if (t.priority > 2)
            t.priority = 1;
    }
    EXPECT_EQ(back, expected);
}
