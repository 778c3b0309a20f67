// Lists beyond what the window can show: refused at open, with the reason, before their rows are
// read; and a list at the limit takes no task more, so that it always opens again.

#include "app_test_support.h"
#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QFile>

namespace {

void WriteTasks(const QString& path, int count)
{
    TaskTable table;
    table.CreateDataSet(TaskRecordFields());
    for (int i = 0; i < count; ++i)
        table.AppendRecord({FieldValue::fromText(QStringLiteral("t")), FieldValue::fromText({}),
                            FieldValue::fromReal(45000.0), FieldValue::fromReal(NullDate),
                            FieldValue::fromInteger(1), FieldValue::fromReal(NullDate),
                            FieldValue()});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(SignatureSchema2 + DataPacketWriter::Write(table));
}

} // namespace

TEST_F(AppTest, AListOfMoreTasksThanTheWindowCanShowIsRefused)
{
    const QString large = path("Large.qmtd");
    WriteTasks(large, 100001);
    TFormMain& form = Start();
    EXPECT_FALSE(form.OpenToDoList(large, true));
    EXPECT_EQ(Messages(), QStringList{large + " is too large to open."});
    EXPECT_FALSE(form.ClientDataSetMain.Active());

    // One task fewer opens, and takes no task more.
    const QString full = path("Full.qmtd");
    WriteTasks(full, 100000);
    Prompts::clearShown();
    ASSERT_TRUE(form.OpenToDoList(full, true));
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 100000);
    try {
        AppendTask(form.ClientDataSetMain, "one more", "", 45001.0, NullDate, 1, "");
        ADD_FAILURE() << "a task was added beyond the limit";
    } catch (const TaskStoreError& e) {
        EXPECT_EQ(e.message(), full + " holds 100000 tasks, the most a list can hold here; "
                                      "delete some before you add more.");
    }
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 100000);
}

TEST_F(AppTest, AnImportThatWouldPassTheLimitIsRefusedWhole)
{
    const QString list = path("Nearly.qmtd");
    WriteTasks(list, 99999);
    TFormMain& form = Start();
    ASSERT_TRUE(form.OpenToDoList(list, true));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    const TaskEntry task{QStringLiteral("imported"), {}, 45001.0, NullDate, 1, NullDate, {}};
    try {
        AppendTasks(form.ClientDataSetMain, {task, task});
        ADD_FAILURE() << "an import took the list past the limit";
    } catch (const TaskStoreError& e) {
        EXPECT_EQ(e.message(), list + " can hold 100000 tasks here and holds 99999; 2 more would "
                                      "be too many.");
    }
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 99999);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    file.close();

    // Up to the limit it is taken.
    AppendTasks(form.ClientDataSetMain, {task});
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 100000);
}
