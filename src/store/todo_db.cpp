#include "store/todo_db.h"

#include "platform/exclusive_file_hold.h"
#include "platform/file_names.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/datapacket_reader.h"
#include "store/datapacket_writer.h"
#include "store/list_file_save.h"
#include "store/task_field_check.h"

#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

namespace {

std::unique_ptr<TdbToDoFile> currentListFile;
qint64 listTaskLimit = MaxPacketRecords;

TdbToDoFile& requireListFile()
{
    if (!currentListFile)
        throw TaskStoreError(QStringLiteral("No to-do list is open."));
    return *currentListFile;
}

// Every changing operation starts here: a list open read-only refuses before anything changes.
TdbToDoFile& requireWritableList()
{
    TdbToDoFile& file = requireListFile();
    if (file.ReadOnly())
        throw TaskStoreError(ReadOnlyListMessage(file.FileName()));
    return file;
}

// Writes the table to the open list. When that fails, the table is put back to what the file
// holds before the error goes on, so that nothing shows a change that is not on disk.
void writeList(TaskTable& table)
{
    TdbToDoFile& file = requireListFile();
    try {
        file.WriteDataSet(table);
    } catch (const TaskStoreError&) {
        const QString order = table.IndexName();
        DataPacketReader::Read(file.ReadDataPacket(), table, file.FileName());
        StripDeadlineTimes(table);
        AddSortIndexes(table);
        table.SetIndexName(order);
        throw;
    }
}

// In use: the message as it always was (and who holds it, when that is known); otherwise the
// system's reason.
[[noreturn]] void cannotOpen(const QString& dbFileName, const ExclusiveFileHold& hold)
{
    if (!hold.heldElsewhere())
        throw TaskStoreError(
            QStringLiteral("%1 can not be opened: %2.").arg(dbFileName, hold.reason()));
    const QString inUse = QStringLiteral("%1 can not be opened. It may be in use by another "
                                         "application or is inaccessible.")
                              .arg(dbFileName);
    if (hold.otherHostHolder().isEmpty())
        throw ListInUseError(inUse);
    throw ListHeldElsewhereError(inUse +
                                 QStringLiteral(" It is held by %1.").arg(hold.otherHostHolder()));
}

// The fields the task edit sets, on the current record; the deadline keeps no time of day.
void setEditedFields(TaskTable& table, const QString& title, const QString& category,
                     double created, double deadline, int priority, const QString& details)
{
    table.SetString(table.FieldIndex(TaskField::Title), title);
    table.SetString(table.FieldIndex(TaskField::Category), category);
    table.SetDateTime(table.FieldIndex(TaskField::Created), created);
    table.SetDateTime(table.FieldIndex(TaskField::CompleteBy), DateOf(deadline));
    table.SetInteger(table.FieldIndex(TaskField::Priority), priority);
    table.SetString(table.FieldIndex(TaskField::Details), details);
}

} // namespace

// --- TdbToDoFile ---------------------------------------------------------------------------

TdbToDoFile::TdbToDoFile(const QString& dbFileName, TOpenAccess access)
    : FFileName(dbFileName), FReadOnly(access == TOpenAccess::ReadOnly),
      FFileStream(std::make_unique<ExclusiveFileHold>())
{
    // A missing list is created whole first, and then opened as any other.
    if (!FReadOnly && !PathExists(dbFileName))
        CreateListFile(dbFileName);
    if (!FFileStream->open(dbFileName, FReadOnly ? ExclusiveFileHold::Mode::ReadShared
                                                 : ExclusiveFileHold::Mode::OpenExisting) ||
        !FFileStream->readAll(FContent))
        cannotOpen(dbFileName, *FFileStream);
    FContent = SettleSideFiles(*FFileStream, FContent,
                               FReadOnly ? SideFileAccess::ReadOnly : SideFileAccess::ReadWrite);
    if (FContent.isEmpty()) {
        FFileStream->close();
        throw TaskStoreError(QStringLiteral("%1 is empty.").arg(dbFileName));
    }
    // Both signatures have the same length; a file must hold more than its signature.
    if (FContent.size() > SignatureSchema2.size()) {
        if (FContent.startsWith(SignatureSchema1))
            FSchemaLevel = 1;
        else if (FContent.startsWith(SignatureSchema2))
            FSchemaLevel = 2;
    }
    if (FSchemaLevel == 0) {
        FFileStream->close();
        throw TaskStoreError(
            QStringLiteral("%1 is not a valid %2 file.").arg(dbFileName, ProductName));
    }
}

