#pragma once
// The readers and writers of the exchange formats, and the date conversions they share.

#include "exchange/exchange_task.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <optional>

class TaskTable;

// Puts a table into insertion order for a walk, and back into its own order afterwards: the
// record indexes of a page already shown keep designating the same tasks.
class InsertionOrderWalk {
public:
    explicit InsertionOrderWalk(TaskTable& table);
    ~InsertionOrderWalk();
    InsertionOrderWalk(const InsertionOrderWalk&) = delete;
    InsertionOrderWalk& operator=(const InsertionOrderWalk&) = delete;

private:
    TaskTable& FTable;
    QString FOrder;
};

// Writers: the tasks as the format's text. `uids` goes with `tasks`, one for each.
QByteArray WriteICalendar(const std::vector<TaskEntry>& tasks, const std::vector<QString>& uids);
QByteArray WriteCsv(const std::vector<TaskEntry>& tasks);
QByteArray WriteTodoTxt(const std::vector<TaskEntry>& tasks);

// Readers: raise ExchangeError naming the line for a malformed source.
SourceTasks ReadICalendar(const QByteArray& data, const QString& sourceName);
SourceTasks ReadCsv(const QByteArray& data, const QString& sourceName);
SourceTasks ReadTodoTxt(const QByteArray& data, const QString& sourceName);

// A stored date-time as the local wall-clock time it is, and back.
QDateTime LocalDateTime(double value);
double StoredDateTime(const QDateTime& dateTime); // converted to local time first
// "YYYY-MM-DD" as a date, or nothing.
std::optional<QDate> ParseIsoDate(const QString& text);
// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.sss]]" (or with T between) as a stored date-time.
std::optional<double> ParseIsoDateTime(const QString& text);
// The text of a source as UTF-8, without a byte order mark.
QString SourceText(const QByteArray& data);
