#pragma once
// Where a table keeps the task record's seven fields, looked up once for a walk over many records.

class TaskTable;

struct TaskFieldIndexes {
    // Raises the error naming the first of the seven fields the table lacks.
    explicit TaskFieldIndexes(const TaskTable& table);
    int title, category, created, completeBy, priority, completed, details;
};