TdbToDoFile::~TdbToDoFile() = default;

QString TdbToDoFile::OtherHostHolder() const
{
    return FFileStream->otherHostHolder();
}

QByteArrayView TdbToDoFile::ReadDataPacket() const
{
    const qsizetype length = SignatureSchema2.size();
    return FContent.size() > length ? QByteArrayView(FContent).sliced(length) : QByteArrayView();
}

void TdbToDoFile::WriteDataSet(const TaskTable& dataSet)
{
    if (FReadOnly)
        throw TaskStoreError(ReadOnlyListMessage(FFileName));
    // The new content goes into the buffer of the save before last: a large list then costs no
    // fresh allocation (and no fresh pages) per save.
    FSpare.resize(0);
    FSpare.append(SignatureSchema2);
    DataPacketWriter::Write(dataSet, FSpare);
    if (!FSaver)
        FSaver = std::make_unique<ListFileSaver>(*FFileStream);
    try {
        FSaver->Save(FContent, FSpare);
    } catch (const TaskStoreError&) {
        // When not even the old content could be put back, the side file holds the new content
        // and the next open finishes the save from it: that is the list's content now.
        if (FSaver->pending())
            std::swap(FContent, FSpare);
        throw;
    }
    std::swap(FContent, FSpare);
    FSchemaLevel = 2;
}

// --- the task record -------------------------------------------------------------------------

std::vector<FieldDef> TaskRecordFields()
{
    const auto field = [](const QString& name, FieldKind kind, int size = 0,
                          const QString& subtype = {}) {
        FieldDef def;
        def.name = name;
        def.kind = kind;
        def.size = size;
        def.subtype = subtype;
        return def;
    };
    return {
        field(TaskField::Title, FieldKind::WideString, TaskTitleSize),
        field(TaskField::Category, FieldKind::WideString, TaskCategorySize),
        field(TaskField::Created, FieldKind::DateTime),
        field(TaskField::CompleteBy, FieldKind::DateTime),
        field(TaskField::Priority, FieldKind::Unsigned, 2),
        field(TaskField::Completed, FieldKind::DateTime),
        field(TaskField::Details, FieldKind::WideMemo, 0, QStringLiteral("WideText")),
    };
}

void CreateTaskTable(TaskTable& table)
{
    table.CreateDataSet(TaskRecordFields());
}

void UpgradeTaskTable(TaskTable& oldTable, TaskTable& newTable)
{
    CreateTaskTable(newTable);
    AddSortIndexes(newTable);
    const int title = oldTable.FieldIndex(TaskField::Title);
    const int category = oldTable.FieldIndex(TaskField::Category);
    const int created = oldTable.FieldIndex(TaskField::Created);
    const int completeBy = oldTable.FieldIndex(TaskField::CompleteBy);
    const int priority = oldTable.FieldIndex(TaskField::Priority);
    const int completed = oldTable.FieldIndex(TaskField::Completed);
    const int details = oldTable.FieldIndex(TaskField::Details);
    const int nTitle = newTable.FieldIndex(TaskField::Title);
    const int nCategory = newTable.FieldIndex(TaskField::Category);
    const int nCreated = newTable.FieldIndex(TaskField::Created);
    const int nCompleteBy = newTable.FieldIndex(TaskField::CompleteBy);
    const int nPriority = newTable.FieldIndex(TaskField::Priority);
    const int nCompleted = newTable.FieldIndex(TaskField::Completed);
    const int nDetails = newTable.FieldIndex(TaskField::Details);
    for (oldTable.First(); !oldTable.Eof(); oldTable.Next()) {
        newTable.Append();
        newTable.SetString(nTitle, oldTable.AsString(title));
        newTable.SetString(nCategory, oldTable.AsString(category));
        newTable.SetDateTime(nCreated, oldTable.AsDateTime(created));
        newTable.SetDateTime(nCompleteBy, DateOf(oldTable.AsDateTime(completeBy)));
        newTable.SetInteger(nPriority, oldTable.AsInteger(priority));
        newTable.SetDateTime(nCompleted, oldTable.AsDateTime(completed));
        newTable.SetString(nDetails, oldTable.AsString(details));
    }
}

