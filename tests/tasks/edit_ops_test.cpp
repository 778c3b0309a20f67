// New task, clone and edit through the task edit dialog, on a real list file.
#include "task_ops_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// What the dialog showed when it opened.
struct Proposal {
    QString title;
    bool titleAllSelected = false;
    QString category;
    bool useCompleteBy = false;
    double completeBy = 0;
    bool pickerEnabled = false;
    double lowerBound = -1;
    int priority = -1;
    QString details;
    QWidget* focus = nullptr;
};

Proposal proposalOf(TFormTaskEdit& form)
{
    Proposal p;
    p.title = form.eTitle->text();
    p.titleAllSelected = form.eTitle->selectedText() == p.title && !p.title.isEmpty();
    p.category = form.eCategory->currentText();
    p.useCompleteBy = form.eUseCompleteBy->isChecked();
    p.completeBy = form.CompleteBy();
    p.pickerEnabled = form.eCompleteBy->isEnabled();
    p.lowerBound = form.CompleteByLowerBound();
    p.priority = form.ePriority->currentIndex();
    p.details = form.eDetails->toPlainText();
    p.focus = form.focusWidget();
    return p;
}

// 15 March 2026 in days since 30 December 1899 (a constant: no static initialisation order).
const double Today15 = 46096;

} // namespace

