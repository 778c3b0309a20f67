#pragma once
// A task as a source file gives it, with what an import reports about the rest of the file.

#include "store/todo_db.h"

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

// A source that cannot be read or a file that cannot be written; the message is for the user.
class ExchangeError : public std::runtime_error {
public:
    explicit ExchangeError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};

struct SourceTask {
    TaskEntry task;
    QString uid; // the source's own identifier (iCalendar's UID); empty where it has none
};

struct SourceTasks {
    std::vector<SourceTask> tasks;
    // An item of the source that is not imported, and why (grouped by the text in the report).
    QStringList skipped;
    // Changes the import had to make: texts cut to the list's limits, for one.
    QStringList notes;
};

// "NAME line N: what" for the error of a source.
ExchangeError SourceError(const QString& sourceName, int line, const QString& what);

// The title and category as the list can hold them: on one line, cut to the record's sizes;
// `notes` says when anything was cut.
void FitTexts(TaskEntry& task, QStringList& notes);
