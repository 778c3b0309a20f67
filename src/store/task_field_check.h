#pragma once
// The task record's fields in a table read from a file. A file from elsewhere may keep them in
// other kinds than the program writes (a date as text, a priority as a float); reading converts
// between kinds, and a value that does not convert would fail whoever reads it, at whatever
// moment. So every such value is tried once, when the file is read: a file whose task fields do
// not all read as the program reads them is refused as damaged, and later reads cannot fail.

#include "store/task_table.h"

// Raises TaskStoreError "<source> is damaged and cannot be read: <reason>." when a task field is
// missing or a value of one does not read as text, date-time or whole number as the program
// reads it. The task record's own kinds always read; only other kinds cost a pass over the rows.
void CheckTaskFields(const TaskTable& table, const QString& sourceName);
