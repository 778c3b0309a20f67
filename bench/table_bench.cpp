// Task table costs on lists of 1k to 100k tasks: building a text-keyed order, changing a key,
// appending and deleting with all six orders built, and moving the cursor.

#include "shared/todo_global.h"
#include "store/task_table.h"
#include "store/todo_db.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

using namespace TaskField;

const char* const Words[] = {"call",  "Buy", "write", "Review", "fix",  "plan",   "Email", "book",
                             "clean", "Pay", "order", "read",   "Send", "update", "check"};
const char* const Categories[] = {"", "Home", "Work", "work", "Errands", "Garden"};

std::vector<FieldValue> RandomTask(std::mt19937& random, int i)
{
    auto word = [&] { return QString::fromLatin1(Words[random() % std::size(Words)]); };
    const double deadline = random() % 4 == 0 ? NullDate : 45000.0 + random() % 400;
    const double completed = random() % 3 == 0 ? 45000.0 + (random() % 400000) / 1000.0 : NullDate;
    return {
        FieldValue::fromText(word() + QLatin1Char(' ') + word() + QLatin1Char(' ') +
                             QString::number(random() % 1000)),
        FieldValue::fromText(QString::fromLatin1(Categories[random() % std::size(Categories)])),
        FieldValue::fromReal(44000.0 + i / 100.0),
        FieldValue::fromReal(deadline),
        FieldValue::fromInteger(random() % 3),
        FieldValue::fromReal(completed),
        FieldValue::fromText(QStringLiteral("Some details")),
    };
}

void Fill(TaskTable& table, int count)
{
    std::mt19937 random(12345);
    table.CreateDataSet(TaskRecordFields());
    AddSortIndexes(table);
    for (int i = 0; i < count; ++i)
        table.AppendRecord(RandomTask(random, i));
}

void BuildAll(TaskTable& table)
{
    for (int mode = 0; mode < SortModeCount; ++mode)
        table.SetIndexName(SortModeName(mode));
    table.SetIndexName(SortModeName(smDePrTiCr));
}

// First selection of a text-keyed order over freshly loaded records (collation keys included).
void BM_BuildTitleOrder(benchmark::State& state)
{
    TaskTable table;
    for (auto _ : state) {
        state.PauseTiming();
        Fill(table, int(state.range(0)));
        state.ResumeTiming();
        table.SetIndexName(SortModeName(smTiDePrCr));
    }
}
BENCHMARK(BM_BuildTitleOrder)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same for the category order, whose first key has few distinct values.
void BM_BuildCategoryOrder(benchmark::State& state)
{
    TaskTable table;
    for (auto _ : state) {
        state.PauseTiming();
        Fill(table, int(state.range(0)));
        state.ResumeTiming();
        table.SetIndexName(SortModeName(smCaDePrTiCr));
    }
}
BENCHMARK(BM_BuildCategoryOrder)->Arg(100000)->Unit(benchmark::kMillisecond);

// Changing a title (a key of four orders) with all six built: the record moves in each.
void BM_ChangeTitleSixOrders(benchmark::State& state)
{
    TaskTable table;
    Fill(table, int(state.range(0)));
    BuildAll(table);
    std::mt19937 random(7);
    const int title = table.FieldIndex(Title);
    for (auto _ : state) {
        table.SetRecNo(1 + int(random() % unsigned(table.RecordCount())));
        table.SetString(title, QString::fromLatin1(Words[random() % std::size(Words)]) +
                                   QString::number(random() % 1000));
    }
}
BENCHMARK(BM_ChangeTitleSixOrders)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Marking a task completed in a user order: only the completed order moves it.
void BM_CompleteSixOrders(benchmark::State& state)
{
    TaskTable table;
    Fill(table, int(state.range(0)));
    BuildAll(table);
    std::mt19937 random(8);
    const int completed = table.FieldIndex(Completed);
    for (auto _ : state) {
        table.SetRecNo(1 + int(random() % unsigned(table.RecordCount())));
        table.SetDateTime(completed, 45000.0 + (random() % 400000) / 1000.0);
    }
}
BENCHMARK(BM_CompleteSixOrders)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Appending a task and deleting one, all six orders built.
void BM_AppendDeleteSixOrders(benchmark::State& state)
{
    TaskTable table;
    Fill(table, int(state.range(0)));
    BuildAll(table);
    std::mt19937 random(9);
    int i = int(state.range(0));
    for (auto _ : state) {
        table.AppendRecord(RandomTask(random, i++));
        table.SetRecNo(1 + int(random() % unsigned(table.RecordCount())));
        table.Delete();
    }
}
BENCHMARK(BM_AppendDeleteSixOrders)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SetRecNoAndRecNo(benchmark::State& state)
{
    TaskTable table;
    Fill(table, int(state.range(0)));
    BuildAll(table);
    std::mt19937 random(10);
    for (auto _ : state) {
        table.SetRecNo(1 + int(random() % unsigned(table.RecordCount())));
        benchmark::DoNotOptimize(table.RecNo());
    }
}
BENCHMARK(BM_SetRecNoAndRecNo)->Arg(100000)->Unit(benchmark::kNanosecond);

// A page walk: First to Eof reading one field.
void BM_WalkAll(benchmark::State& state)
{
    TaskTable table;
    Fill(table, int(state.range(0)));
    BuildAll(table);
    const int title = table.FieldIndex(Title);
    for (auto _ : state) {
        qint64 length = 0;
        for (table.First(); !table.Eof(); table.Next())
            length += table.AsString(title).size();
        benchmark::DoNotOptimize(length);
    }
}
BENCHMARK(BM_WalkAll)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
