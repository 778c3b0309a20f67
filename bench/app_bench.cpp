// The main window on a 5,000-task list, offscreen: from creating the window (which reopens the
// list) to the first painted page, and switching between the two tabs to a painted page.
//
// Targets: the opened page painted within 300 ms, a tab switch within 60 ms.

#include "app/comma_text.h"
#include "app/error_handler.h"
#include "app/form_main.h"
#include "app/settings_store.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QImage>
#include <QTabBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int TaskCount = 5000;

struct Fixture {
    QTemporaryDir dir;
    QTemporaryDir config;
    QString list;

    Fixture()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        list = dir.path() + QStringLiteral("/Big.qmtd");
        WriteBigList();
        SettingsStore store;
        store.WriteString(QStringLiteral("Settings"), QStringLiteral("RecentOpenFiles"),
                          CommaText({list}));
        store.WriteString(QStringLiteral("Settings"), QStringLiteral("LastOpenFile"), list);
    }

    void WriteBigList()
    {
        static const char* categories[] = {"Home",   "Work",  "Car",    "Garden",
                                           "Family", "Money", "Health", ""};
        TaskTable table;
        TdbToDoFile file(list);
        table.CreateDataSet(TaskRecordFields());
        const double start = EncodeDateTime(QDate(2026, 1, 1), QTime(8, 0));
        for (int i = 0; i < TaskCount; ++i) {
            table.Append();
            table.SetString(
                table.FieldIndex(TaskField::Title),
                QStringLiteral("Task number %1 with a title of ordinary length").arg(i));
            table.SetString(table.FieldIndex(TaskField::Category),
                            QString::fromLatin1(categories[i % 8]));
            table.SetDateTime(table.FieldIndex(TaskField::Created), start + i * 0.01);
            table.SetDateTime(table.FieldIndex(TaskField::CompleteBy),
                              i % 5 == 0 ? NullDate : EncodeDateTime(QDate(2026, 3, 1 + i % 60)));
            table.SetInteger(table.FieldIndex(TaskField::Priority), i % 3);
            // One task in five is completed.
            table.SetDateTime(table.FieldIndex(TaskField::Completed),
                              i % 5 == 4 ? start + 30 + i * 0.01 : NullDate);
            table.SetString(table.FieldIndex(TaskField::Details),
                            i % 2 ? QStringLiteral("Some details, see https://quillmark.org/t/%1 "
                                                   "for more.\r\nA second line.")
                                        .arg(i)
                                  : QString());
        }
        file.WriteDataSet(table);
    }
};

Fixture& TheFixture()
{
    static Fixture fixture;
    return fixture;
}

// Paints what the view shows, as the screen would.
void PaintViewport(TFormMain& form)
{
    QWidget* viewport = form.taskViewer().viewport();
    QImage image(viewport->size(), QImage::Format_ARGB32_Premultiplied);
    viewport->render(&image);
    benchmark::DoNotOptimize(image.bits());
}

void BM_CreateWindowAndOpenListToPaintedPage(benchmark::State& state)
{
    Fixture& fixture = TheFixture();
    for (auto _ : state) {
        RecentFiles.clear();
        LastOpenFileName.clear();
        auto form = std::make_unique<TFormMain>();
        form->show();
        PaintViewport(*form);
        state.PauseTiming();
        if (CurrentListFileName() != fixture.list)
            state.SkipWithError("the list was not opened");
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateWindowAndOpenListToPaintedPage)->Unit(benchmark::kMillisecond);

void BM_SwitchTabs(benchmark::State& state)
{
    TheFixture();
    RecentFiles.clear();
    LastOpenFileName.clear();
    TFormMain form;
    form.show();
    PaintViewport(form);
    for (auto _ : state) {
        form.TabSetFilter->setCurrentIndex(1 - form.TabSetFilter->currentIndex());
        PaintViewport(form);
    }
    state.counters["shown"] = form.RecsShown();
}
BENCHMARK(BM_SwitchTabs)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TQuillmarkApplication application(argc, argv);
    SetShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    SetClock([] { return QDateTime(QDate(2026, 3, 10), QTime(12, 0)); });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
