#include "exchange_fixture.h"

#include "store/task_fields.h"

#include <ctime>

namespace {
// Before any test reads the clock.
const bool BerlinTime = [] {
    qputenv("TZ", "Europe/Berlin");
    tzset();
    return true;
}();
} // namespace

double At(int y, int m, int d, int h, int min, int s, int ms)
{
    return EncodeDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

QByteArray Fixture(const QString& name)
{
    QFile f(QStringLiteral(QM_TEST_DATA_DIR "/exchange/") + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll();
}

void ExchangeFixture::SetUp()
{
    ASSERT_TRUE(BerlinTime);
    SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0)); });
    ASSERT_TRUE(FDir.isValid());
    open(QStringLiteral("list.qmtd"));
}

void ExchangeFixture::TearDown()
{
    CloseTaskStore(FTable);
    SetClock({});
}

void ExchangeFixture::open(const QString& name)
{
    FList = FDir.filePath(name);
    OpenTaskTable(FList, FTable);
}

void ExchangeFixture::fillSample()
{
    AppendTasks(
        FTable,
        {
            // Winter time, milliseconds, texts the formats must escape, a deadline, high.
            {"Pay rent, \"now\"; really", "Home", At(2026, 1, 5, 9, 30, 15, 250), At(2026, 2, 1), 0,
             NullDate, "By transfer, before noon;\r\nref: A\\B"},
            // Summer time, no category, no deadline, completed.
            {"Buy milk", "", At(2026, 7, 10, 18, 0), NullDate, 1, At(2026, 7, 11, 8, 15), ""},
            // A long title and category beyond any iCalendar line, letters beyond ASCII, a
            // category with a comma and spaces, due on the day the clocks change, low.
            {QStringLiteral("Call Anna about the long-planned trip to Łódź and Kraków — bring the "
                            "maps, the tickets, and the camera"),
             QStringLiteral("Family & Friends, Travel — 家族と友人、旅行、東京と大阪"),
             At(2026, 3, 1, 12, 0), At(2026, 3, 29), 2, NullDate, ""},
            // A priority no version writes, completed.
            {"Water plants", "Home", At(2026, 3, 2, 7, 0), NullDate, 7, At(2026, 3, 3, 7, 0), ""},
            // The same title in the same second as the one before.
            {"Water plants", "Home", At(2026, 3, 2, 7, 0, 0, 400), NullDate, 1, NullDate,
             QStringLiteral("Ficus 🌿")},
        });
}

std::vector<TaskEntry> ExchangeFixture::tasks()
{
    FTable.SetIndexName(QString());
    const TaskFieldIndexes f(FTable);
    std::vector<TaskEntry> out;
    for (FTable.First(); !FTable.Eof(); FTable.Next())
        out.push_back({FTable.AsString(f.title), FTable.AsString(f.category),
                       FTable.AsDateTime(f.created), FTable.AsDateTime(f.completeBy),
                       int(FTable.AsInteger(f.priority)), FTable.AsDateTime(f.completed),
                       FTable.AsString(f.details)});
    return out;
}

QByteArray ExchangeFixture::listBytes() const
{
    QFile f(FList);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool operator==(const TaskEntry& a, const TaskEntry& b)
{
    return a.title == b.title && a.category == b.category && a.created == b.created &&
           a.deadline == b.deadline && a.priority == b.priority && a.completed == b.completed &&
           a.details == b.details;
}

void PrintTo(const TaskEntry& t, std::ostream* os)
{
    const auto when = [](double v) {
        return v == NullDate ? std::string("none") : FormatIsoDateTime(v).toStdString();
    };
    *os << "{" << t.title.toStdString() << " | " << t.category.toStdString() << " | created "
        << when(t.created) << " | due " << when(t.deadline) << " | priority " << t.priority
        << " | completed " << when(t.completed) << " | " << t.details.toStdString() << "}";
}
