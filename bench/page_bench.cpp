// Building the task list page for lists of 1,000, 5,000 and 20,000 tasks in each order.
// Target: within 10 ms for 5,000 tasks. Run with --benchmark_repetitions=5 for medians.
// BM_DetailsToHtml: one task's details with 1,000 to 100,000 web addresses; the time must grow
// in step with the count, 100,000 within 100 ms.

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/task_table.h"
#include "store/todo_db.h"
#include "view/html_text.h"
#include "view/page_style.h"
#include "view/task_page.h"

#include <QDate>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <random>

namespace {
// A list that looks like a real one: a dozen categories, deadlines around today (a quarter
// without), a fifth completed, details of a line or two with the odd web address.
std::unique_ptr<TaskTable> makeTable(int count, double today)
{
    auto table = std::make_unique<TaskTable>();
    table->CreateDataSet(TaskRecordFields());
    AddSortIndexes(*table);
    std::mt19937 random(count);
    const QStringList categories = {"",       "Home",   "Work",    "Garden", "Car",
                                    "Health", "Money",  "Friends", "Books",  "R&D",
                                    "Travel", "School", "Shop"};
    const QStringList words = {"call", "buy", "fix",    "write", "plan", "check", "send",
                               "book", "pay", "review", "clean", "read", "order", "visit"};
    for (int i = 0; i < count; ++i) {
        const QString title = words[random() % words.size()] + QLatin1Char(' ') +
                              words[random() % words.size()] + QLatin1Char(' ') +
                              QString::number(i);
        QString details;
        switch (random() % 4) {
        case 0:
            break;
        case 1:
            details = QStringLiteral("Remember the receipt & the spare key.");
            break;
        case 2:
            details = QStringLiteral("First line of notes\r\nSecond line, a bit longer than the "
                                     "first one.");
            break;
        default:
            details = QStringLiteral("See https://example.org/page?id=") + QString::number(i) +
                      QStringLiteral(" for the details.");
        }
        const double created = today - 400 + i * (400.0 / count);
        const double deadline =
            random() % 4 == 0 ? NullDate : today + static_cast<int>(random() % 120) - 60;
        const double completed = random() % 5 == 0 ? created + 1.5 : NullDate;
        table->Append();
        table->SetString(0, title);
        table->SetString(1, categories[random() % categories.size()]);
        table->SetDateTime(2, created);
        table->SetDateTime(3, deadline);
        table->SetInteger(4, random() % 3);
        table->SetDateTime(5, completed);
        table->SetString(6, details);
    }
    return table;
}

TaskTable& tableOf(int count, double today)
{
    static std::map<int, std::unique_ptr<TaskTable>> tables;
    auto& table = tables[count];
    if (!table)
        table = makeTable(count, today);
    return *table;
}

void BM_TaskPage(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    const TTaskViewFilter filter = mode == smCompletedDesc ? tvfCompleted : tvfUncompleted;
    const double today = EncodeDateTime(QDate(2026, 3, 15));
    TaskTable& table = tableOf(count, today);
    const ActionImagePaths images = SetActionImagePaths(QStringLiteral("/usr/local/bin"));
    const QString styleSheet = PageStyleSheet(DefaultPageColors(), DefaultDisplayFontName, 10);
    // The first selection of an order sorts the table; the page is rebuilt far more often.
    BuildTaskPage(table, mode, filter, false, images, styleSheet, today);
    int shown = 0;
    qsizetype length = 0;
    for (auto _ : state) {
        TaskPage page = BuildTaskPage(table, mode, filter, false, images, styleSheet, today);
        shown = page.FRecsShown;
        length = page.text.size();
        benchmark::DoNotOptimize(page.text.constData());
    }
    state.SetLabel(SortModeName(mode).toStdString() + " shown=" + std::to_string(shown) +
                   " chars/task=" + std::to_string(shown ? length / shown : 0));
}

void pageArguments(benchmark::internal::Benchmark* bench)
{
    for (int count : {1000, 5000, 20000})
        for (int mode = 0; mode < SortModeCount; ++mode)
            bench->Args({count, mode});
}
// Addresses of every kind the scan meets: both prefixes in either case, an ampersand in the
// query, trailing punctuation, an https address inside an http one, line breaks between.
QString detailsWithAddresses(int count)
{
    QString details;
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i);
        switch (i % 5) {
        case 0:
            details += QStringLiteral("see http://example.org/page?id=") + n +
                       QStringLiteral("&amp=1 then ");
            break;
        case 1:
            details += QStringLiteral("(HTTPS://Example.com/") + n + QStringLiteral(").\r\n");
            break;
        case 2:
            details += QStringLiteral("http://a.com/?u=https://b.com/") + n + u' ';
            break;
        case 3:
            details += QStringLiteral("\"https://q.net/") + n + QStringLiteral("\" <b> ");
            break;
        default:
            details += QStringLiteral("Http://x.io/") + n + QStringLiteral(", ");
        }
    }
    return details;
}

void BM_DetailsToHtml(benchmark::State& state)
{
    const QString details = detailsWithAddresses(static_cast<int>(state.range(0)));
    qsizetype length = 0;
    for (auto _ : state) {
        const QString html = DetailsToHtml(details);
        length = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.SetLabel("chars=" + std::to_string(details.size()) + " html=" + std::to_string(length));
    state.SetComplexityN(state.range(0));
}
} // namespace

BENCHMARK(BM_TaskPage)->Apply(pageArguments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetailsToHtml)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
