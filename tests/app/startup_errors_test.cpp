// Start-up lists that cannot be shown: a list whose values do not fit their columns is refused
// at open, and whatever fails while the start-up list is opened and shown is reported while the
// window comes up without that list. Never does the program end.

#include "../support/window_process.h"
#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A list whose "Completed" column holds text, one task of it "abc".
void WriteListWithTextCompleted(const QString& path)
{
    std::vector<FieldDef> fields = TaskRecordFields();
    fields[5].kind = FieldKind::WideString;
    fields[5].size = 50;
    TaskTable table;
    table.CreateDataSet(fields);
    table.AppendRecord({FieldValue::fromText("Pay rent"), FieldValue::fromText(""),
                        FieldValue::fromReal(45000.5), FieldValue::fromReal(NullDate),
                        FieldValue::fromInteger(1), FieldValue::fromText("abc"), FieldValue()});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(SignatureSchema2 + DataPacketWriter::Write(table));
}

} // namespace

TEST_F(AppTest, AListWhoseValuesDoNotFitTheirColumnsIsRefusedAndTheWindowComesUp)
{
    const QString bad = path("Bad.qmtd");
    WriteListWithTextCompleted(bad);
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    StoreRecentFiles({bad, path("Work.qmtd")}, bad);
    TFormMain& form = Start();
    // The start-up open says nothing of its failure. As for any packet that cannot be read,
    // the file stays held and named in the caption, and no list is shown.
    EXPECT_TRUE(Prompts::shown().isEmpty());
    EXPECT_EQ(CurrentListFileName(), bad);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bad - Quillmark"));
    EXPECT_FALSE(form.ClientDataSetMain.Active());
    EXPECT_FALSE(form.ActionToDoNewItem->isEnabled());
    EXPECT_TRUE(form.taskViewer().documentSource().isEmpty());

    EXPECT_FALSE(form.OpenToDoList(bad, true));
    EXPECT_EQ(Messages(),
              QStringList{bad + " is damaged and cannot be read: record 1 holds \"abc\" "
                                "as its \"Completed\", which is not a date and time."});
    EXPECT_TRUE(form.OpenToDoList(path("Work.qmtd"), true));
}

TEST_F(AppTest, AnErrorWhileTheStartUpListIsShownIsReportedAndTheWindowGoesOnWithoutIt)
{
    // A priority the page cannot group, in the order that groups by priority.
    const QString odd = path("Odd.qmtd");
    WriteList(odd, {{QStringLiteral("odd task"), QString(), 7}});
    StoreSortMode(smPrDeTiCr);
    StoreRecentFiles({odd}, odd);
    TFormMain& form = Start();
    ASSERT_EQ(Prompts::shown().size(), 1);
    EXPECT_EQ(Prompts::shown().front().kind, Prompts::Kind::Error);
    EXPECT_EQ(Prompts::shown().front().text, QStringLiteral("Unknown priority level: 7"));
    EXPECT_EQ(CurrentListFileName(), QString());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));
    EXPECT_FALSE(form.ActionToDoNewItem->isEnabled());
    // The list is not held any more: the file is whole and free.
    TdbToDoFile free(odd);
    EXPECT_EQ(free.SchemaLevel(), 2);
}

TEST(StartupProcess, TheProgramComesUpOnAListThatCannotBeRead)
{
    QTemporaryDir dir;
    const QString bad = dir.filePath("Bad.qmtd");
    WriteListWithTextCompleted(bad);
    for (int start = 0; start < 2; ++start) {
        QProcess program;
        ASSERT_TRUE(PrepareWindowProcess(program, dir.filePath("config"), bad));
        const QString shot = dir.filePath(QStringLiteral("shot%1.png").arg(start));
        program.start(QM_QUILLMARK, {"--screenshot", shot});
        ASSERT_TRUE(program.waitForFinished(60000)) << "start " << start;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "start " << start;
        EXPECT_EQ(program.exitCode(), 0) << "start " << start;
        EXPECT_TRUE(QFileInfo::exists(shot)) << "start " << start;
    }
}
