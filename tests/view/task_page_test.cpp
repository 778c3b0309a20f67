#include "qstring_printer.h"
#include "task_table_builder.h"
#include "view/task_page.h"
#include "view/task_query.h"
#include "view/view_error.h"

#include <QFile>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {
const QString styleSheet = QStringLiteral("STYLE");

class TaskPageTest : public ::testing::Test {
protected:
    void SetUp() override { SetShortDateFormat(QStringLiteral("dd/MM/yyyy")); }
    void TearDown() override { SetShortDateFormat(QString()); }

    const double today = Day(2026, 3, 15);
    const ActionImagePaths images = SetActionImagePaths(QStringLiteral("/qm"));

    TaskPage build(const std::vector<TaskSpec>& tasks, int mode, TTaskViewFilter filter,
                   bool printing = false)
    {
        FillTaskTable(table, tasks);
        return BuildTaskPage(table, mode, filter, printing, images, styleSheet, today);
    }

    TaskPage find(const std::vector<TaskSpec>& tasks, int mode, TTaskViewFilter filter,
                  const QString& query, double keepCreatedFrom = NullDate)
    {
        FillTaskTable(table, tasks);
        const TaskQuery parsed = TaskQuery::Parse(query);
        return BuildTaskPage(table, mode, filter, false, images, styleSheet, today,
                             PageQuery{&parsed, keepCreatedFrom});
    }

    TaskTable table;
};

