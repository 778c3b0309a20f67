// Marking complete, undo and do again, with the do-again menu and its date dialog.
#include "task_ops_fixture.h"
#include "tasks/do_again.h"
#include "tasks/tagged_menu.h"

#include <QAction>
#include <QDateEdit>

namespace {

// 15 March 2026 in days since 30 December 1899 (a constant: no static initialisation order).
const double Today15 = 46096;

std::vector<Task> sampleTasks()
{
    // Ties on several keys, so that the orders really differ from the order of creation.
    return {
        {"Beta", "Work", At(2026, 1, 1, 9), At(2026, 3, 20), 1, NullDate, "b"},
        {"Alpha", "Home", At(2026, 1, 2, 9), At(2026, 3, 20), 0, NullDate, ""},
        {"Gamma", "", At(2026, 1, 3, 9), NullDate, 2, NullDate, ""},
        {"Delta", "Work", At(2026, 1, 4, 9), At(2026, 3, 10), 1, NullDate, ""},
        {"Epsilon", "Home", At(2026, 1, 5, 9), At(2026, 3, 16), 2, At(2026, 3, 1, 8), ""},
        {"Zeta", "Home", At(2026, 1, 6, 9), NullDate, 0, At(2026, 3, 2, 8), ""},
    };
}

const TSortMode UserOrders[] = {smCaDePrTiCr, smDePrTiCr, smCreated, smPrDeTiCr, smTiDePrCr};

} // namespace

TEST_F(TaskOpsTest, DoneAndUndoActOnTheTaskAtTheRecordIndexInEveryOrder)
{
    ASSERT_EQ(At(2026, 3, 15), Today15);
    addTasks(sampleTasks());
    const double clickTime = At(2026, 3, 15, 10, 0, 1, 234);
    for (TSortMode mode : UserOrders) {
        for (const char* title : {"Beta", "Alpha", "Gamma", "Delta"}) {
            SCOPED_TRACE(SortModeName(mode).toStdString() + " " + title);
            host->sortMode = mode;
            host->filter = tvfUncompleted;
            showPage(); // selects the order whose record indexes the page carries
            std::vector<Task> expected = allTasks();
            for (Task& t : expected)
                if (t.title == title)
                    t.completed = clickTime;
            setNow(clickTime);
            ops->SetTaskDone(recOf(title));
            EXPECT_EQ(allTasks(), expected);

            host->filter = tvfCompleted;
            showPage();
            for (Task& t : expected)
                if (t.title == title)
                    t.completed = NullDate;
            ops->UndoTask(recOf(title));
            EXPECT_EQ(allTasks(), expected);
        }
    }
}

TEST_F(TaskOpsTest, DoAgainCompletesTheTaskAndAppendsACopyInEveryOrder)
{
    addTasks(sampleTasks());
    const double clickTime = At(2026, 3, 15, 11, 30);
    int n = 0;
    for (TSortMode mode : UserOrders) {
        SCOPED_TRACE(SortModeName(mode).toStdString());
        const QString title = QString("Repeat %1").arg(++n);
        addTasks({{title, "Chores", At(2026, 2, 1, 8), At(2026, 3, 14), 0, NullDate, "x\r\ny"}});
        host->sortMode = mode;
        host->filter = tvfUncompleted;
        showPage();
        std::vector<Task> expected = allTasks();
        for (Task& t : expected)
            if (t.title == title)
                t.completed = clickTime;
        expected.push_back({title, "Chores", clickTime, Today15 + 7, 0, NullDate, "x\r\ny"});
        setNow(clickTime);
        ops->DoDoAgainAction(recOf(title) /* before the change */, Today15 + 7 + 0.75);
        EXPECT_EQ(allTasks(), expected);
        setNow(At(2026, 3, 15, 10));
    }
}

TEST_F(TaskOpsTest, DoAgainByAHandMadeLinkWhileTheOrderIsByCompletion)
{
    // Completing a task moves it in the completion order; the copy must still be of that task.
    addTasks(sampleTasks());
    host->filter = tvfCompleted;
    showPage();
    const int rec = recOf("Gamma");
    ops->DoDoAgainAction(rec, NullDate);
    const std::vector<Task> all = allTasks();
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all.back().title, "Gamma");
    EXPECT_EQ(all.back().priority, 2);
    EXPECT_EQ(all.back().completed, NullDate);
    EXPECT_EQ(std::count_if(all.begin(), all.end(),
                            [](const Task& t) { return t.completed != NullDate; }),
              3);
}

TEST_F(TaskOpsTest, DoAgainOnACompletedTaskFromTheCompletedViewKeepsItsCompletion)
{
    addTasks(sampleTasks());
    host->filter = tvfCompleted;
    showPage();
    const std::vector<Task> before = allTasks();
    ops->DoPopUpTaskDoAgainMenu(recOf("Epsilon"), QPoint(10, 10));
    ops->DoAgainWithoutDeadline1->trigger();
    ops->PopupMenuDoAgain->hide();
    std::vector<Task> expected = before;
    expected.push_back({"Epsilon", "Home", At(2026, 3, 15, 10), NullDate, 2, NullDate, ""});
    EXPECT_EQ(allTasks(), expected);
    EXPECT_EQ(host->filter, tvfCompleted);
    EXPECT_EQ(host->recsShown, 2); // the copy is not on this tab
}