void StripDeadlineTimes(TaskTable& table)
{
    const int completeBy = table.FieldIndex(TaskField::CompleteBy);
    for (table.First(); !table.Eof(); table.Next()) {
        if (table.IsNull(completeBy))
            continue;
        const double deadline = table.AsDateTime(completeBy);
        if (deadline != DateOf(deadline))
            table.SetDateTime(completeBy, DateOf(deadline));
    }
    table.First();
}

// --- opening and closing ---------------------------------------------------------------------

TdbToDoFile* CurrentListFile()
{
    return currentListFile.get();
}

QString CurrentListFileName()
{
    return currentListFile ? currentListFile->FileName() : QString();
}

bool CurrentListReadOnly()
{
    return currentListFile && currentListFile->ReadOnly();
}

QString ListTooLargeMessage(const QString& dbFileName)
{
    return QStringLiteral("%1 is too large to open.").arg(dbFileName);
}

void SetListTaskLimit(qint64 maxTasks)
{
    listTaskLimit = qBound<qint64>(1, maxTasks, MaxPacketRecords);
}

QString ReadOnlyListMessage(const QString& dbFileName)
{
    return QStringLiteral("%1 is open read-only, so it cannot be changed.").arg(dbFileName);
}

void CloseTaskStore(TaskTable& table)
{
    currentListFile.reset();
    if (table.Active())
        table.Close();
}

void OpenTaskTable(const QString& dbFileName, TaskTable& table, TOpenAccess access)
{
    CloseTaskStore(table);
    try {
        if (access == TOpenAccess::ReadOnly || PathExists(dbFileName)) {
            currentListFile = std::make_unique<TdbToDoFile>(dbFileName, access);
            DataPacketReader::Read(currentListFile->ReadDataPacket(), table, dbFileName,
                                   listTaskLimit);
            CheckTaskFields(table, dbFileName);
            if (currentListFile->SchemaLevel() < 2 && access == TOpenAccess::ReadOnly) {
                // In memory only: the table that rewriting the file would give.
                TaskTable upgraded;
                UpgradeTaskTable(table, upgraded);
                DataPacketReader::Read(DataPacketWriter::Write(upgraded), table, dbFileName,
                                       listTaskLimit);
            } else if (currentListFile->SchemaLevel() < 2) {
                {
                    TaskTable upgraded;
                    UpgradeTaskTable(table, upgraded);
                    currentListFile->WriteDataSet(upgraded);
                }
                currentListFile.reset();
                currentListFile = std::make_unique<TdbToDoFile>(dbFileName);
                DataPacketReader::Read(currentListFile->ReadDataPacket(), table, dbFileName,
                                       listTaskLimit);
            }
            StripDeadlineTimes(table);
        } else {
            // Created whole (CreateListFile), then read as any other list.
            currentListFile = std::make_unique<TdbToDoFile>(dbFileName);
            DataPacketReader::Read(currentListFile->ReadDataPacket(), table, dbFileName);
        }
        AddSortIndexes(table);
    } catch (const std::bad_alloc&) {
        // Whatever the open took is let go of before anything else is tried.
        table.Close();
        currentListFile.reset();
        throw TaskStoreError(ListTooLargeMessage(dbFileName));
    } catch (...) {
        if (table.Active())
            table.Close();
        throw;
    }
    AddRecentFile(dbFileName);
}

// --- table operations ------------------------------------------------------------------------

