#pragma once
// The open list file and the operations every change of the task table goes through. Each
// operation that changes records writes the whole table back to the list file before it returns.

#include "store/task_table.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>

class ExclusiveFileHold;
class ListFileSaver;

// How a list is opened: to be changed (held exclusively; a missing file is created), or only to
// be read (held shared with other readers; nothing is written, created or upgraded on disk).
enum class TOpenAccess { ReadWrite, ReadOnly };

// The open for changing failed because a process on another computer holds the list; it can
// still be opened read-only.
class ListHeldElsewhereError : public TaskStoreError {
public:
    using TaskStoreError::TaskStoreError;
};

// The open failed because another process of this computer holds the list (the window, another
// qmtd), which may take commands for it.
class ListInUseError : public TaskStoreError {
public:
    using TaskStoreError::TaskStoreError;
};

// The open list file, held from opening until it is destroyed.
class TdbToDoFile {
public:
    // Opens the list file, creating a missing one (CreateListFile) unless read-only, and settles
    // the side files of an interrupted save (see SettleSideFiles); raises TaskStoreError with the
    // user's message on failure.
    explicit TdbToDoFile(const QString& dbFileName, TOpenAccess access = TOpenAccess::ReadWrite);
    ~TdbToDoFile();
    TdbToDoFile(const TdbToDoFile&) = delete;
    TdbToDoFile& operator=(const TdbToDoFile&) = delete;

    const QString& FileName() const { return FFileName; }
    int SchemaLevel() const { return FSchemaLevel; }
    bool ReadOnly() const { return FReadOnly; }
    // A read-only open of a list that a process on another computer holds: who that is.
    QString OtherHostHolder() const;

    // The datapacket that follows the signature, as the file holds it now; valid until the next
    // write.
    QByteArrayView ReadDataPacket() const;
    // Replaces the file's content with the schema-2 signature and the table. A save that fails
    // or is interrupted leaves the previous content readable (see list_file_save.h).
    void WriteDataSet(const TaskTable& dataSet);

private:
    QString FFileName;
    int FSchemaLevel = 0;
    bool FReadOnly = false;
    std::unique_ptr<ExclusiveFileHold> FFileStream;
    std::unique_ptr<ListFileSaver> FSaver; // created by the first save, gone before the file
    // The file's content as on disk: the previous content a failed save puts back.
    QByteArray FContent;
    QByteArray FSpare;
};

// The longest title and category the task record holds, in characters.
constexpr int TaskTitleSize = 200;
constexpr int TaskCategorySize = 50;

enum class NewListMode {
    OpenIfTaken,  // a file that has the name by now is left as it is, for opening
    ReplaceEmpty, // an empty file at the name is replaced; any other raises "<file> already
                  // exists."
};
// Puts a new, empty list file under `dbFileName`, whole or not at all: a list that is killed
// half-way leaves no file. Side files left from an earlier list of that name are set aside.
// Raises the can-not-be-created error when the folder refuses it.
void CreateListFile(const QString& dbFileName, NewListMode mode = NewListMode::OpenIfTaken);

// The task record's field set, as a new list gets it.
std::vector<FieldDef> TaskRecordFields();
// Makes `table` an empty, active table of the task record's fields; its order definitions stay.
void CreateTaskTable(TaskTable& table);
// Copies an old table field by field into `newTable` (created afresh, with the six orders),
// deadlines cut to their whole day and null dates stored as 0.
void UpgradeTaskTable(TaskTable& oldTable, TaskTable& newTable);
// Cuts the time of day off every deadline in memory; the next write stores the result.
void StripDeadlineTimes(TaskTable& table);

// The list file currently open, or nullptr.
TdbToDoFile* CurrentListFile();

// Closes the open list and opens (or creates) the named one into `table`; records it with
// AddRecentFile on success. A read-only open of an old list upgrades it in memory only. Every
// operation below raises TaskStoreError for a record index outside 1..RecordCount(), and for a
// list open read-only, before anything changes.
void OpenTaskTable(const QString& dbFileName, TaskTable& table,
                   TOpenAccess access = TOpenAccess::ReadWrite);
// Closes the open list file (end of the program).
void CloseTaskStore(TaskTable& table);
QString CurrentListFileName();
bool CurrentListReadOnly();
// The message for a change of a list that is open read-only.
QString ReadOnlyListMessage(const QString& dbFileName);
// The message for a list that needs more memory than there is, or more tasks than the limit.
QString ListTooLargeMessage(const QString& dbFileName);
// The most tasks a list may have to be opened, and to be added to (at most MaxPacketRecords, the
// default). The window sets fewer: it cannot show more in reasonable time and memory.
void SetListTaskLimit(qint64 maxTasks);

void FillCategoryList(TaskTable& table, QStringList& list);
void AppendTask(TaskTable& table, const QString& title, const QString& category, double created,
                double deadline, int priority, const QString& details);
// All seven fields of one task, for appending tasks that come from elsewhere whole.
struct TaskEntry {
    QString title;
    QString category;
    double created = 0;
    double deadline = 0; // NullDate for none
    int priority = 1;
    double completed = 0; // NullDate while not completed
    QString details;
};
// Appends the tasks (deadlines cut to their whole day) and writes the list file once: one change
// of the list, however many tasks.
void AppendTasks(TaskTable& table, const std::vector<TaskEntry>& tasks);
void UpdateTask(TaskTable& table, int recIndex, const QString& title, const QString& category,
                double created, double deadline, int priority, const QString& details);
void MarkTaskCompleted(TaskTable& table, int recIndex);
void MarkTaskUncompleted(TaskTable& table, int recIndex);
void AppendTaskAgain(TaskTable& table, int recIndex, double deadline);
void DeleteTask(TaskTable& table, int recIndex);
void DeleteCompletedBefore(TaskTable& table, double limit);
