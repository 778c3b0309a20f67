// Export and import of 10,000 tasks in each exchange format. Target: each within 200 ms.
// BM_Export writes the text from the table; BM_Read reads a source into tasks; BM_Import is what
// the user waits for: reading the source, skipping what the list holds, appending and saving the
// list once (into an empty list each time).
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true for medians.

#include "exchange/exchange.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

namespace {

constexpr int Tasks = 10000;

// Tasks like a real list's: a dozen categories, deadlines around today (a quarter without), a
// fifth completed, details of a line or two for a third of them.
std::vector<TaskEntry> sampleTasks()
{
    std::mt19937 random(Tasks);
    const QStringList categories = {"",       "Home",  "Work",    "Garden", "Car",
                                    "Health", "Money", "Friends", "Books",  "Travel"};
    const QStringList words = {"call", "buy", "fix",    "write", "plan", "check", "send",
                               "book", "pay", "review", "clean", "read", "order", "visit"};
    const double today = EncodeDateTime(QDate(2026, 3, 15));
    std::vector<TaskEntry> tasks;
    for (int i = 0; i < Tasks; ++i) {
        TaskEntry t;
        t.title = words[random() % words.size()] + ' ' + words[random() % words.size()] +
                  QStringLiteral(", item ") + QString::number(i);
        t.category = categories[random() % categories.size()];
        t.created = today - 400 + i * (400.0 / Tasks) + 0.000123;
        t.deadline = random() % 4 == 0 ? NullDate : today + int(random() % 120) - 60;
        t.priority = int(random() % 3);
        t.completed = random() % 5 == 0 ? t.created + 1.5 : NullDate;
        if (random() % 3 == 0)
            t.details = QStringLiteral("First line of notes; with a comma, too\r\nSecond line.");
        tasks.push_back(t);
    }
    return tasks;
}

struct List {
    QTemporaryDir dir;
    TaskTable table;
    int opened = 0;
    List() { reopenEmpty(); }
    ~List() { CloseTaskStore(table); }
    void reopenEmpty()
    {
        CloseTaskStore(table);
        OpenTaskTable(dir.filePath(QStringLiteral("list%1.qmtd").arg(++opened)), table);
    }
};

List& sampleList()
{
    static List list;
    static const bool filled = [] {
        AppendTasks(list.table, sampleTasks());
        return true;
    }();
    (void)filled;
    return list;
}

ExchangeFormat formatOf(const benchmark::State& state)
{
    return ExchangeFormat(state.range(0));
}

void setLabel(benchmark::State& state)
{
    state.SetLabel(ExchangeFormatName(formatOf(state)).toStdString());
}

void BM_Export(benchmark::State& state)
{
    TaskTable& table = sampleList().table;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const ExportResult r = ExportTasks(table, formatOf(state));
        bytes = r.data.size();
        benchmark::DoNotOptimize(r.data.data());
    }
    setLabel(state);
    state.counters["bytes"] = double(bytes);
}

QByteArray exported(ExchangeFormat format)
{
    return ExportTasks(sampleList().table, format).data;
}

void BM_Read(benchmark::State& state)
{
    const QByteArray data = exported(formatOf(state));
    for (auto _ : state) {
        const SourceTasks tasks = ReadSource(data, formatOf(state), QStringLiteral("bench"));
        if (tasks.tasks.size() != size_t(Tasks))
            state.SkipWithError("not every task was read");
    }
    setLabel(state);
}

void BM_Import(benchmark::State& state)
{
    const QByteArray data = exported(formatOf(state));
    List target;
    for (auto _ : state) {
        state.PauseTiming();
        target.reopenEmpty();
        state.ResumeTiming();
        const ImportReport r =
            ImportTasks(target.table, ReadSource(data, formatOf(state), QStringLiteral("bench")));
        if (r.imported != Tasks)
            state.SkipWithError("not every task was imported");
    }
    setLabel(state);
}

} // namespace

#define QM_EXCHANGE_BENCH(name)                                                                    \
    BENCHMARK(name)                                                                                \
        ->Arg(int(ExchangeFormat::ICalendar))                                                      \
        ->Arg(int(ExchangeFormat::Csv))                                                            \
        ->Arg(int(ExchangeFormat::TodoTxt))                                                        \
        ->Unit(benchmark::kMillisecond)

QM_EXCHANGE_BENCH(BM_Export);
QM_EXCHANGE_BENCH(BM_Read);
QM_EXCHANGE_BENCH(BM_Import);

BENCHMARK_MAIN();
