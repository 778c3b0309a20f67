#include "packet_builder.h"
#include "platform/exclusive_file_hold.h"
#include "store/datapacket_reader.h"
#include "store/list_file_save.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TodoDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        SetClock([] { return QDateTime(QDate(2024, 3, 20), QTime(10, 15, 30, 125)); });
    }
    void TearDown() override
    {
        CloseTaskStore(FTable);
        SetClock({});
    }
    QString path(const QString& name) const { return FDir.filePath(name); }
    QString listWith(const std::vector<TaskRow>& rows, const QString& name = "list.qmtd")
    {
        const QString p = path(name);
        EXPECT_TRUE(WriteFileBytes(p, ListFileOf(rows)));
        return p;
    }
    // The tasks as a fresh reader finds them on disk, in insertion order.
    std::vector<TaskRow> onDisk(const QString& p)
    {
        const QByteArray bytes = ReadFileBytes(p);
        EXPECT_TRUE(bytes.startsWith(SignatureSchema2));
        TaskTable t;
        DataPacketReader::Read(bytes.mid(SignatureSchema2.size()), t);
        std::vector<TaskRow> rows;
        for (int r = 0; r < t.RecordCount(); ++r) {
            const auto real = [&](int j) {
                return t.RawValue(r, j).isNull() ? -1.0 : t.RawValue(r, j).real();
            };
            rows.push_back({t.RawValue(r, 0).text(), t.RawValue(r, 1).text(), real(2), real(3),
                            int(t.RawValue(r, 4).integer()), real(5),
                            t.RawValue(r, 6).isNull() ? QString() : t.RawValue(r, 6).text()});
        }
        return rows;
    }
    QString openError(const QString& p)
    {
        try {
            OpenTaskTable(p, FTable);
        } catch (const TaskStoreError& e) {
            EXPECT_FALSE(FTable.Active());
            return e.message();
        }
        return "<opened>";
    }

    QTemporaryDir FDir;
    TaskTable FTable;
    const double FNow = At(2024, 3, 20, 10, 15, 30, 125);
};

} // namespace

TEST_F(TodoDbTest, OpeningAMissingFileCreatesAnEmptyList)
{
    const QString p = path("new.qmtd");
    OpenTaskTable(p, FTable);
    EXPECT_TRUE(FTable.Active());
    EXPECT_EQ(FTable.RecordCount(), 0);
    EXPECT_EQ(FTable.Fields().size(), 7u);
    EXPECT_EQ(ReadFileBytes(p), ListFileOf({}));
    EXPECT_EQ(ReadFileBytes(p).size(), 58 + 196);
    EXPECT_EQ(CurrentListFileName(), p);
    EXPECT_EQ(CurrentListFile()->SchemaLevel(), 2);
    EXPECT_EQ(RecentFiles.value(0), p);
    EXPECT_EQ(LastOpenFileName, p);
    for (int mode = 0; mode < SortModeCount; ++mode)
        EXPECT_TRUE(FTable.HasIndex(SortModeName(mode))) << mode;
    CloseTaskStore(FTable);
    EXPECT_FALSE(QFileInfo::exists(SideFileName(p)));
}

TEST_F(TodoDbTest, OpenFailures)
{
    const QString held = listWith({}, "held.qmtd");
    ExclusiveFileHold other;
    ASSERT_TRUE(other.open(held, ExclusiveFileHold::Mode::OpenExisting));

    const QByteArray otherUrl =
        QByteArray(SignatureSchema2).replace("quillmark.org", "quillmark.com") + PacketOf({});
    struct Case {
        const char* what;
        QString file;
        QByteArray content; // written first unless empty
        QString message;
        bool listStaysOpen;
    };
    const QString p = path("bad.qmtd");
    const Case cases[] = {
        {"held by another holder",
         held,
         {},
         held + " can not be opened. It may be in use by another application or is inaccessible.",
         false},
        {"folder missing",
         path("missing/x.qmtd"),
         {},
         path("missing/x.qmtd") + " can not be created. You may not have the correct access level "
                                  "to create files in this location.",
         false},
        {"only the signature", p, SignatureSchema2, p + " is not a valid Quillmark file.", false},
        {"schema-1 signature only", p, SignatureSchema1, p + " is not a valid Quillmark file.",
         false},
        {"shorter than a signature", p, "Quillmark", p + " is not a valid Quillmark file.", false},
        {"another web address", p, otherUrl, p + " is not a valid Quillmark file.", false},
        {"lower-case signature", p, SignatureSchema2.toLower() + PacketOf({}),
         p + " is not a valid Quillmark file.", false},
        {"reader mismatch", p, SignatureSchema2 + Hex("00 00 00 00") + PacketOf({}).mid(4),
         "Mismatch in datapacket.", true},
        {"cut packet", p, ListFileOf({{"a", "b", 1, 2, 1, NullDate, "c"}}).chopped(3),
         p + " is damaged and cannot be read: the data ends inside a row.", true},
    };
    for (const Case& c : cases) {
        if (!c.content.isEmpty()) {
            ASSERT_TRUE(WriteFileBytes(c.file, c.content));
        }
        EXPECT_EQ(openError(c.file), c.message) << c.what;
        EXPECT_FALSE(FTable.Active()) << c.what;
        // A packet that cannot be read leaves the list file open and held.
        EXPECT_EQ(CurrentListFile() != nullptr, c.listStaysOpen) << c.what;
        if (c.listStaysOpen) {
            ExclusiveFileHold probe;
            EXPECT_FALSE(probe.open(c.file, ExclusiveFileHold::Mode::OpenExisting)) << c.what;
        }
        if (!c.content.isEmpty()) {
            EXPECT_EQ(ReadFileBytes(c.file), c.content) << c.what << ": file changed";
        }
        CloseTaskStore(FTable);
    }
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(TodoDbTest, DamagedFixtureNamesTheFile)
{
    const QString p = path("damaged.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/damaged.qmtd"), p));
    const QString message = openError(p);
    EXPECT_TRUE(message.startsWith(p + " is damaged")) << message.toStdString();
}

