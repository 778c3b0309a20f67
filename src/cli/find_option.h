#pragma once
// The --find option of qmtd's page and dump: the query language of the window's filter bar.

#include "view/task_query.h"

class CliArgs;
class TaskTable;

// The query --find gives (the empty query when the option is absent), or a usage error that
// says what is wrong with it.
TaskQuery FindQuery(const CliArgs& args);

// What a query looks at in the table's current record; a field the table lacks reads as empty,
// no date or normal priority.
TaskValues QueryValues(const TaskTable& table);
