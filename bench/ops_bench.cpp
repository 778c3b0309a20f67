// The round trip of one click on the page, on lists of 1,000 and 5,000 tasks: the store change,
// the crash-safe save, the page build, loading the page into the view and painting it.
// Targets: 30 ms median for 1,000 tasks, 100 ms for 5,000.
//
// And one keystroke in the window's filter bar, on lists of 5,000 and 20,000 tasks: from the
// query text changed to the painted page. Targets: 50 ms median for 5,000 tasks, 150 ms for
// 20,000.
//
// And one `qmtd add` handed to the window that holds the list, on 1,000 and 5,000 tasks: from the
// request sent on the window's endpoint to the answer received, the save and the page rebuild
// included. Target: at most 10 ms more than a click's round trip (BM_SetTaskDone).
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true for medians.

#include "app/comma_text.h"
#include "app/filter_bar.h"
#include "app/form_main.h"
#include "app/remote_commands.h"
#include "app/settings_store.h"
#include "cli/remote_protocol.h"
#include "htmlview/html_view.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/task_operations.h"
#include "test_host.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>
#include <random>

namespace {

// A list like a real one: a dozen categories, deadlines around today (a quarter without), a fifth
// completed, details of a line or two with the odd web address.
void fillList(TaskTable& table, int count, double today)
{
    std::mt19937 random(count);
    const QStringList categories = {"",       "Home",  "Work",    "Garden", "Car",
                                    "Health", "Money", "Friends", "Books",  "Travel"};
    const QStringList words = {"call", "buy", "fix",    "write", "plan", "check", "send",
                               "book", "pay", "review", "clean", "read", "order", "visit"};
    const int title = table.FieldIndex(TaskField::Title);
    const int category = table.FieldIndex(TaskField::Category);
    const int created = table.FieldIndex(TaskField::Created);
    const int completeBy = table.FieldIndex(TaskField::CompleteBy);
    const int priority = table.FieldIndex(TaskField::Priority);
    const int completed = table.FieldIndex(TaskField::Completed);
    const int details = table.FieldIndex(TaskField::Details);
    for (int i = 0; i < count; ++i) {
        table.Append();
        table.SetString(title, words[random() % words.size()] + ' ' +
                                   words[random() % words.size()] + ' ' + QString::number(i));
        table.SetString(category, categories[random() % categories.size()]);
        const double createdAt = today - 400 + i * (400.0 / count);
        table.SetDateTime(created, createdAt);
        table.SetDateTime(completeBy, random() % 4 == 0
                                          ? NullDate
                                          : today + static_cast<int>(random() % 120) - 60);
        table.SetInteger(priority, random() % 3);
        table.SetDateTime(completed, random() % 5 == 0 ? createdAt + 1.5 : NullDate);
        switch (random() % 3) {
        case 0:
            table.SetString(details, QString());
            break;
        case 1:
            table.SetString(details, "First line of notes\r\nSecond line, a bit longer.");
            break;
        default:
            table.SetString(details, "See https://example.org/page?id=" + QString::number(i));
        }
    }
}

// The list file's folder: QM_BENCH_DIR when set (to compare disks), the temporary folder otherwise.
QString benchFolder()
{
    const QString folder = qEnvironmentVariable("QM_BENCH_DIR");
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

struct Fixture {
    QTemporaryDir dir{benchFolder() + "/qm-ops-bench-XXXXXX"};
    std::unique_ptr<TestTaskHost> host;
    std::unique_ptr<TaskOperations> ops;
    QImage canvas;

    explicit Fixture(int count)
    {
        host = std::make_unique<TestTaskHost>();
        host->resize(1000, 700);
        host->viewer->setGeometry(0, 0, 1000, 700);
        host->show();
        OpenTaskTable(dir.filePath("bench.qmtd"), host->table);
        fillList(host->table, count, Today());
        ops = std::make_unique<TaskOperations>(*host);
        host->LoadTaskView(false);
        canvas = QImage(host->viewer->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    }

    // The record index of an uncompleted task in the middle of the page's order.
    int middleUncompleted()
    {
        TaskTable& table = host->table;
        const int field = table.FieldIndex(TaskField::Completed);
        int rec = table.RecordCount() / 2;
        for (;; ++rec) {
            table.SetRecNo(rec);
            if (table.AsDateTime(field) == NullDate)
                return rec;
        }
    }

    void paint()
    {
        QPainter painter(&canvas);
        host->viewer->viewport()->render(&painter);
    }
};

std::map<int, std::unique_ptr<Fixture>>& fixtures();

Fixture& fixtureFor(int count)
{
    auto& slot = fixtures()[count];
    if (!slot)
        slot = std::make_unique<Fixture>(count);
    return *slot;
}

void BM_SetTaskDone(benchmark::State& state)
{
    Fixture& f = fixtureFor(static_cast<int>(state.range(0)));
    f.host->filter = tvfUncompleted;
    f.host->LoadTaskView(false);
    const int rec = f.middleUncompleted();
    for (auto _ : state) {
        f.ops->SetTaskDone(rec);
        f.paint();
        state.PauseTiming();
        MarkTaskUncompleted(f.host->table, rec);
        state.ResumeTiming();
    }
}

void BM_UndoTask(benchmark::State& state)
{
    Fixture& f = fixtureFor(static_cast<int>(state.range(0)));
    f.host->filter = tvfUncompleted;
    f.host->LoadTaskView(false);
    const int rec = f.middleUncompleted(); // same index in the uncompleted view's order
    for (auto _ : state) {
        state.PauseTiming();
        MarkTaskCompleted(f.host->table, rec);
        state.ResumeTiming();
        f.ops->UndoTask(rec);
        f.paint();
    }
}

void BM_DoAgain(benchmark::State& state)
{
    Fixture& f = fixtureFor(static_cast<int>(state.range(0)));
    f.host->filter = tvfUncompleted;
    f.host->LoadTaskView(false);
    TaskTable& table = f.host->table;
    for (auto _ : state) {
        state.PauseTiming();
        const int rec = f.middleUncompleted();
        const int before = table.RecordCount();
        state.ResumeTiming();
        // Completes the task and appends its copy.
        f.ops->DoDoAgainAction(rec, Today() + 7);
        f.paint();
        state.PauseTiming();
        // Back to the list as it was: drop the copy (the newest record), reopen the task.
        table.SetIndexName(SortModeName(smCreated));
        DeleteTask(table, 1);
        table.SetIndexName(SortModeName(smDePrTiCr));
        MarkTaskUncompleted(table, rec);
        if (table.RecordCount() != before)
            state.SkipWithError("list did not return to its size");
        state.ResumeTiming();
    }
}

// The two halves of a click, for comparison: the store change with its save alone, and the page
// build, load and paint alone.
void BM_StoreChangeAndSave(benchmark::State& state)
{
    Fixture& f = fixtureFor(static_cast<int>(state.range(0)));
    const int rec = f.middleUncompleted();
    bool done = false;
    for (auto _ : state) {
        if (done)
            MarkTaskUncompleted(f.host->table, rec);
        else
            MarkTaskCompleted(f.host->table, rec);
        done = !done;
    }
}

void BM_PageLoadAndPaint(benchmark::State& state)
{
    Fixture& f = fixtureFor(static_cast<int>(state.range(0)));
    f.host->filter = tvfUncompleted;
    for (auto _ : state) {
        const int position = f.host->viewer->position();
        f.host->LoadTaskView(false);
        f.host->viewer->setPosition(position);
        f.paint();
    }
}

std::map<int, std::unique_ptr<Fixture>>& fixtures()
{
    static std::map<int, std::unique_ptr<Fixture>> all;
    return all;
}

// The real window on a list file of `count` tasks, reopened at its start, with the filter bar
// open.
struct WindowFixture {
    QTemporaryDir dir{benchFolder() + "/qm-ops-bench-XXXXXX"};
    QTemporaryDir config;
    std::unique_ptr<TFormMain> form;
    QImage canvas;

    explicit WindowFixture(int count)
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const QString list = dir.filePath("bench.qmtd");
        {
            TaskTable table;
            TdbToDoFile file(list);
            table.CreateDataSet(TaskRecordFields());
            fillList(table, count, Today());
            file.WriteDataSet(table);
        }
        SettingsStore store;
        store.WriteString("Settings", "RecentOpenFiles", CommaText({list}));
        store.WriteString("Settings", "LastOpenFile", list);
        RecentFiles.clear();
        LastOpenFileName.clear();
        form = std::make_unique<TFormMain>();
        form->resize(1000, 700);
        form->show();
        form->ActionFind->trigger();
        canvas = QImage(form->TaskViewer->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    }

    void paint()
    {
        QPainter painter(&canvas);
        form->TaskViewer->viewport()->render(&painter);
    }
};

std::map<int, std::unique_ptr<WindowFixture>>& windows()
{
    static std::map<int, std::unique_ptr<WindowFixture>> all;
    return all;
}

WindowFixture& windowFor(int count)
{
    auto& slot = windows()[count];
    if (!slot)
        slot = std::make_unique<WindowFixture>(count);
    return *slot;
}

// Each iteration is one keystroke that changes the query, typing or deleting a letter, and
// paints the page it leads to.
void runKeystrokes(benchmark::State& state, const QString& shorter, const QString& longer)
{
    WindowFixture& f = windowFor(static_cast<int>(state.range(0)));
    QLineEdit* edit = f.form->FilterBar->FilterEdit;
    edit->setText(shorter);
    QCoreApplication::processEvents();
    bool typed = false;
    int shownShorter = 0, shownLonger = 0;
    for (auto _ : state) {
        typed = !typed;
        edit->setText(typed ? longer : shorter);
        QCoreApplication::processEvents(); // the window applies the query it has read
        f.paint();
        (typed ? shownLonger : shownShorter) = f.form->RecsShown();
    }
    state.counters["shown_" + (shorter.isEmpty() ? std::string("all") : shorter.toStdString())] =
        shownShorter;
    state.counters["shown_" + longer.toStdString()] = shownLonger;
}

// The broad case: the first letter of a word that nearly every task holds, typed and deleted
// again, so every keystroke builds, loads and paints the page of nearly every task, with its
// marks, or of every task.
void BM_FilterKeystroke(benchmark::State& state)
{
    runKeystrokes(state, QString(), QStringLiteral("e"));
}

// Narrowing down: the fourth letter of a word a few tasks hold, typed and deleted again.
void BM_FilterKeystrokeNarrow(benchmark::State& state)
{
    runKeystrokes(state, QStringLiteral("pla"), QStringLiteral("plan"));
}

// The client runs in the window's thread and lets its event loop run until the answer is in, as
// the window would between a qmtd's request and its answer.
void BM_ForwardedAdd(benchmark::State& state)
{
    // A fixture of its own: the endpoint is for the list open now.
    Fixture f(static_cast<int>(state.range(0)));
    f.host->filter = tvfUncompleted;
    f.host->LoadTaskView(false);
    TRemoteCommands remote(*f.host, *f.ops);
    if (!remote.Listening()) {
        state.SkipWithError(remote.EndpointError().toStdString().c_str());
        return;
    }
    const QString list = CurrentListFileName();
    const QByteArray request = FramedMessage(
        EncodeRemoteRequest({list, {"add", list, "From the terminal", "-q"}, {}, {}}));
    TaskTable& table = f.host->table;
    const int before = table.RecordCount();
    for (auto _ : state) {
        state.PauseTiming();
        QLocalSocket socket;
        socket.connectToServer(remote.EndpointName());
        if (!socket.waitForConnected(5000)) {
            state.SkipWithError("no connection");
            return;
        }
        MessageFrameReader reader(MaxRemoteAnswerBytes);
        state.ResumeTiming();
        socket.write(request);
        while (reader.readFrom(socket) == MessageFrameReader::State::Incomplete)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        f.paint();
        state.PauseTiming();
        if (reader.state() != MessageFrameReader::State::Complete ||
            DecodeRemoteAnswer(reader.message()).status != 0) {
            state.SkipWithError("the add failed");
            return;
        }
        // Back to the list as it was: the newest task goes.
        const QString order = table.IndexName();
        table.SetIndexName(SortModeName(smCreated));
        DeleteTask(table, 1);
        table.SetIndexName(order);
        if (table.RecordCount() != before)
            state.SkipWithError("list did not return to its size");
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_ForwardedAdd)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreChangeAndSave)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageLoadAndPaint)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetTaskDone)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoTask)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoAgain)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKeystroke)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterKeystrokeNarrow)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(10, 0)); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixtures().clear(); // the windows go before the application object
    windows().clear();
    return 0;
}