TEST_F(TaskOpsTest, DoAgainMenuCaptionsFollowTheDateAndDeadlinesAreComputedAtTheClick)
{
    struct Case {
        QDate today;
        QAction* TaskOperations::*item;
        const char* caption;
        QDate deadline;
    };
    const Case cases[] = {
        {QDate(2024, 1, 31), &TaskOperations::DoAgaininOneMonth1,
         "Do Again in One Month\t(2024-03-02)", QDate(2024, 3, 2)},
        {QDate(2023, 1, 31), &TaskOperations::DoAgaininOneMonth1,
         "Do Again in One Month\t(2023-03-03)", QDate(2023, 3, 3)},
        {QDate(2026, 2, 10), &TaskOperations::DoAgaininOneMonth1,
         "Do Again in One Month\t(2026-03-10)", QDate(2026, 3, 10)},
        {QDate(2026, 4, 30), &TaskOperations::DoAgaininOneMonth1,
         "Do Again in One Month\t(2026-05-30)", QDate(2026, 5, 30)},
        {QDate(2026, 12, 31), &TaskOperations::DoAgainTomorrow1, "Do Again Tomorrow\t(2027-01-01)",
         QDate(2027, 1, 1)},
        {QDate(2026, 3, 15), &TaskOperations::DoAgaininOneWeek1,
         "Do Again in One Week\t(2026-03-22)", QDate(2026, 3, 22)},
        {QDate(2026, 3, 15), &TaskOperations::DoAgaininTwoWeeks1,
         "Do Again in Two Weeks\t(2026-03-29)", QDate(2026, 3, 29)},
    };
    EXPECT_EQ(ops->DoAgainTomorrow1->text(), "Do Again Tomorrow");
    int n = 0;
    for (const Case& c : cases) {
        const QString title = QString("T%1").arg(++n);
        SCOPED_TRACE(c.caption);
        now = QDateTime(c.today, QTime(23, 59, 59));
        addTasks({{title, "", At(2020, 1, 1), NullDate, 1, NullDate, ""}});
        showPage();
        ops->DoPopUpTaskDoAgainMenu(recOf(title), QPoint(5, 5));
        EXPECT_EQ((ops.get()->*c.item)->text(), c.caption);
        EXPECT_EQ(ops->DoAgainWithoutDeadline1->text(), "Do Again Without Deadline");
        EXPECT_EQ(ops->DoAgainOn1->text(), "Do Again On...");
        // The menu stays open over midnight: the click counts from the new day.
        now = QDateTime(c.today.addDays(1), QTime(0, 0, 1));
        (ops.get()->*c.item)->trigger();
        ops->PopupMenuDoAgain->hide();
        const Task copy = allTasks().back();
        EXPECT_EQ(copy.title, title);
        EXPECT_EQ(copy.deadline,
                  DoAgainDeadline(
                      c.item == &TaskOperations::DoAgainTomorrow1     ? TDoAgainPeriod::Tomorrow
                      : c.item == &TaskOperations::DoAgaininOneWeek1  ? TDoAgainPeriod::OneWeek
                      : c.item == &TaskOperations::DoAgaininTwoWeeks1 ? TDoAgainPeriod::TwoWeeks
                                                                      : TDoAgainPeriod::OneMonth,
                      EncodeDateTime(c.today.addDays(1))));
        // Reopening shows the new day's dates.
        ops->DoPopUpTaskDoAgainMenu(1, QPoint(5, 5));
        EXPECT_NE((ops.get()->*c.item)->text(), c.caption);
        ops->PopupMenuDoAgain->hide();
    }
    // The computation itself, at the day of the menu.
    EXPECT_EQ(DoAgainDeadline(TDoAgainPeriod::OneMonth, At(2024, 1, 31)), At(2024, 3, 2));
    EXPECT_EQ(DoAgainDeadline(TDoAgainPeriod::OneMonth, At(2023, 1, 31)), At(2023, 3, 3));
}