TEST_F(TodoDbTest, SchemaOneFileIsUpgradedOnOpen)
{
    const QString p = path("old.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), p));
    QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
    OpenTaskTable(p, FTable);
    EXPECT_EQ(CurrentListFile()->SchemaLevel(), 2);
    const std::vector<TaskRow> expected = {
        {"Pay rent", "Home", 45306.520833333336, 45307.0, 0, NullDate,
         "Bank transfer\r\nbefore noon"},
        {QStringLiteral("Café order"), "", 45000.25, NullDate, 2, 45001.5, ""},
        {"Old deadline", "Work", 44000.0, 44010.0, 1, NullDate, ""},
    };
    // On disk: schema 2, the task record's own column types, deadlines without time of day.
    EXPECT_EQ(ReadFileBytes(p), ListFileOf(expected));
    ASSERT_EQ(FTable.RecordCount(), 3);
    EXPECT_EQ(FTable.Fields()[0].kind, FieldKind::WideString);
    FTable.SetIndexName(QString());
    FTable.First();
    EXPECT_EQ(FTable.AsString(TaskField::Title), "Pay rent");
    EXPECT_EQ(FTable.AsDateTime(TaskField::CompleteBy), 45307.0);

    // A second open finds schema 2 and changes nothing.
    CloseTaskStore(FTable);
    OpenTaskTable(p, FTable);
    EXPECT_EQ(CurrentListFile()->SchemaLevel(), 2);
    EXPECT_EQ(ReadFileBytes(p), ListFileOf(expected));
}

TEST_F(TodoDbTest, SchemaOneWithDateColumnsAndNulls)
{
    using B = PacketBuilder;
    const QByteArray packet =
        B().column("Details", 0x004B0004, B::subtype("WideText"), 1) // columns in another order
            .column("Task Title", 0x004A0002, B::width(400), 1)
            .column("Category", 0x004A0001, B::width(100), 1)
            .column("Created", 0x00060004)     // a date
            .column("Complete By", 0x00080008) // a date-time with a time of day
            .column("Priority", 0x00020001)    // 1-byte unsigned
            .column("Completed", 0x00080008)
            .column("Extra", 0x00010004) // dropped by the upgrade
            .row(Hex("00 01 11") + B::le16(2) + B::utf16("t") + QByteArray(1, '\0') +
                 B::le32(693594 + 45000) + "\x02" +
                 B::le32(7)) // no details, Complete By and Completed null
            .build();
    const QString p = path("old2.qmtd");
    ASSERT_TRUE(WriteFileBytes(p, SignatureSchema1 + packet));
    OpenTaskTable(p, FTable);
    // Null dates read as 0 and are stored as 0.
    EXPECT_EQ(onDisk(p).size(), 1u);
    const TaskRow r = onDisk(p)[0];
    EXPECT_EQ(r.title, "t");
    EXPECT_EQ(r.created, 45000.0);
    EXPECT_EQ(r.deadline, 0.0);
    EXPECT_EQ(r.completed, 0.0);
    EXPECT_EQ(r.priority, 2);
    EXPECT_EQ(FTable.Fields().size(), 7u);
}

TEST_F(TodoDbTest, SchemaOneWithoutATaskFieldNamesIt)
{
    using B = PacketBuilder;
    const QString p = path("nofield.qmtd");
    ASSERT_TRUE(WriteFileBytes(p, SignatureSchema1 + B().column("Task Title", 0x004A0002).build()));
    const QString message = openError(p);
    EXPECT_TRUE(message.contains("Category")) << message.toStdString();
    EXPECT_TRUE(ReadFileBytes(p).startsWith(SignatureSchema1));
}

TEST_F(TodoDbTest, DeadlineTimesAreCutInMemoryAndWrittenWithTheNextChange)
{
    const std::vector<TaskRow> rows = {{"a", "", 1.0, 45000.75, 1, NullDate, ""},
                                       {"b", "", 2.0, -3.5, 1, NullDate, ""}};
    const QString p = listWith(rows);
    const QByteArray before = ReadFileBytes(p);
    OpenTaskTable(p, FTable);
    EXPECT_EQ(ReadFileBytes(p), before); // opening alone writes nothing
    FTable.SetIndexName(QString());
    FTable.First();
    EXPECT_EQ(FTable.AsDateTime(TaskField::CompleteBy), 45000.0);
    FTable.Next();
    EXPECT_EQ(FTable.AsDateTime(TaskField::CompleteBy), -3.0); // cut towards zero
    DeleteCompletedBefore(FTable, NullDate);                   // deletes nothing, writes anyway
    EXPECT_EQ(onDisk(p)[0].deadline, 45000.0);
    EXPECT_EQ(onDisk(p)[1].deadline, -3.0);
}

TEST_F(TodoDbTest, DeleteCompletedBeforeBoundaries)
{
    const double limit = Today() - 7; // midnight at the start of the day a week ago
    const double ms = 1.0 / MSecsPerDay;
    const std::vector<TaskRow> rows = {
        {"open", "", 1, NullDate, 1, NullDate, ""},
        {"just before", "", 2, NullDate, 1, limit - ms, ""},
        {"at the limit", "", 3, NullDate, 1, limit, ""},
        {"just after", "", 4, NullDate, 1, limit + ms, ""},
        {"long ago", "", 5, NullDate, 1, 0.0, ""},
        {"open too", "", 6, 45000, 1, NullDate, ""},
    };
    struct Case {
        const char* what;
        double limit;
        std::vector<QString> kept;
    };
    const Case cases[] = {
        {"a week ago", limit, {"open", "at the limit", "just after", "open too"}},
        {"every completed task", NullDate, {"open", "open too"}},
        {"nothing before year 1899",
         -1.0,
         {"open", "just before", "at the limit", "just after", "long ago", "open too"}},
    };
    for (const Case& c : cases) {
        const QString p = listWith(rows, QStringLiteral("purge.qmtd"));
        OpenTaskTable(p, FTable);
        FTable.SetIndexName(SortModeName(smCreated));
        DeleteCompletedBefore(FTable, c.limit);
        std::vector<QString> kept;
        for (const TaskRow& r : onDisk(p))
            kept.push_back(r.title);
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(FTable.RecordCount(), int(c.kept.size())) << c.what;
        CloseTaskStore(FTable);
    }
}

TEST_F(TodoDbTest, OperationsWriteTheList)
{
    const QString p = listWith({{"first", "Home", 10.5, 45000, 0, NullDate, "d1"},
                                {"second", "", 11.5, NullDate, 2, 45001.25, ""}});
    OpenTaskTable(p, FTable);
    FTable.SetIndexName(SortModeName(smCreated)); // newest first: second=1, first=2

    AppendTask(FTable, "third", "Work", FNow, 45010.8, 1, "x");
    auto disk = onDisk(p);
    ASSERT_EQ(disk.size(), 3u);
    EXPECT_EQ(disk[2].title, "third");
    EXPECT_EQ(disk[2].deadline, 45010.0);
    EXPECT_EQ(disk[2].completed, NullDate);
    EXPECT_EQ(disk[2].created, FNow);

    // smCreated now: third=1, second=2, first=3.
    UpdateTask(FTable, 3, "first!", "Home2", 10.5, NullDate, 1, "");
    disk = onDisk(p);
    EXPECT_EQ(disk[0].title, "first!");
    EXPECT_EQ(disk[0].deadline, NullDate);
    EXPECT_EQ(disk[0].details, "");
    EXPECT_EQ(disk[0].completed, NullDate);

    MarkTaskCompleted(FTable, 3);
    EXPECT_EQ(onDisk(p)[0].completed, FNow);
    EXPECT_EQ(FTable.RecNo(), 3); // the order does not use Completed
    MarkTaskUncompleted(FTable, 2);
    EXPECT_EQ(onDisk(p)[1].completed, NullDate);

    SetClock([] { return QDateTime(QDate(2024, 3, 21), QTime(8, 0)); });
    AppendTaskAgain(FTable, 3, NullDate);
    disk = onDisk(p);
    ASSERT_EQ(disk.size(), 4u);
    EXPECT_EQ(disk[3].title, "first!");
    EXPECT_EQ(disk[3].category, "Home2");
    EXPECT_EQ(disk[3].deadline, NullDate);
    EXPECT_EQ(disk[3].created, At(2024, 3, 21, 8));
    EXPECT_EQ(disk[3].completed, NullDate);
    AppendTaskAgain(FTable, 1, At(2024, 4, 1, 13));
    EXPECT_EQ(onDisk(p)[4].deadline, At(2024, 4, 1));

    DeleteTask(FTable, 1); // the newest
    disk = onDisk(p);
    ASSERT_EQ(disk.size(), 4u);
    EXPECT_EQ(disk[3].created, At(2024, 3, 21, 8));
}

TEST_F(TodoDbTest, RecordIndexOutsideTheListChangesNothing)
{
    const QString p =
        listWith({{"a", "", 1, NullDate, 1, NullDate, ""}, {"b", "", 2, NullDate, 1, 3.0, ""}});
    OpenTaskTable(p, FTable);
    FTable.SetIndexName(SortModeName(smDePrTiCr));
    const QByteArray before = ReadFileBytes(p);
    using Op = std::function<void(int)>;
    const std::pair<const char*, Op> ops[] = {
        {"update", [&](int n) { UpdateTask(FTable, n, "x", "y", 1, 2, 0, "z"); }},
        {"complete", [&](int n) { MarkTaskCompleted(FTable, n); }},
        {"uncomplete", [&](int n) { MarkTaskUncompleted(FTable, n); }},
        {"again", [&](int n) { AppendTaskAgain(FTable, n, NullDate); }},
        {"delete", [&](int n) { DeleteTask(FTable, n); }},
    };
    for (const auto& [what, op] : ops)
        for (int n : {0, -1, 3, 1000000}) {
            EXPECT_THROW(op(n), TaskStoreError) << what << ' ' << n;
            EXPECT_EQ(FTable.RecordCount(), 2) << what;
            EXPECT_EQ(ReadFileBytes(p), before) << what << ' ' << n;
        }
    EXPECT_EQ(onDisk(p)[1].completed, 3.0);
}

TEST_F(TodoDbTest, FillCategoryListSortsAndKeepsTheFirstCaseVariant)
{
    const QString p = listWith({{"t1", "work", 1, 5, 1, NullDate, ""},
                                {"t2", "Home", 2, 4, 1, NullDate, ""},
                                {"t3", "", 3, 3, 1, NullDate, ""},
                                {"t4", "Work", 4, 2, 1, NullDate, ""},
                                {"t5", "alpha", 5, 1, 1, NullDate, ""},
                                {"t6", "home", 6, 6, 1, NullDate, ""}});
    OpenTaskTable(p, FTable);
    QStringList list = {"stale"};
    FTable.SetIndexName(SortModeName(smCreated)); // t6 first: "home" before "Home"
    FillCategoryList(FTable, list);
    EXPECT_EQ(list, QStringList({"alpha", "home", "Work"}));
    EXPECT_TRUE(FTable.Eof());
    FTable.SetIndexName(SortModeName(smTiDePrCr)); // t1 first: "work" before "Work"
    FillCategoryList(FTable, list);
    EXPECT_EQ(list, QStringList({"alpha", "Home", "work"}));
}

TEST_F(TodoDbTest, OperationsNeedAnOpenList)
{
    CreateTaskTable(FTable);
    EXPECT_THROW(AppendTask(FTable, "a", "", 1, 2, 1, ""), TaskStoreError);
    EXPECT_EQ(CurrentListFileName(), QString());
}

// Every prefix of a list file is refused with a message that names the file (or, for a file too
// short to be a list at all, says it is not valid, or empty); only the whole file opens.
TEST_F(TodoDbTest, EveryTruncatedFileIsRefused)
{
    const QByteArray whole = ListFileOf({{"first", "w", 1.0, 2.0, 0, NullDate, "details"},
                                         {"second", "", 3.5, NullDate, 2, 4.25, ""}});
    const QString p = path("cut.qmtd");
    for (int n = 0; n < whole.size(); ++n) {
        ASSERT_TRUE(WriteFileBytes(p, whole.left(n)));
        const QString message = openError(p);
        if (n == 0) {
            EXPECT_EQ(message, p + " is empty.");
        } else {
            EXPECT_TRUE(message.startsWith(p + " is damaged and cannot be read: ") ||
                        message == p + " is not a valid Quillmark file.")
                << n << ": " << message.toStdString();
        }
        CloseTaskStore(FTable);
    }
    ASSERT_TRUE(WriteFileBytes(p, whole));
    OpenTaskTable(p, FTable);
    EXPECT_EQ(FTable.RecordCount(), 2);
}
