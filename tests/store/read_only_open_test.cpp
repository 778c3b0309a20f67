// Opening a list only to read it: a shared hold, nothing written, created or upgraded on disk,
// and every change refused before the table changes.

#include "platform/exclusive_file_hold.h"
#include "store/datapacket_writer.h"
#include "store/list_file_save.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

class ReadOnlyOpenTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    void TearDown() override { CloseTaskStore(FTable); }
    QString path(const QString& name) const { return FDir.filePath(name); }
    QStringList folder() const
    {
        return QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    }

    QTemporaryDir FDir;
    TaskTable FTable;
};

} // namespace

TEST_F(ReadOnlyOpenTest, AnOldListIsUpgradedInMemoryOnly)
{
    const QString p = path("old.qmtd");
    const QString copy = path("copy.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), p));
    ASSERT_TRUE(QFile::copy(p, copy));
    // A read-write open rewrites the copy; its table is what the read-only open must give.
    TaskTable written;
    OpenTaskTable(copy, written);
    const QByteArray before = ReadFileBytes(p);
    const QStringList entries = folder();

    OpenTaskTable(p, FTable, TOpenAccess::ReadOnly);
    EXPECT_TRUE(CurrentListReadOnly());
    EXPECT_EQ(CurrentListFile()->SchemaLevel(), 1); // as the file says
    EXPECT_EQ(DataPacketWriter::Write(FTable), DataPacketWriter::Write(written));
    EXPECT_EQ(FTable.RecordCount(), 3);
    CloseTaskStore(FTable);
    EXPECT_EQ(ReadFileBytes(p), before);
    EXPECT_EQ(folder(), entries);
}

TEST_F(ReadOnlyOpenTest, EveryChangeIsRefusedBeforeTheTableChanges)
{
    const QString p = path("list.qmtd");
    ASSERT_TRUE(WriteFileBytes(p, ListFileOf({{"a", "", 1.0, NullDate, 1, NullDate, ""},
                                              {"b", "", 2.0, NullDate, 1, 3.0, ""}})));
    const QByteArray before = ReadFileBytes(p);
    OpenTaskTable(p, FTable, TOpenAccess::ReadOnly);
    const QByteArray table = DataPacketWriter::Write(FTable);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"append", [&] { AppendTask(FTable, "t", "", 1.0, NullDate, 1, ""); }},
        {"update", [&] { UpdateTask(FTable, 1, "t", "", 1.0, NullDate, 1, ""); }},
        {"complete", [&] { MarkTaskCompleted(FTable, 1); }},
        {"uncomplete", [&] { MarkTaskUncompleted(FTable, 2); }},
        {"again", [&] { AppendTaskAgain(FTable, 1, NullDate); }},
        {"delete", [&] { DeleteTask(FTable, 1); }},
        {"purge", [&] { DeleteCompletedBefore(FTable, NullDate); }},
        {"write", [&] { CurrentListFile()->WriteDataSet(FTable); }},
    };
    for (const auto& [what, change] : changes) {
        try {
            change();
            ADD_FAILURE() << what << " went through";
        } catch (const TaskStoreError& e) {
            EXPECT_EQ(e.message(), p + " is open read-only, so it cannot be changed.") << what;
        }
        EXPECT_EQ(DataPacketWriter::Write(FTable), table) << what;
    }
    EXPECT_EQ(ReadFileBytes(p), before);
    EXPECT_FALSE(QFile::exists(SideFileName(p)));
}

TEST_F(ReadOnlyOpenTest, ReadersShareTheListAndKeepWritersOut)
{
    const QString p = path("list.qmtd");
    ASSERT_TRUE(WriteFileBytes(p, ListFileOf({{"a", "", 1.0, NullDate, 1, NullDate, ""}})));
    OpenTaskTable(p, FTable, TOpenAccess::ReadOnly);
    const QString inUse =
        p + " can not be opened. It may be in use by another application or is inaccessible.";
    {
        TdbToDoFile secondReader(p, TOpenAccess::ReadOnly);
        EXPECT_EQ(secondReader.ReadDataPacket().size(), ReadFileBytes(p).size() - 58);
    }
    try {
        TdbToDoFile writer(p);
        ADD_FAILURE() << "a writer got a list being read";
    } catch (const TaskStoreError& e) {
        EXPECT_EQ(e.message(), inUse);
    }
    CloseTaskStore(FTable);

    ExclusiveFileHold writer;
    ASSERT_TRUE(writer.open(p, ExclusiveFileHold::Mode::OpenExisting));
    try {
        OpenTaskTable(p, FTable, TOpenAccess::ReadOnly);
        ADD_FAILURE() << "a reader got a list being written";
    } catch (const TaskStoreError& e) {
        EXPECT_EQ(e.message(), inUse);
    }
}

TEST_F(ReadOnlyOpenTest, OpenFailuresKeepTheSystemsReason)
{
    const QString missing = path("missing.qmtd");
    struct Case {
        const char* what;
        QString file;
        TOpenAccess access;
        QString message;
    };
    const Case cases[] = {
        {"a folder", FDir.path(), TOpenAccess::ReadWrite,
         FDir.path() + " can not be opened: it is a folder."},
        {"a folder, read-only", FDir.path(), TOpenAccess::ReadOnly,
         FDir.path() + " can not be opened: it is a folder."},
        {"missing, read-only", missing, TOpenAccess::ReadOnly,
         missing + " can not be opened: it does not exist."},
    };
    for (const Case& c : cases) {
        try {
            OpenTaskTable(c.file, FTable, c.access);
            ADD_FAILURE() << c.what << " opened";
        } catch (const TaskStoreError& e) {
            EXPECT_EQ(e.message(), c.message) << c.what;
        }
        EXPECT_FALSE(FTable.Active()) << c.what;
        EXPECT_FALSE(QFile::exists(missing)) << c.what;
    }
}