TEST_F(TaskOpsTest, NewTaskStoresEachFieldByTheDialogsRules)
{
    struct Case {
        const char* name;
        std::function<void(TFormTaskEdit&)> fill;
        Task expected; // created is always now, completed always NullDate
    };
    const double created = At(2026, 3, 15, 10, 0);
    const Case cases[] = {
        {"proposals untouched, box unchecked",
         nullptr,
         {"New Task", "", created, NullDate, 1, NullDate, ""}},
        {"deadline box checked: today + 7",
         [](TFormTaskEdit& f) { f.eUseCompleteBy->setChecked(true); },
         {"New Task", "", created, At(2026, 3, 22), 1, NullDate, ""}},
        {"picked date with the box checked",
         [](TFormTaskEdit& f) {
             f.eUseCompleteBy->setChecked(true);
             f.eCompleteBy->setDate(QDate(2026, 4, 1));
         },
         {"New Task", "", created, At(2026, 4, 1), 1, NullDate, ""}},
        {"picked date ignored with the box unchecked",
         [](TFormTaskEdit& f) { f.eCompleteBy->setDate(QDate(2026, 4, 1)); },
         {"New Task", "", created, NullDate, 1, NullDate, ""}},
        {"blank title stored empty",
         [](TFormTaskEdit& f) { f.eTitle->setText("   \t "); },
         {"", "", created, NullDate, 1, NullDate, ""}},
        {"control characters trimmed, inner and no-break spaces kept",
         [](TFormTaskEdit& f) {
             f.eTitle->setText(QString::fromUtf8("\x01 Buy\xC2\xA0 milk \x1F"));
         },
         {QString::fromUtf8("Buy\xC2\xA0 milk"), "", created, NullDate, 1, NullDate, ""}},
        {"category trimmed",
         [](TFormTaskEdit& f) { f.eCategory->setEditText("  Home  "); },
         {"New Task", "Home", created, NullDate, 1, NullDate, ""}},
        {"priority High",
         [](TFormTaskEdit& f) { f.ePriority->setCurrentIndex(0); },
         {"New Task", "", created, NullDate, 0, NullDate, ""}},
        {"priority Low",
         [](TFormTaskEdit& f) { f.ePriority->setCurrentIndex(2); },
         {"New Task", "", created, NullDate, 2, NullDate, ""}},
        {"details lines joined by CR LF, untrimmed, nothing added",
         [](TFormTaskEdit& f) { f.eDetails->setPlainText(" one\ntwo\n\n"); },
         {"New Task", "", created, NullDate, 1, NullDate, " one\r\ntwo\r\n\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ops->FormTaskEdit->eUseCompleteBy->setChecked(false);
        const int before = host->table.RecordCount();
        answerEdit(c.fill, true);
        ops->NewTaskItem(-1);
        ASSERT_EQ(host->table.RecordCount(), before + 1);
        EXPECT_EQ(allTasks().back(), c.expected);
    }
    // What was written is what the table holds: reopen the file.
    const std::vector<Task> inMemory = allTasks();
    OpenTaskTable(path, host->table);
    EXPECT_EQ(allTasks(), inMemory);
}

TEST_F(TaskOpsTest, NewTaskProposesItsDefaultsOverTheLastValues)
{
    addTasks({{"Old", "Work", At(2026, 3, 1), At(2026, 3, 2), 0, NullDate, "old details"}});
    answerEdit(nullptr, false);
    ops->EditTaskItem(recOf("Old")); // leaves the old task's values in the controls

    Proposal p;
    QFont detailsFont;
    const QString savedName = DisplayFontName;
    const int savedSize = DisplayFontSize;
    DisplayFontName = "Courier New";
    DisplayFontSize = 14;
    answerEdit(
        [&](TFormTaskEdit& f) {
            p = proposalOf(f);
            detailsFont = f.eDetails->font();
        },
        false);
    ops->NewTaskItem(-1);
    DisplayFontName = savedName;
    DisplayFontSize = savedSize;
    EXPECT_EQ(detailsFont.family(), "Courier New");
    EXPECT_EQ(detailsFont.pointSize(), 14);
    EXPECT_EQ(p.title, "New Task");
    EXPECT_TRUE(p.titleAllSelected);
    EXPECT_EQ(p.focus, ops->FormTaskEdit->eTitle);
    EXPECT_EQ(p.category, "");
    EXPECT_EQ(p.completeBy, Today15 + 7);
    EXPECT_EQ(p.lowerBound, Today15);
    EXPECT_EQ(p.priority, 1);
    EXPECT_EQ(p.details, "");
    // The edit left the box checked, and the new task does not touch it.
    EXPECT_TRUE(p.useCompleteBy);
    EXPECT_TRUE(p.pickerEnabled);
    // The bound goes when the dialog closes.
    EXPECT_EQ(ops->FormTaskEdit->CompleteByLowerBound(), 0);
}

TEST_F(TaskOpsTest, DeadlineBoxKeepsItsStateAcrossUses)
{
    addTasks({{"Due", "", At(2026, 3, 1), At(2026, 3, 20), 1, NullDate, ""}});
    answerEdit(nullptr, true);
    ops->EditTaskItem(recOf("Due")); // box checked by the task's deadline

    ops->NewTaskItem(-1); // OK without touching anything
    EXPECT_EQ(allTasks().back().deadline, Today15 + 7);

    answerEdit([](TFormTaskEdit& f) { f.eUseCompleteBy->setChecked(false); }, true);
    ops->NewTaskItem(-1);
    EXPECT_EQ(allTasks().back().deadline, NullDate);

    answerEdit(nullptr, true);
    ops->NewTaskItem(-1); // stays unchecked
    EXPECT_EQ(allTasks().back().deadline, NullDate);
    EXPECT_EQ(host->table.RecordCount(), 4);
}

TEST_F(TaskOpsTest, CloneProposesTheSourceWithADeadlineNotInThePast)
{
    struct Case {
        const char* name;
        double deadline;
        double completed;
        bool expectChecked;
        double expectDate;
    };
    const Case cases[] = {
        {"due yesterday", Today15 - 1, NullDate, true, Today15 + 7},
        {"due today", Today15, NullDate, true, Today15},
        {"due tomorrow", Today15 + 1, NullDate, true, Today15 + 1},
        {"no deadline", NullDate, NullDate, false, Today15 + 7},
        {"completed, due long ago", Today15 - 40, At(2026, 2, 1, 9, 30), true, Today15 + 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString title = QString("Source %1").arg(c.name);
        const Task source{title, "Errands",   At(2026, 1, 1, 8), c.deadline,
                          2,     c.completed, "line 1\r\nline 2"};
        addTasks({source});
        ops->FormTaskEdit->eUseCompleteBy->setChecked(!c.expectChecked);
        Proposal p;
        answerEdit([&](TFormTaskEdit& f) { p = proposalOf(f); }, true);
        const int before = host->table.RecordCount();
        ops->NewTaskItem(recOf(title));

        EXPECT_EQ(p.title, title);
        EXPECT_TRUE(p.titleAllSelected);
        EXPECT_EQ(p.category, "Errands");
        EXPECT_EQ(p.useCompleteBy, c.expectChecked);
        EXPECT_EQ(p.pickerEnabled, c.expectChecked);
        EXPECT_EQ(p.completeBy, c.expectDate);
        EXPECT_EQ(p.lowerBound, Today15);
        EXPECT_EQ(p.priority, 2);
        EXPECT_EQ(p.details, "line 1\nline 2");

        ASSERT_EQ(host->table.RecordCount(), before + 1);
        const Task copy = allTasks().back();
        EXPECT_EQ(copy, (Task{title, "Errands", At(2026, 3, 15, 10),
                              c.expectChecked ? c.expectDate : NullDate, 2, NullDate,
                              "line 1\r\nline 2"}));
        // The source is left as it was.
        std::vector<Task> all = allTasks();
        EXPECT_EQ(std::count(all.begin(), all.end(), source), 1);
        // Clear the list for the next case.
        for (int i = host->table.RecordCount(); i >= 1; --i)
            DeleteTask(host->table, i);
    }
}

TEST_F(TaskOpsTest, NewTaskOrCloneFromTheCompletedViewSwitchesToUncompleted)
{
    addTasks({{"Done one", "", At(2026, 3, 1), NullDate, 1, At(2026, 3, 10, 12), ""}});
    for (int clone : {0, 1}) {
        SCOPED_TRACE(clone ? "clone" : "new");
        host->filter = tvfCompleted;
        showPage();
        host->filterChanges = 0;
        answerEdit(nullptr, true);
        host->table.SetIndexName(SortModeName(smCompletedDesc));
        ops->NewTaskItem(clone ? recOf("Done one") : -1);
        EXPECT_EQ(host->filter, tvfUncompleted);
        EXPECT_EQ(host->filterChanges, 1);
        EXPECT_EQ(host->viewer->position(), 0);
    }
    // The cloned copy is not completed although its source is.
    std::vector<Task> all = allTasks();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[2].title, "Done one");
    EXPECT_EQ(all[2].completed, NullDate);
    EXPECT_NE(all[0].completed, NullDate);
}

TEST_F(TaskOpsTest, EditShowsAPastDeadlineAndOkWithoutChangesKeepsEveryFieldButWrites)
{
    Task withNbsp{
        "Late", "Work", At(2026, 1, 5, 7, 45, 12, 345), At(2026, 2, 1), 0, At(2026, 2, 3, 16, 20),
        ""};
    withNbsp.details = QString::fromUtf8("a\r\nb\xC2\xA0");
    addTasks({withNbsp});
    ageFile();
    const QByteArray before = fileBytes();

    Proposal p;
    answerEdit([&](TFormTaskEdit& f) { p = proposalOf(f); }, true);
    ops->EditTaskItem(1);
    EXPECT_EQ(p.title, "Late");
    EXPECT_EQ(p.category, "Work");
    EXPECT_TRUE(p.useCompleteBy);
    EXPECT_TRUE(p.pickerEnabled);
    EXPECT_EQ(p.completeBy, At(2026, 2, 1));
    EXPECT_EQ(p.lowerBound, 0);
    EXPECT_EQ(p.priority, 0);
    EXPECT_EQ(p.focus, ops->FormTaskEdit->eDetails);

    EXPECT_EQ(taskAt(1), withNbsp);
    EXPECT_TRUE(fileWrittenSinceAged());
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(TaskOpsTest, EditStoresChangesAndKeepsCreatedAndCompleted)
{
    addTasks({{"Plain", "", At(2026, 1, 5, 7), NullDate, 1, NullDate, ""}});
    Proposal p;
    answerEdit(
        [&](TFormTaskEdit& f) {
            p = proposalOf(f);
            f.eTitle->setText(" Renamed ");
            f.eCategory->setEditText("Home");
            f.eUseCompleteBy->setChecked(true);
            f.eCompleteBy->setDate(QDate(2026, 3, 1)); // in the past: allowed when editing
            f.ePriority->setCurrentIndex(2);
            f.eDetails->setPlainText("x\ny");
        },
        true);
    ops->EditTaskItem(1);
    EXPECT_FALSE(p.useCompleteBy);
    EXPECT_FALSE(p.pickerEnabled);
    EXPECT_EQ(p.completeBy, Today15 + 7);
    EXPECT_EQ(taskAt(1),
              (Task{"Renamed", "Home", At(2026, 1, 5, 7), At(2026, 3, 1), 2, NullDate, "x\r\ny"}));
}

TEST_F(TaskOpsTest, CancelWritesNothing)
{
    addTasks({{"One", "Work", At(2026, 1, 5), At(2026, 3, 20), 1, NullDate, "d"},
              {"Two", "", At(2026, 1, 6), NullDate, 1, At(2026, 3, 1), ""}});
    ageFile();
    const QByteArray before = fileBytes();
    const std::vector<Task> tasks = allTasks();
    answerEdit([](TFormTaskEdit& f) { f.eTitle->setText("changed"); }, false);
    host->loads = 0;
    ops->NewTaskItem(-1);
    ops->NewTaskItem(recOf("Two"));
    ops->EditTaskItem(recOf("One"));
    EXPECT_EQ(editShows, 3);
    EXPECT_EQ(host->loads, 0);
    EXPECT_EQ(allTasks(), tasks);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_FALSE(fileWrittenSinceAged());
    EXPECT_EQ(ops->FormTaskEdit->CompleteByLowerBound(), 0);
}

TEST_F(TaskOpsTest, CategoryListHasEveryCategoryOnceAndTheCursorStays)
{
    addTasks({{"a", "Work", At(2026, 1, 1), NullDate, 1, NullDate, ""},
              {"b", "home", At(2026, 1, 2), NullDate, 1, At(2026, 2, 1), ""},
              {"c", "Home", At(2026, 1, 3), NullDate, 1, NullDate, ""},
              {"d", "", At(2026, 1, 4), NullDate, 1, NullDate, ""}});
    host->table.SetIndexName(SortModeName(smCreated)); // newest first: "Home" before "home"
    host->table.SetRecNo(3);
    ops->FillTaskEditCatagories();
    EXPECT_EQ(ops->FormTaskEdit->CategoryList(), (QStringList{"Home", "Work"}));
    EXPECT_EQ(host->table.RecNo(), 3);
}

TEST_F(TaskOpsTest, EditKeepsTheScrollPositionNewTaskStartsAtTheTop)
{
    std::vector<Task> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({QString("Task %1").arg(i, 3, 10, QChar('0')), "", At(2026, 1, 1, 0, i),
                        NullDate, 1, NullDate, "details"});
    addTasks(many);
    host->sortMode = smTiDePrCr;
    host->show();
    showPage();
    host->viewer->setPosition(host->viewer->position() + 600);
    const int scrolled = host->viewer->position();
    ASSERT_GT(scrolled, 0) << "the page is too short to scroll";

    answerEdit([](TFormTaskEdit& f) { f.eDetails->setPlainText("changed"); }, true);
    ops->EditTaskItem(recOf("Task 040"));
    EXPECT_EQ(host->viewer->position(), scrolled);

    ops->NewTaskItem(-1);
    EXPECT_EQ(host->viewer->position(), 0);
    host->viewer->setPosition(scrolled);
    ops->NewTaskItem(recOf("Task 010"));
    EXPECT_EQ(host->viewer->position(), 0);
}

TEST_F(TaskOpsTest, RecordIndexOutsideTheListIsAnErrorAndChangesNothing)
{
    addTasks({{"Only", "", At(2026, 1, 1), NullDate, 1, NullDate, ""}});
    ageFile();
    const QByteArray before = fileBytes();
    answerEdit(nullptr, true);
    EXPECT_THROW(ops->EditTaskItem(0), TaskStoreError);
    EXPECT_THROW(ops->EditTaskItem(2), TaskStoreError);
    EXPECT_THROW(ops->NewTaskItem(0), TaskStoreError);
    EXPECT_THROW(ops->NewTaskItem(7), TaskStoreError);
    EXPECT_EQ(editShows, 0);
    EXPECT_EQ(host->table.RecordCount(), 1);
    EXPECT_EQ(fileBytes(), before);
    EXPECT_FALSE(fileWrittenSinceAged());
}

// The table goes back to what the file holds, so no later page can show the change.
TEST_F(TaskOpsTest, AFailedWriteLeavesTheTableAndTheFileAsTheyWere)
{
    addTasks({{"Only", "", At(2026, 1, 1), NullDate, 1, NullDate, ""}});
    showPage();
    const QByteArray before = fileBytes();
    host->loads = 0;
    SetSaveFaultHook(
        [](SaveStep step, qint64) { return step == SaveStep::WriteList ? -1 : 1 << 30; });
    answerEdit([](TFormTaskEdit& f) { f.eTitle->setText("Second"); }, true);
    EXPECT_THROW(ops->NewTaskItem(-1), std::exception);
    SetSaveFaultHook({});
    EXPECT_EQ(host->table.RecordCount(), 1);
    EXPECT_EQ(host->loads, 0); // the page is not regenerated
    EXPECT_EQ(fileBytes(), before);
}
