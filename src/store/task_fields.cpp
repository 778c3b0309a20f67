#include "store/task_fields.h"

#include "store/task_table.h"

TaskFieldIndexes::TaskFieldIndexes(const TaskTable& table)
    : title(table.FieldIndex(TaskField::Title)), category(table.FieldIndex(TaskField::Category)),
      created(table.FieldIndex(TaskField::Created)),
      completeBy(table.FieldIndex(TaskField::CompleteBy)),
      priority(table.FieldIndex(TaskField::Priority)),
      completed(table.FieldIndex(TaskField::Completed)),
      details(table.FieldIndex(TaskField::Details))
{
}