void FillCategoryList(TaskTable& table, QStringList& list)
{
    const int category = table.FieldIndex(TaskField::Category);
    // Exact repeats are dropped cheaply first; only distinct texts meet the collator.
    QSet<QString> seen;
    QStringList distinct;
    for (table.First(); !table.Eof(); table.Next()) {
        const QString value = table.AsString(category);
        if (!value.isEmpty() && !seen.contains(value)) {
            seen.insert(value);
            distinct.append(value);
        }
    }
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList sorted;
    for (const QString& value : distinct) {
        const auto at = std::lower_bound(
            sorted.begin(), sorted.end(), value,
            [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        if (at != sorted.end() && collator.compare(*at, value) == 0)
            continue; // a case variant met earlier is kept
        sorted.insert(at, value);
    }
    list = sorted;
}

namespace {

// A list with more tasks than the limit would not open again, so it takes no more.
void requireRoomFor(const TaskTable& table, const TdbToDoFile& file, qint64 added)
{
    if (table.RecordCount() + added <= listTaskLimit)
        return;
    if (added == 1)
        throw TaskStoreError(QStringLiteral("%1 holds %2 tasks, the most a list can hold here; "
                                            "delete some before you add more.")
                                 .arg(file.FileName())
                                 .arg(listTaskLimit));
    throw TaskStoreError(QStringLiteral("%1 can hold %2 tasks here and holds %3; %4 more would "
                                        "be too many.")
                             .arg(file.FileName())
                             .arg(listTaskLimit)
                             .arg(table.RecordCount())
                             .arg(added));
}

} // namespace

void AppendTask(TaskTable& table, const QString& title, const QString& category, double created,
                double deadline, int priority, const QString& details)
{
    requireRoomFor(table, requireWritableList(), 1);
    table.Append();
    setEditedFields(table, title, category, created, deadline, priority, details);
    table.SetDateTime(table.FieldIndex(TaskField::Completed), NullDate);
    writeList(table);
}

void AppendTasks(TaskTable& table, const std::vector<TaskEntry>& tasks)
{
    requireRoomFor(table, requireListFile(), static_cast<qint64>(tasks.size()));
    const int completed = table.FieldIndex(TaskField::Completed);
    for (const TaskEntry& t : tasks) {
        table.Append();
        setEditedFields(table, t.title, t.category, t.created, t.deadline, t.priority, t.details);
        table.SetDateTime(completed, t.completed);
    }
    writeList(table);
}

void UpdateTask(TaskTable& table, int recIndex, const QString& title, const QString& category,
                double created, double deadline, int priority, const QString& details)
{
    requireWritableList();
    table.SetRecNo(recIndex);
    setEditedFields(table, title, category, created, deadline, priority, details);
    writeList(table);
}

void MarkTaskCompleted(TaskTable& table, int recIndex)
{
    requireWritableList();
    table.SetRecNo(recIndex);
    table.SetDateTime(table.FieldIndex(TaskField::Completed), Now());
    writeList(table);
}

void MarkTaskUncompleted(TaskTable& table, int recIndex)
{
    requireWritableList();
    table.SetRecNo(recIndex);
    table.SetDateTime(table.FieldIndex(TaskField::Completed), NullDate);
    writeList(table);
}

void AppendTaskAgain(TaskTable& table, int recIndex, double deadline)
{
    requireWritableList();
    table.SetRecNo(recIndex);
    const double now = Now();
    const int priority = int(table.AsInteger(TaskField::Priority));
    const QString details = table.AsString(TaskField::Details);
    const QString category = table.AsString(TaskField::Category);
    const QString title = table.AsString(TaskField::Title);
    AppendTask(table, title, category, now, deadline, priority, details);
}

void DeleteTask(TaskTable& table, int recIndex)
{
    requireWritableList();
    table.SetRecNo(recIndex);
    table.Delete();
    writeList(table);
}

void DeleteCompletedBefore(TaskTable& table, double limit)
{
    requireWritableList();
    const int completed = table.FieldIndex(TaskField::Completed);
    table.First();
    while (!table.Eof()) {
        const double value = table.AsDateTime(completed);
        if (value != NullDate && value < limit)
            table.Delete();
        else
            table.Next();
    }
    writeList(table);
}
