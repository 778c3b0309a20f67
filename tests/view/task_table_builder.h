#pragma once
// Builds in-memory task tables for page tests, without any list file.

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/task_table.h"
#include "store/todo_db.h"

#include <QDate>
#include <QDateTime>
#include <initializer_list>
#include <vector>

struct TaskSpec {
    QString title;
    QString category;
    double created = 0;
    double deadline = NullDate;
    int priority = 1;
    double completed = NullDate;
    QString details;
};

inline void FillTaskTable(TaskTable& table, const std::vector<TaskSpec>& tasks)
{
    table.CreateDataSet(TaskRecordFields());
    AddSortIndexes(table);
    for (const TaskSpec& t : tasks) {
        table.Append();
        table.SetString(0, t.title);
        table.SetString(1, t.category);
        table.SetDateTime(2, t.created);
        table.SetDateTime(3, t.deadline);
        table.SetInteger(4, t.priority);
        table.SetDateTime(5, t.completed);
        table.SetString(6, t.details);
    }
}

inline double Day(int year, int month, int day)
{
    return EncodeDateTime(QDate(year, month, day));
}

inline double At(int year, int month, int day, int hour, int minute)
{
    return EncodeDateTime(QDate(year, month, day), QTime(hour, minute));
}
