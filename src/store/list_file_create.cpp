// Creating a list file: whole or not at all, so that no crash leaves an empty or half-written
// list under the name.

#include "platform/exclusive_file_hold.h"
#include "platform/safe_files.h"
#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/list_file_save.h"
#include "store/todo_db.h"

namespace {

TaskStoreError cannotCreate(const QString& dbFileName)
{
    return TaskStoreError(QStringLiteral("%1 can not be created. You may not have the correct "
                                         "access level to create files in this location.")
                              .arg(dbFileName));
}

} // namespace

void CreateListFile(const QString& dbFileName, NewListMode mode)
{
    // A symbolic link at the name is followed to its target, as opening a file for writing would.
    const QString target = FinalLinkTarget(dbFileName);
    SettleSideFilesOfNewList(target);
    TaskTable empty;
    CreateTaskTable(empty);
    QByteArray content = SignatureSchema2;
    DataPacketWriter::Write(empty, content);

    bool taken = false;
    if (PublishFile(target, content, PublishMode::KeepExisting, nullptr, &taken))
        return;
    if (!taken)
        throw cannotCreate(dbFileName);
    if (mode == NewListMode::OpenIfTaken)
        return; // made by someone else meanwhile: it is opened as it is
    // Only an empty file may be replaced. The hold keeps every other instance from writing it
    // while it is looked at and replaced.
    ExclusiveFileHold hold;
    if (!hold.open(target, ExclusiveFileHold::Mode::OpenExisting))
        throw TaskStoreError(QStringLiteral("%1 can not be opened. It may be in use by another "
                                            "application or is inaccessible.")
                                 .arg(dbFileName));
    if (hold.size() != 0)
        throw TaskStoreError(QStringLiteral("%1 already exists.").arg(dbFileName));
#ifdef Q_OS_WIN
    hold.close(); // a file held without sharing cannot be replaced
#endif
    if (!PublishFile(target, content, PublishMode::ReplaceExisting))
        throw cannotCreate(dbFileName);
}
