#pragma once
// What the task operations need of the window that shows the list. The main window implements
// it; tests use a small host of their own.

#include "shared/todo_global.h"

#include <QString>

class QWidget;
class TaskTable;
class HtmlView;

class TaskHost {
public:
    virtual ~TaskHost() = default;

    virtual QWidget* hostWindow() = 0;
    virtual TaskTable& taskTable() = 0;
    virtual HtmlView& taskViewer() = 0;

    // Rebuilds the page from the table (Printing false: with its action buttons).
    virtual void LoadTaskView(bool printing) = 0;
    virtual TTaskViewFilter TaskViewFilter() const = 0;
    virtual void SetTaskViewFilter(TTaskViewFilter value) = 0;

    // The create-list link of the greeting page runs the "New ToDo List..." command.
    virtual void ActionNewListExecute() = 0;
    // Text for the status bar; empty clears it.
    virtual void ShowStatusHint(const QString& text) = 0;
};
