#include "test_host.h"

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/current_task.h"
#include "view/page_style.h"
#include "view/task_page.h"

#include <QApplication>

void ensureTestApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tasks_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

TestTaskHost::TestTaskHost()
{
    viewer = new HtmlView(this);
    viewer->setGeometry(0, 0, 700, 400);
    resize(700, 400);
    images = SetActionImagePaths(QApplication::applicationDirPath());
}

TestTaskHost::~TestTaskHost()
{
    CloseTaskStore(table);
}

void TestTaskHost::LoadTaskView(bool printing)
{
    ++loads;
    recsShown = 0;
    completedTasks = 0;
    viewer->clear();
    if (!table.Active())
        return;
    const int mode = filter == tvfCompleted ? int(smCompletedDesc) : sortMode;
    const TaskPage page = BuildTaskPage(
        table, mode, filter, printing, images,
        PageStyleSheet(DefaultPageColors(), DisplayFontName, DisplayFontSize), Today());
    ShowTaskPage(*viewer, page);
    recsShown = page.FRecsShown;
    completedTasks = page.FCompletedTasks;
}

void TestTaskHost::SetTaskViewFilter(TTaskViewFilter value)
{
    ++filterChanges;
    filter = value;
    LoadTaskView(false);
}
