// Deleting one task and purging completed tasks, each behind its confirmation.
#include "task_ops_fixture.h"
#include "tasks/tagged_menu.h"

#include <QAction>

namespace {

const QString DeleteOneText = "Are you sure you wish to delete this task? This can not be undone.";
const QString DeleteOverWeekText = "Are you sure you wish to delete all tasks that were completed "
                                   "over one week ago? This can not be undone!";
const QString DeleteAllText =
    "Are you sure you wish to delete all tasks that are completed? This can not be undone!";

QStringList titles(const std::vector<Task>& tasks)
{
    QStringList list;
    for (const Task& t : tasks)
        list.append(t.title);
    return list;
}

} // namespace

TEST_F(TaskOpsTest, OverOneWeekDeletesUpToTheEndOfTheDaySevenDaysAgo)
{
    // Today is 15 March 2026: the cut-off is 8 March 00:00.
    addTasks({
        {"done 1 March", "", At(2026, 1, 1), NullDate, 1, At(2026, 3, 1, 12), ""},
        {"done 7 March 23:59", "", At(2026, 1, 2), NullDate, 1, At(2026, 3, 7, 23, 59, 59, 999),
         ""},
        {"done 8 March 00:00", "", At(2026, 1, 3), NullDate, 1, At(2026, 3, 8), ""},
        {"done today", "", At(2026, 1, 4), NullDate, 1, At(2026, 3, 15, 9), ""},
        {"open, deadline long past", "", At(2026, 1, 5), At(2025, 1, 1), 1, NullDate, ""},
    });
    host->filter = tvfCompleted;
    showPage();
    Prompts::setNextConfirm(true);
    ops->ActionDeleteCompletedOverWeekExecute();
    EXPECT_EQ(titles(allTasks()),
              (QStringList{"done 8 March 00:00", "done today", "open, deadline long past"}));
    ASSERT_EQ(Prompts::shown().size(), 1);
    EXPECT_EQ(Prompts::shown()[0].caption, "Confirm");
    EXPECT_EQ(Prompts::shown()[0].text, DeleteOverWeekText);
    EXPECT_EQ(host->completedTasks, 2); // the page was regenerated

    // Nothing old enough left: still confirmed, still written.
    ageFile();
    Prompts::setNextConfirm(true);
    ops->ActionDeleteCompletedOverWeekExecute();
    EXPECT_EQ(host->table.RecordCount(), 3);
    EXPECT_TRUE(fileWrittenSinceAged());

    // Reopening shows what was written.
    OpenTaskTable(path, host->table);
    EXPECT_EQ(host->table.RecordCount(), 3);
}

TEST_F(TaskOpsTest, DeleteAllCompletedFromTheUncompletedViewKeepsEveryOpenTask)
{
    addTasks({
        {"open 1", "", At(2026, 1, 1), At(2020, 1, 1), 1, NullDate, ""},
        {"done 1", "", At(2026, 1, 2), NullDate, 1, At(2026, 3, 15, 9, 59), ""},
        {"open 2", "", At(2026, 1, 3), NullDate, 1, NullDate, ""},
        {"done 2", "", At(2000, 1, 1), NullDate, 1, At(2000, 1, 2), ""},
    });
    showPage();
    Prompts::setNextConfirm(true);
    ops->ActionDeleteCompletedExecute();
    EXPECT_EQ(titles(allTasks()), (QStringList{"open 1", "open 2"}));
    EXPECT_EQ(Prompts::shown().back().text, DeleteAllText);
    EXPECT_EQ(host->completedTasks, 0);
    EXPECT_EQ(host->recsShown, 2);
}

TEST_F(TaskOpsTest, DeleteThisTaskDeletesTheMenusTaskAndStartsAtTheTop)
{
    std::vector<Task> many;
    for (int i = 0; i < 60; ++i)
        many.push_back({QString("Task %1").arg(i, 3, 10, QChar('0')), "", At(2026, 1, 1, 0, i),
                        NullDate, 1, i % 2 ? At(2026, 3, 1) : NullDate, "details"});
    addTasks(many);
    for (TTaskViewFilter filter : {tvfUncompleted, tvfCompleted}) {
        host->filter = filter;
        host->sortMode = smTiDePrCr;
        host->show();
        showPage();
        host->viewer->setPosition(host->viewer->position() + 300);
        const QString victim = filter == tvfUncompleted ? "Task 040" : "Task 041";
        ops->DoPopupTaskMenu(recOf(victim), QPoint(1, 1));
        Prompts::setNextConfirm(true);
        ops->DeleteThisTaskForever1->trigger();
        ops->PopupMenuMore->hide();
        EXPECT_EQ(Prompts::shown().back().text, DeleteOneText);
        EXPECT_FALSE(titles(allTasks()).contains(victim));
        EXPECT_EQ(host->viewer->position(), 0);
    }
    EXPECT_EQ(host->table.RecordCount(), 58);
}

TEST_F(TaskOpsTest, AnsweringNoChangesAndWritesNothing)
{
    addTasks({{"open", "", At(2026, 1, 1), NullDate, 1, NullDate, ""},
              {"done long ago", "", At(2026, 1, 2), NullDate, 1, At(2025, 1, 1), ""}});
    showPage();
    ageFile();
    const QByteArray before = fileBytes();
    host->loads = 0;
    ops->DoPopupTaskMenu(recOf("open"), QPoint(1, 1));
    Prompts::setNextConfirm(false);
    ops->DeleteThisTaskForever1->trigger();
    ops->PopupMenuMore->hide();
    Prompts::setNextConfirm(false);
    ops->ActionDeleteCompletedOverWeekExecute();
    Prompts::setNextConfirm(false);
    ops->ActionDeleteCompletedExecute();
    ASSERT_EQ(Prompts::shown().size(), 3);
    for (const Prompts::Record& r : Prompts::shown()) {
        EXPECT_EQ(r.kind, Prompts::Kind::Confirm);
        EXPECT_EQ(r.caption, "Confirm");
    }
    EXPECT_EQ(host->table.RecordCount(), 2);
    EXPECT_EQ(host->loads, 0);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_FALSE(fileWrittenSinceAged());
}

TEST_F(TaskOpsTest, DeletingARecordIndexOutsideTheListAsksNothingAndChangesNothing)
{
    addTasks({{"open", "", At(2026, 1, 1), NullDate, 1, NullDate, ""}});
    const QByteArray before = fileBytes();
    for (int bad : {0, 2}) {
        ops->PopupMenuMore->Tag = bad;
        EXPECT_THROW(ops->DeleteThisTaskForever1Click(), TaskStoreError);
        EXPECT_THROW(ops->CloneThisTask1Click(), TaskStoreError);
        EXPECT_THROW(ops->DoPopupTaskMenu(bad, QPoint()), TaskStoreError);
    }
    EXPECT_TRUE(Prompts::shown().isEmpty());
    EXPECT_EQ(host->table.RecordCount(), 1);
    EXPECT_EQ(fileBytes(), before);
}