QString expectedPage(const char* name)
{
    QFile file(QStringLiteral(QM_TEST_DATA_DIR "/view/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing fixture " << name;
    return QString::fromUtf8(file.readAll());
}

// Compares line by line first so that a failure names the first differing line.
void expectSamePage(const QString& actual, const QString& expected)
{
    const QStringList a = actual.split(QStringLiteral("\r\n"));
    const QStringList e = expected.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < std::min(a.size(), e.size()); ++i)
        if (a[i] != e[i]) {
            ADD_FAILURE() << "line " << i + 1 << "\n  actual:   " << a[i].toStdString()
                          << "\n  expected: " << e[i].toStdString();
            break;
        }
    EXPECT_EQ(actual, expected);
}

std::vector<TaskSpec> deadlineTasks(double today)
{
    const double created = today - 20;
    return {
        {"Someday", "", created + 1, NullDate, 2, NullDate, ""},
        {"Dentist", "Health", created + 2, today + 1, 1, NullDate,
         "Bring card\r\nhttp://clinic.example/x?a=1&b=2"},
        {"Water plants", "Home", created + 3, today, 2, NullDate, ""},
        {"Old report", "Work", created + 4, today, 0, At(2026, 3, 14, 10, 0), "done"},
        {"Call Ann", "", created + 5, today, 1, NullDate, "Ask about <the> party & cake"},
        {"Pay rent", "Home", created + 6, today - 1, 0, NullDate, "Due yesterday"},
    };
}

TEST_F(TaskPageTest, DeadlineGroupsAroundToday)
{
    const TaskPage page = build(deadlineTasks(today), smDePrTiCr, tvfUncompleted);
    expectSamePage(page.text, expectedPage("deadline_groups.html"));
    EXPECT_EQ(page.FRecsShown, 5);
    EXPECT_EQ(page.FCompletedTasks, 1);
}

TEST_F(TaskPageTest, CategoryGroupsEscapeUserText)
{
    const double c = Day(2026, 3, 1);
    const TaskPage page = build(
        {
            {"<a href=\"act:done/1\">x</a>", "Work", c + 1, NullDate, 2, NullDate, ""},
            {"Report", "Work", c + 2, Day(2026, 3, 16), 1, NullDate, "Draft <v2> & send"},
            {"<b>Buy & \"sell\"", "R&D <lab>", c + 3, Day(2026, 3, 20), 0, NullDate,
             "\"quoted\" stays"},
            {"Plain task", "", c + 4, NullDate, 1, NullDate, ""},
        },
        smCaDePrTiCr, tvfUncompleted);
    expectSamePage(page.text, expectedPage("category_groups.html"));
    EXPECT_EQ(page.FRecsShown, 4);
}

TEST_F(TaskPageTest, PriorityGroups)
{
    const double c = Day(2026, 3, 1);
    const TaskPage page = build(
        {
            {"Third", "Garden", c, Day(2026, 3, 17), 2, NullDate, ""},
            {"Second", "", c + 1, NullDate, 0, NullDate, ""},
            {"First", "", c + 2, today, 0, NullDate, ""},
        },
        smPrDeTiCr, tvfUncompleted);
    expectSamePage(page.text, expectedPage("priority_groups.html"));
    EXPECT_EQ(page.FRecsShown, 3);
}

TEST_F(TaskPageTest, TitleOrderHasNoGroupsAndShowsUnknownPriorityAsNumber)
{
    const double c = Day(2026, 3, 1);
    const TaskPage page = build(
        {
            {"Zed", "Misc", c, NullDate, 1, At(2026, 3, 2, 8, 0), ""},
            {"Beta", "Misc", c + 1, Day(2026, 3, 10), 0, NullDate, ""},
            {"Alpha", "Misc", c + 2, NullDate, 3, NullDate, "Line one\r\nLine two"},
        },
        smTiDePrCr, tvfUncompleted);
    expectSamePage(page.text, expectedPage("title_order.html"));
    EXPECT_EQ(page.FRecsShown, 2);
    EXPECT_EQ(page.FCompletedTasks, 1);
}

TEST_F(TaskPageTest, CreatedOrderForPrinting)
{
    const TaskPage page = build(
        {
            {"Older", "", At(2026, 3, 1, 9, 0), NullDate, 2, NullDate, "Made on the first"},
            {"Newer", "", At(2026, 3, 5, 9, 0), Day(2026, 4, 30), 1, NullDate, "Made on the fifth"},
        },
        smCreated, tvfUncompleted, true);
    expectSamePage(page.text, expectedPage("created_order_printing.html"));
    EXPECT_FALSE(page.text.contains(QStringLiteral("act:")));
    EXPECT_EQ(page.FRecsShown, 2);
}

TEST_F(TaskPageTest, CompletedView)
{
    const double c = Day(2026, 2, 1);
    const TaskPage page = build(
        {
            {"Done early", "Home", c, Day(2026, 2, 20), 1, At(2026, 3, 1, 9, 0),
             "Took https://example.org/report"},
            {"Open task", "Work", c + 1, today, 0, NullDate, ""},
            {"Done late", "Work", c + 2, NullDate, 0, At(2026, 3, 14, 18, 30), ""},
        },
        smCompletedDesc, tvfCompleted);
    // The uncompleted task takes record index 1 but is not shown.
    expectSamePage(page.text, expectedPage("completed_view.html"));
    EXPECT_EQ(page.FRecsShown, 2);
    EXPECT_EQ(page.FCompletedTasks, 2);
}

TEST_F(TaskPageTest, MessageRows)
{
    const double c = Day(2026, 3, 1);
    const std::vector<TaskSpec> onlyCompleted = {{"Finished", "", c, NullDate, 1, c + 1, ""},
                                                 {"Finished too", "", c, NullDate, 1, c + 2, ""}};
    const std::vector<TaskSpec> onlyOpen = {{"Open", "", c, NullDate, 1, NullDate, ""}};
    struct Case {
        const char* name;
        std::vector<TaskSpec> tasks;
        TTaskViewFilter filter;
        const char* fixture;
        int completed;
    };
    const Case cases[] = {
        {"empty list, uncompleted view", {}, tvfUncompleted, "message_empty.html", 0},
        {"empty list, completed view", {}, tvfCompleted, "message_empty.html", 0},
        {"only completed tasks", onlyCompleted, tvfUncompleted, "message_no_uncompleted.html", 2},
        {"no completed tasks", onlyOpen, tvfCompleted, "message_no_completed.html", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const TaskPage page =
            build(k.tasks, k.filter == tvfCompleted ? smCompletedDesc : smDePrTiCr, k.filter);
        expectSamePage(page.text, expectedPage(k.fixture));
        EXPECT_EQ(page.FRecsShown, 0);
        EXPECT_EQ(page.FCompletedTasks, k.completed);
    }
}

TEST_F(TaskPageTest, UnknownPriorityFailsOnlyWhenGroupingByPriority)
{
    const double c = Day(2026, 3, 1);
    const std::vector<TaskSpec> tasks = {
        {"Fine", "", c, NullDate, 0, NullDate, ""},
        {"Odd", "", c + 1, NullDate, 7, NullDate, ""},
    };
    try {
        build(tasks, smPrDeTiCr, tvfUncompleted);
        ADD_FAILURE() << "no error";
    } catch (const ViewError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unknown priority level: 7"));
    }
    // A completed task is skipped before its group is worked out.
    EXPECT_NO_THROW(build({{"Odd", "", c, NullDate, 7, c + 1, ""}}, smPrDeTiCr, tvfUncompleted));
    for (int mode : {smCaDePrTiCr, smDePrTiCr, smCreated, smTiDePrCr}) {
        const TaskPage page = build(tasks, mode, tvfUncompleted);
        EXPECT_TRUE(page.text.contains(
            QStringLiteral("<span style=\"font-size:smaller\">Priority:<br></span>7</td>")))
            << mode;
    }
}

TEST_F(TaskPageTest, StoredModeOutsideTheEnumerationUsesTheDefaultOrder)
{
    const std::vector<TaskSpec> tasks = deadlineTasks(today);
    const QString deadlinePage = build(tasks, smDePrTiCr, tvfUncompleted).text;
    const QString titlePage = build(tasks, smTiDePrCr, tvfUncompleted).text;
    ASSERT_NE(deadlinePage, titlePage);
    // Only the low 7 bits count: 130 is mode 2, 133 is mode 5.
    EXPECT_EQ(build(tasks, 130, tvfUncompleted).text, deadlinePage);
    EXPECT_EQ(build(tasks, 133, tvfUncompleted).text, titlePage);
    for (int mode : {6, 127, 255, -1})
        EXPECT_EQ(build(tasks, mode, tvfUncompleted).text, deadlinePage) << mode;
}

TEST_F(TaskPageTest, DatesBeforeTheEpochCutTheirFractionTowardsZero)
{
    // Before 30/12/1899 the fraction is still the time of day: -3.5 is noon of day -3, the day
    // the "today" test takes it for, not the day before.
    struct Case {
        double value;
        const char* date;
    };
    const Case cases[] = {
        {1.75, "31/12/1899"}, {0.5, "30/12/1899"},  {-0.5, "30/12/1899"},  {-1.0, "29/12/1899"},
        {-3.0, "27/12/1899"}, {-3.5, "27/12/1899"}, {-3.99, "27/12/1899"}, {-4.25, "26/12/1899"},
    };
    for (const Case& c : cases) {
        const QString date = QString::fromLatin1(c.date);
        const TaskPage done =
            build({{"Done", "", 0, NullDate, 1, c.value, ""}}, smCompletedDesc, tvfCompleted);
        EXPECT_TRUE(done.text.contains("Completed:<br></span>" + date + "</td>")) << c.value;
        const TaskPage due =
            build({{"Due", "", 0, c.value, 1, NullDate, ""}}, smDePrTiCr, tvfUncompleted);
        EXPECT_TRUE(due.text.contains("<td class=\"group\" colspan=\"5\">Deadline: " + date))
            << c.value;
        EXPECT_TRUE(due.text.contains("<span class=\"alert\">" + date + "</span>")) << c.value;
    }
}

TEST_F(TaskPageTest, NoOpenListGivesAnEmptyPage)
{
    TaskTable closed;
    const TaskPage page =
        BuildTaskPage(closed, smDePrTiCr, tvfUncompleted, false, images, styleSheet, today);
    EXPECT_TRUE(page.text.isEmpty());
    EXPECT_EQ(page.FRecsShown, 0);
    EXPECT_EQ(page.FCompletedTasks, 0);
}

TEST_F(TaskPageTest, PageSelectsTheOrderOfTheMode)
{
    build(deadlineTasks(today), smCaDePrTiCr, tvfUncompleted);
    EXPECT_EQ(table.IndexName(), QStringLiteral("smCaDePrTiCr"));
    build(deadlineTasks(today), smCompletedDesc, tvfCompleted);
    EXPECT_EQ(table.IndexName(), QStringLiteral("smCompletedDesc"));
}
// A list for the filter: matches in titles, categories and details (one inside a link), tasks in
// groups that lose all their tasks, and a completed task that matches but is on the other tab.
std::vector<TaskSpec> filterTasks(double today)
{
    const double c = Day(2026, 3, 1);
    return {
        {"Buy milk", "Home", c + 1, today, 1, NullDate,
         "Oat milk & more from https://shop.example/milk?x=1&y=2.\r\nSoon"},
        {"Fix sink", "Home", c + 2, NullDate, 0, NullDate, "Call the plumber"},
        {"Run", "Milkman & co", c + 3, today + 2, 2, NullDate, ""},
        {"Report", "Work", c + 4, today + 1, 1, NullDate, "Not <milk>"},
        {"Tax", "Taxes", c + 5, NullDate, 1, NullDate, ""},
        {"Old milk", "Home", c + 6, NullDate, 1, At(2026, 3, 2, 9, 0), "milk"},
    };
}

TEST_F(TaskPageTest, FilteredPageKeepsGroupsWithMatchesShadesShownRowsAndMarksMatches)
{
    const TaskPage page = find(filterTasks(today), smCaDePrTiCr, tvfUncompleted, "MILK");
    expectSamePage(page.text, expectedPage("filtered_category_groups.html"));
    EXPECT_EQ(page.FRecsShown, 3);
    EXPECT_EQ(page.matched, 3);
    EXPECT_EQ(page.tabTasks, 5);
    EXPECT_EQ(page.FCompletedTasks, 1);
}

TEST_F(TaskPageTest, FilterThatMatchesNothingSaysSoWithTheQueryEscaped)
{
    const TaskPage page = find(filterTasks(today), smDePrTiCr, tvfUncompleted, "<b> & \"x\" -c:");
    expectSamePage(page.text, expectedPage("filtered_no_match.html"));
    EXPECT_EQ(page.FRecsShown, 0);
    EXPECT_EQ(page.matched, 0);
    EXPECT_EQ(page.tabTasks, 5);
    // A view without tasks keeps its own message, and an empty list its own.
    EXPECT_EQ(
        find({{"Open", "", today, NullDate, 1, NullDate, ""}}, smCompletedDesc, tvfCompleted, "x")
            .text,
        expectedPage("message_no_completed.html"));
    EXPECT_EQ(find({}, smDePrTiCr, tvfUncompleted, "x").text, expectedPage("message_empty.html"));
}

TEST_F(TaskPageTest, QueryWithoutTermsGivesTheUnfilteredPageExactly)
{
    const double c = Day(2026, 3, 1);
    const std::vector<TaskSpec> completedTasks = {
        {"Done early", "Home", c, Day(2026, 2, 20), 1, At(2026, 3, 1, 9, 0),
         "Took https://example.org/report"},
        {"Open task", "Work", c + 1, today, 0, NullDate, ""},
        {"Done late", "Work", c + 2, NullDate, 0, At(2026, 3, 14, 18, 30), ""}};
    struct Case {
        const char* name;
        std::vector<TaskSpec> tasks;
        int mode;
        TTaskViewFilter filter;
        const char* fixture;
    };
    const Case cases[] = {
        {"deadline groups", deadlineTasks(today), smDePrTiCr, tvfUncompleted,
         "deadline_groups.html"},
        {"completed view", completedTasks, smCompletedDesc, tvfCompleted, "completed_view.html"},
        {"empty list", {}, smDePrTiCr, tvfUncompleted, "message_empty.html"},
        {"no completed tasks",
         {{"Open", "", c, NullDate, 1, NullDate, ""}},
         smCompletedDesc,
         tvfCompleted,
         "message_no_completed.html"},
    };
    // The window hands in the memory of its last page, a filtered one among them.
    const QString lastPage = find(deadlineTasks(today), smDePrTiCr, tvfUncompleted, "e").text;
    for (const Case& k : cases) {
        for (const char* text : {"", "   ", "-", "\"\""}) {
            SCOPED_TRACE(std::string(k.name) + ", query " + text);
            FillTaskTable(table, k.tasks);
            const TaskQuery query = TaskQuery::Parse(QString::fromLatin1(text));
            const TaskPage page = BuildTaskPage(table, k.mode, k.filter, false, images, styleSheet,
                                                today, PageQuery{&query, NullDate}, lastPage);
            expectSamePage(page.text, expectedPage(k.fixture));
            EXPECT_EQ(page.matched, page.tabTasks);
        }
    }
    const TaskQuery none;
    FillTaskTable(table, deadlineTasks(today));
    const TaskPage page = BuildTaskPage(table, smDePrTiCr, tvfUncompleted, false, images,
                                        styleSheet, today, PageQuery{&none, NullDate});
    expectSamePage(page.text, expectedPage("deadline_groups.html"));
    EXPECT_EQ(page.matched, 5);
    EXPECT_EQ(page.tabTasks, 5);
}

TEST_F(TaskPageTest, TasksCreatedSinceTheFilterChangedStayShown)
{
    std::vector<TaskSpec> tasks = filterTasks(today);
    tasks.push_back({"New task", "", At(2026, 3, 15, 10, 0), NullDate, 1, NullDate, ""});
    const TaskPage kept = find(tasks, smTiDePrCr, tvfUncompleted, "milk", At(2026, 3, 15, 9, 0));
    EXPECT_EQ(kept.FRecsShown, 4);
    EXPECT_EQ(kept.matched, 3);
    EXPECT_TRUE(kept.text.contains(QStringLiteral("New task")));
    const TaskPage later = find(tasks, smTiDePrCr, tvfUncompleted, "milk", At(2026, 3, 15, 11, 0));
    EXPECT_EQ(later.FRecsShown, 3);
    EXPECT_FALSE(later.text.contains(QStringLiteral("New task")));
}

TEST_F(TaskPageTest, FilterWorksOnTheCompletedView)
{
    const TaskPage page =
        find(filterTasks(today), smCompletedDesc, tvfCompleted, "done:<2026-03-03 milk");
    EXPECT_EQ(page.FRecsShown, 1);
    EXPECT_TRUE(page.text.contains(QStringLiteral("<span class=\"match\">milk</span></td>")));
    EXPECT_TRUE(page.text.contains(QStringLiteral("act:undo/6")));
}

// The outer table's rows of a page, each with what it holds up to the next one: a row line
// starts a line, the action buttons' own small table sits inside a line of its row.
QStringList OuterRows(const QString& text)
{
    QStringList rows;
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("<tr")))
            rows.append(line);
        else if (!rows.isEmpty() && !line.startsWith(QLatin1String("</table>")))
            rows.last() += line;
    }
    return rows;
}

