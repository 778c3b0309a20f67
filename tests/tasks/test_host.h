#pragma once
// A small window for the task operations: a task table, the real HTML view and the real page
// builder, with counters for what the operations ask of the window.

#include "htmlview/html_view.h"
#include "store/task_table.h"
#include "tasks/task_host.h"
#include "view/action_links.h"

#include <QStringList>
#include <QWidget>

void ensureTestApp();

class TestTaskHost : public QWidget, public TaskHost {
public:
    TestTaskHost();
    ~TestTaskHost() override;

    QWidget* hostWindow() override { return this; }
    TaskTable& taskTable() override { return table; }
    HtmlView& taskViewer() override { return *viewer; }
    void LoadTaskView(bool printing) override;
    TTaskViewFilter TaskViewFilter() const override { return filter; }
    void SetTaskViewFilter(TTaskViewFilter value) override;
    void ActionNewListExecute() override { ++newListRuns; }
    void ShowStatusHint(const QString& text) override { status = text; }

    TaskTable table;
    HtmlView* viewer;
    TTaskViewFilter filter = tvfUncompleted;
    int sortMode = 2; // the user's order for the uncompleted view
    ActionImagePaths images;

    int loads = 0;
    int filterChanges = 0;
    int newListRuns = 0;
    int recsShown = 0;
    int completedTasks = 0;
    QString status;
};
