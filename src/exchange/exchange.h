#pragma once
// Tasks out of a list and into one, as iCalendar (RFC 5545), CSV (RFC 4180) or todo.txt. The
// window's File menu and qmtd's export and import run this same code.
//
// An export covers every task of the list, completed or not, in the order they were added. An
// import reads the whole source first and refuses a malformed one with a one-line error that
// names the line; only then does it change the list, in one change saved once.

#include "exchange/exchange_task.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class TaskTable;

enum class ExchangeFormat { ICalendar, Csv, TodoTxt };

// "ics", "csv" or "todotxt".
QString ExchangeFormatName(ExchangeFormat format);
std::optional<ExchangeFormat> ExchangeFormatFromName(const QString& name);
// The format a file name's extension suggests: .ics (or .ical, .ifb, .icalendar), .csv, .txt.
std::optional<ExchangeFormat> ExchangeFormatFromFileName(const QString& fileName);
// The format `name` gives, or else the one `fileName` suggests; raises ExchangeError naming the
// formats when neither says.
ExchangeFormat ChooseExchangeFormat(const QString& name, const QString& fileName);

struct ExportResult {
    QByteArray data;
    int tasks = 0;
    // What the format could not take, said to the person exporting.
    QStringList notes;
};

// Every task of the table, in insertion order. The table keeps its own order.
ExportResult ExportTasks(TaskTable& table, ExchangeFormat format);
// Writes the export to `fileName` whole or not at all.
ExportResult ExportTasksToFile(TaskTable& table, ExchangeFormat format, const QString& fileName);

// Reads a source in the format. Raises ExchangeError "NAME line N: why" for a malformed one.
SourceTasks ReadSource(const QByteArray& data, ExchangeFormat format, const QString& sourceName);
SourceTasks ReadSourceFile(const QString& fileName, ExchangeFormat format);

struct ImportReport {
    int imported = 0;
    // Why items were not imported ("one|many" forms, or one text for both), and how many for
    // each reason, in the order first met.
    std::vector<std::pair<QString, int>> skipped;
    QStringList notes;
    // "Imported 3 tasks from cal.ics; skipped 2: 1 event (VEVENT), 1 already in the list."
    QString Summary(const QString& sourceName) const;
};

// Appends the source's tasks that the list does not hold yet (the same UID, or the same creation
// time to the second and title) with AppendTasks, so the list is saved once; when every task is
// skipped the list is not changed at all.
ImportReport ImportTasks(TaskTable& table, const SourceTasks& source);
