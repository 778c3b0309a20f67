#pragma once
// The identifier of a task outside the list: the list keeps none, so it is derived from what the
// task holds, its creation time (to the second, as iCalendar carries it) and its title. Exporting
// the same list twice gives the same identifiers, and a task that comes back keeps its own.

#include <QString>
#include <vector>

class TaskTable;

// The UUID (version 5) of a creation time and title, as text without braces. `occurrence` tells
// apart tasks that share both: the first is 1.
QString TaskUid(double created, const QString& title, int occurrence = 1);

// The identifiers of the table's tasks in insertion order, each told apart from earlier tasks
// that share its creation second and title. The table keeps its own order.
std::vector<QString> TaskUids(TaskTable& table);