TEST_F(TaskOpsTest, DateDialogOffersNoDateBeforeTodayAndKeepsItsLastDate)
{
    addTasks({{"Water plants", "", At(2026, 1, 1), NullDate, 1, NullDate, ""}});
    showPage();
    struct Seen {
        QDate shown;
        QDate minimum;
    } seen;
    auto look = [&](TFormPopupDatePick& f) {
        seen = {f.DeadlinePicker->date(), f.DeadlinePicker->minimumDate()};
    };

    // First use opens on today; an earlier date cannot be set.
    answerDate(
        [&](TFormPopupDatePick& f) {
            look(f);
            f.DeadlinePicker->setDate(QDate(2026, 3, 1));
            EXPECT_EQ(f.DeadlinePicker->date(), QDate(2026, 3, 15));
            f.DeadlinePicker->setDate(QDate(2026, 3, 25));
        },
        true);
    ops->DoPopUpTaskDoAgainMenu(recOf("Water plants"), QPoint(5, 5));
    ops->DoAgainOn1->trigger();
    ops->PopupMenuDoAgain->hide();
    EXPECT_EQ(seen.shown, QDate(2026, 3, 15));
    EXPECT_EQ(seen.minimum, QDate(2026, 3, 15));
    EXPECT_EQ(allTasks().back().deadline, At(2026, 3, 25));
    EXPECT_EQ(allTasks().back().completed, NullDate);
    EXPECT_EQ(allTasks().front().completed, At(2026, 3, 15, 10));

    // A later use opens on the last date; cancelling writes nothing.
    ageFile();
    const QByteArray before = fileBytes();
    const int count = host->table.RecordCount();
    answerDate(look, false);
    now = QDateTime(QDate(2026, 3, 20), QTime(9, 0));
    showPage();
    int copyRec = 0;
    for (int i = 1; i <= host->table.RecordCount(); ++i)
        if (taskAt(i).completed == NullDate)
            copyRec = i;
    ops->DoPopUpTaskDoAgainMenu(copyRec, QPoint(5, 5));
    ops->DoAgainOn1->trigger();
    ops->PopupMenuDoAgain->hide();
    EXPECT_EQ(seen.shown, QDate(2026, 3, 25));
    EXPECT_EQ(seen.minimum, QDate(2026, 3, 20));
    EXPECT_EQ(host->table.RecordCount(), count);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_FALSE(fileWrittenSinceAged());
    EXPECT_EQ(allTasks().back().completed, NullDate); // the task stays uncompleted

    // Once that date has passed, the dialog opens on today.
    now = QDateTime(QDate(2026, 4, 2), QTime(9, 0));
    ops->DoAgainOn1->trigger();
    EXPECT_EQ(seen.shown, QDate(2026, 4, 2));
    EXPECT_EQ(seen.minimum, QDate(2026, 4, 2));
    EXPECT_EQ(dateShows, 3);
}

TEST_F(TaskOpsTest, UndoBringsBackAPastDeadlineUnchanged)
{
    addTasks({{"Overdue", "", At(2026, 1, 1), At(2026, 2, 1), 1, At(2026, 2, 2, 12), ""}});
    host->filter = tvfCompleted;
    showPage();
    ops->UndoTask(recOf("Overdue"));
    EXPECT_EQ(allTasks().front(),
              (Task{"Overdue", "", At(2026, 1, 1), At(2026, 2, 1), 1, NullDate, ""}));
}

TEST_F(TaskOpsTest, CompletionKeepsTheScrollPosition)
{
    std::vector<Task> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({QString("Task %1").arg(i, 3, 10, QChar('0')), "", At(2026, 1, 1, 0, i),
                        NullDate, 1, NullDate, "details"});
    addTasks(many);
    host->sortMode = smTiDePrCr;
    host->show();
    showPage();
    host->viewer->setPosition(host->viewer->position() + 500);
    const int scrolled = host->viewer->position();
    ASSERT_GT(scrolled, 0);
    ops->SetTaskDone(recOf("Task 070"));
    EXPECT_EQ(host->viewer->position(), scrolled);
    ops->DoDoAgainAction(recOf("Task 071"), NullDate);
    EXPECT_EQ(host->viewer->position(), scrolled);
    host->filter = tvfCompleted;
    showPage();
    ops->UndoTask(recOf("Task 070"));
    EXPECT_EQ(host->viewer->position(), 0); // the completed page is short
}

TEST_F(TaskOpsTest, CompletionWithARecordIndexOutsideTheListChangesNothing)
{
    addTasks(sampleTasks());
    showPage();
    ageFile();
    const QByteArray before = fileBytes();
    const std::vector<Task> tasks = allTasks();
    const int count = host->table.RecordCount();
    for (int bad : {0, -1, count + 1}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ops->SetTaskDone(bad), TaskStoreError);
        EXPECT_THROW(ops->UndoTask(bad), TaskStoreError);
        EXPECT_THROW(ops->DoDoAgainAction(bad, NullDate), TaskStoreError);
        EXPECT_THROW(ops->DoPopUpTaskDoAgainMenu(bad, QPoint()), TaskStoreError);
        ops->PopupMenuDoAgain->Tag = bad;
        EXPECT_THROW(ops->DoAgainTomorrow1Click(), TaskStoreError);
        EXPECT_THROW(ops->DoAgainOn1Click(), TaskStoreError);
    }
    EXPECT_EQ(dateShows, 0);
    EXPECT_EQ(allTasks(), tasks);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_FALSE(fileWrittenSinceAged());
}