TEST_F(TaskPageTest, RowsSayWhereEachShownTaskIsAndTheTextStaysAsItWas)
{
    const double c = Day(2026, 3, 1);
    const std::vector<TaskSpec> completedTasks = {
        {"Done early", "Home", c - 28, Day(2026, 2, 20), 1, At(2026, 3, 1, 9, 0),
         "Took https://example.org/report"},
        {"Open task", "Work", c - 27, today, 0, NullDate, ""},
        {"Done late", "Work", c - 26, NullDate, 0, At(2026, 3, 14, 18, 30), ""}};
    const std::vector<TaskSpec> categoryTasks = {
        {"Report", "Work", c + 2, Day(2026, 3, 16), 1, NullDate, "Draft <v2> & send"},
        {"Plain task", "", c + 4, NullDate, 1, NullDate, ""},
        {"Paint", "Home", c + 3, Day(2026, 3, 20), 0, NullDate, ""}};
    struct Case {
        const char* name;
        std::vector<TaskSpec> tasks;
        int mode;
        TTaskViewFilter filter;
        const char* query;   // nullptr: no filter
        const char* fixture; // the page's text, byte for byte, where there is one
        int shown;
    };
    const Case cases[] = {
        {"groups by deadline", deadlineTasks(today), smDePrTiCr, tvfUncompleted, nullptr,
         "deadline_groups.html", 5},
        {"completed view", completedTasks, smCompletedDesc, tvfCompleted, nullptr,
         "completed_view.html", 2},
        {"groups by category", categoryTasks, smCaDePrTiCr, tvfUncompleted, nullptr, nullptr, 3},
        {"no groups", categoryTasks, smTiDePrCr, tvfUncompleted, nullptr, nullptr, 3},
        {"filtered", deadlineTasks(today), smDePrTiCr, tvfUncompleted, "plants", nullptr, 1},
        {"empty list", {}, smDePrTiCr, tvfUncompleted, nullptr, "message_empty.html", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const TaskPage page = k.query ? find(k.tasks, k.mode, k.filter, QLatin1String(k.query))
                                      : build(k.tasks, k.mode, k.filter);
        if (k.fixture)
            expectSamePage(page.text, expectedPage(k.fixture));
        ASSERT_EQ(int(page.rows.size()), k.shown);
        EXPECT_EQ(page.FRecsShown, k.shown);
        const QStringList rows = OuterRows(page.text);
        std::vector<quint64> ids;
        for (const TaskPageRow& row : page.rows) {
            ASSERT_GE(row.firstRow, 0);
            ASSERT_LT(row.firstRow + 1, rows.size());
            const QString links = QStringLiteral("act:doagain/%1\"").arg(row.recIndex);
            EXPECT_TRUE(rows[row.firstRow].contains(links)) << rows[row.firstRow].toStdString();
            EXPECT_FALSE(rows[row.firstRow + 1].contains(QLatin1String("act:")))
                << "the details row follows: " << rows[row.firstRow + 1].toStdString();
            table.SetRecNo(row.recIndex);
            EXPECT_EQ(table.RecordId(), row.recordId);
            EXPECT_NE(row.recordId, 0u);
            ids.push_back(row.recordId);
        }
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "ids are distinct";
    }
}

TEST_F(TaskPageTest, ATaskKeepsItsRecordIdInEveryOrder)
{
    FillTaskTable(table, deadlineTasks(today));
    std::map<QString, quint64> idOf;
    for (const int mode : {smDePrTiCr, smTiDePrCr, smCaDePrTiCr, smCreated, smCompletedDesc}) {
        SCOPED_TRACE(mode);
        const TaskPage page =
            BuildTaskPage(table, mode, tvfUncompleted, false, images, styleSheet, today);
        ASSERT_EQ(page.rows.size(), 5u);
        for (const TaskPageRow& row : page.rows) {
            table.SetRecNo(row.recIndex);
            const QString title = table.AsString(TaskField::Title);
            const auto [known, added] = idOf.emplace(title, row.recordId);
            EXPECT_EQ(known->second, row.recordId) << title.toStdString();
        }
    }
    EXPECT_EQ(idOf.size(), 5u);
}

} // namespace
