#pragma once
// The task list page: the whole HTML text built from the task table in the effective order,
// showing the tasks that the view filter lets through.

#include "shared/todo_global.h"
#include "view/action_links.h"

#include <QString>
#include <functional>
#include <vector>

class TaskQuery;
class TaskTable;

// Where one shown task sits on the page.
struct TaskPageRow {
    int recIndex = 0;     // the record index its links carry
    quint64 recordId = 0; // TaskTable::RecordId: the same task after any change of the table
    int firstRow = 0;     // its task row among the rows of the page's table (0-based); the
                          // details row follows it
};

struct TaskPage {
    QString text;                  // every line followed by CR LF; empty when no list is open
    int FRecsShown = 0;            // tasks on the page
    int FCompletedTasks = 0;       // completed tasks in the whole list, whatever the filter
    int tabTasks = 0;              // tasks of the view (uncompleted or completed), before any query
    int matched = 0;               // of those, the tasks the query matched (all without a query)
    std::vector<TaskPageRow> rows; // the shown tasks in page order
};

// What a query asks of the page: only the tasks it matches, with the words it matched marked.
// Tasks created at or after `keepCreatedFrom` stay on the page even when they do not match, so
// that a task just added does not vanish. With no query, or an empty one, the page is exactly
// the unfiltered one; the caller's style sheet should then end in MatchMarkStyle.
struct PageQuery {
    const TaskQuery* query = nullptr;
    double keepCreatedFrom = NullDate;
};

// The order a stored sort mode selects: only its low 7 bits count, and a value outside the
// enumeration falls back to the default order rather than making every page fail.
TSortMode EffectiveSortMode(int sortMode);

// Builds the page. Selects the table order of the sort mode and moves the cursor. `today` is a
// whole day; deadlines before the day after it are marked as due. Raises ViewError "Unknown
// priority level: %d" when grouping by priority meets a priority other than 0, 1 or 2.
TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today);
// The same page narrowed by a query; the message row "No tasks match “<query>”." stands in for
// the tasks when the view has some but none matches. The text is built in `buffer`, whose
// contents are dropped: handing back the last page's text, when nothing else holds it, spares
// allocating and touching tens of megabytes afresh for a long list.
TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today,
                       const PageQuery& query, QString buffer = QString());
// Where a page goes while it is built, piece by piece, in order: a page too large to hold whole
// in memory (qmtd page writes it out as it goes). The returned page's text is then empty.
using PageWriter = std::function<void(const QString& piece)>;
TaskPage BuildTaskPage(TaskTable& table, int sortMode, TTaskViewFilter filter, bool printing,
                       const ActionImagePaths& images, const QString& styleSheet, double today,
                       const PageQuery& query, const PageWriter& write);
