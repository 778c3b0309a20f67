#pragma once
// The task list page: the whole HTML text built from the task table in the effective order,
// showing the tasks that the view filter lets through.

#include "shared/todo_global.h"
#include "view/action_links.h"

#include <QString>

class TaskTable;

struct TaskPage {
    QString text;            // every line followed by CR LF; empty when no list is open
    int FRecsShown = 0;      // tasks on the page
    int FCompletedTasks = 0; // completed tasks in the whole list, whatever the filter
};

// The order a stored sort mode selects: only its low 7 bits count, and a value outside the
// enumeration falls back to the default order rather than making every page fail.
TSortMode EffectiveSortMode(int sortMode);

// Builds the page. Selects the table order of the sort mode and moves the cursor. `today` is a
// whole day; deadlines before the day after it are marked as due. Raises ViewError "Unknown
// priority level: %d" when grouping by priority meets a priority other than 0, 1 or 2.
TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today);
