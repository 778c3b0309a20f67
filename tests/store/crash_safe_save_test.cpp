#include "platform/exclusive_file_hold.h"
#include "store/datapacket_reader.h"
#include "store/list_file_save.h"
#include "store/store_warnings.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

std::vector<TaskRow> someTasks(int count)
{
    std::vector<TaskRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({QStringLiteral("Task %1").arg(i), QStringLiteral("Cat %1").arg(i % 3),
                        40000.0 + i, i % 2 ? NullDate : 45000.0 + i, i % 3, NullDate,
                        QString(i * 7, QLatin1Char('x'))});
    return rows;
}

// Counts the disk operations of a save, and makes the one numbered `failAt` fail.
struct FaultPlan {
    enum class Mode {
        Count,
        FailOne,   // that operation fails, everything after it works (a full disk)
        CrashFrom, // that operation fails and nothing after it reaches the disk (a power cut)
    };
    Mode mode = Mode::Count;
    int failAt = -1;
    qint64 partialBytes = -1; // bytes the failing write still gets out (-1: none)
    int seen = 0;
    std::vector<SaveStep> steps;

    qint64 operator()(SaveStep step, qint64 bytes)
    {
        const int index = seen++;
        steps.push_back(step);
        if (mode == Mode::Count || index < failAt || (mode == Mode::FailOne && index > failAt))
            return bytes;
        if (index == failAt && bytes > 0 && partialBytes >= 0)
            return qMin(partialBytes, bytes - 1);
        return -1;
    }
};

// The changes a save is tried with: one that keeps the file's length, one that shortens it and
// one that lengthens it.
struct Change {
    const char* what;
    void (*apply)(TaskTable& table);
};
const Change changes[] = {
    {"complete task 5", [](TaskTable& t) { MarkTaskCompleted(t, 5); }},
    {"delete task 3", [](TaskTable& t) { DeleteTask(t, 3); }},
    {"append a task",
     [](TaskTable& t) {
         AppendTask(t, "appended", "Cat", 45100.5, NullDate, 0, QString(900, QLatin1Char('y')));
     }},
};

class CrashSafeSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(FDir.filePath("state")));
        SetClock([] { return QDateTime(QDate(2024, 3, 20), QTime(10, 15, 30, 125)); });
        FList = FDir.filePath("list.qmtd");
        FOld = ListFileOf(someTasks(40));
        useChange(changes[0]);
    }
    void TearDown() override
    {
        SetSaveFaultHook({});
        CloseTaskStore(FTable);
        SetClock({});
    }

    // The contents a successful save of `change` gives, as the first save of a session and (warm)
    // as the second, after one that completed task 9.
    void useChange(const Change& change)
    {
        FChange = &change;
        ASSERT_TRUE(WriteFileBytes(FList, FOld));
        OpenTaskTable(FList, FTable);
        FTable.SetIndexName(SortModeName(smDePrTiCr));
        change.apply(FTable);
        CloseTaskStore(FTable);
        FNew = ReadFileBytes(FList);
        ASSERT_NE(FNew, FOld);
        ASSERT_TRUE(WriteFileBytes(FList, FOld));
        OpenTaskTable(FList, FTable);
        FTable.SetIndexName(SortModeName(smDePrTiCr));
        MarkTaskCompleted(FTable, 9);
        FWarmOld = ReadFileBytes(FList);
        change.apply(FTable);
        CloseTaskStore(FTable);
        FWarmNew = ReadFileBytes(FList);
        ASSERT_NE(FWarmNew, FWarmOld);
    }

    // Saves once under `plan`, as the first save of the session or (warm) the second; returns
    // whether the save raised an error.
    bool saveUnder(FaultPlan& plan, bool warm)
    {
        EXPECT_TRUE(WriteFileBytes(FList, FOld));
        OpenTaskTable(FList, FTable);
        FTable.SetIndexName(SortModeName(smDePrTiCr));
        if (warm)
            MarkTaskCompleted(FTable, 9);
        SetSaveFaultHook([&plan](SaveStep s, qint64 b) { return plan(s, b); });
        bool failed = false;
        try {
            FChange->apply(FTable);
        } catch (const TaskStoreError& e) {
            failed = true;
            EXPECT_TRUE(e.message().startsWith(FList + " could not be saved"))
                << e.message().toStdString();
        }
        SetSaveFaultHook({});
        return failed;
    }

    // Opens the list as the next run would and returns its content.
    QByteArray contentAfterReopen()
    {
        CloseTaskStore(FTable);
        OpenTaskTable(FList, FTable);
        const QByteArray bytes = ReadFileBytes(FList);
        EXPECT_FALSE(QFileInfo::exists(SideFilesOf(FList).beside));
        EXPECT_FALSE(QFileInfo::exists(SideFilesOf(FList).inStateFolder));
        EXPECT_TRUE(TakeStoreWarnings().isEmpty());
        CloseTaskStore(FTable);
        return bytes;
    }

    QTemporaryDir FDir;
    QString FList;
    const Change* FChange = nullptr;
    QByteArray FOld, FNew, FWarmOld, FWarmNew;
    TaskTable FTable;
};

} // namespace

TEST_F(CrashSafeSaveTest, EveryFailingOperationLeavesTheOldContent)
{
    for (const Change& change : changes)
        for (bool warm : {false, true}) {
            SCOPED_TRACE(change.what);
            useChange(change);
            const QByteArray& before = warm ? FWarmOld : FOld;
            const QByteArray& after = warm ? FWarmNew : FNew;
            FaultPlan count;
            ASSERT_FALSE(saveUnder(count, warm));
            // The first save creates the side file and flushes its folder; later ones reuse it.
            const std::vector<SaveStep> expected =
                warm ? std::vector<SaveStep>{SaveStep::WriteSide,  SaveStep::ResizeSide,
                                             SaveStep::FlushSide,  SaveStep::WriteList,
                                             SaveStep::ResizeList, SaveStep::FlushList,
                                             SaveStep::SpoilSide}
                     : std::vector<SaveStep>{
                           SaveStep::CreateSide, SaveStep::WriteSide,   SaveStep::ResizeSide,
                           SaveStep::FlushSide,  SaveStep::FlushFolder, SaveStep::WriteList,
                           SaveStep::ResizeList, SaveStep::FlushList,   SaveStep::SpoilSide};
            ASSERT_TRUE(count.steps == expected) << warm;
            for (int k = 0; k < count.seen; ++k)
                for (qint64 partial : {qint64(-1), qint64(0), qint64(1), after.size() / 2}) {
                    FaultPlan plan;
                    plan.mode = FaultPlan::Mode::FailOne;
                    plan.failAt = k;
                    plan.partialBytes = partial;
                    const bool failed = saveUnder(plan, warm);
                    // The hold is kept through a failed save.
                    ExclusiveFileHold probe;
                    EXPECT_FALSE(probe.open(FList, ExclusiveFileHold::Mode::OpenExisting));
                    // Only the final step may fail without failing the save, and the side
                    // file's creation beside the list, which the state folder then takes.
                    const SaveStep step = count.steps[k];
                    EXPECT_EQ(failed, step != SaveStep::SpoilSide && step != SaveStep::CreateSide)
                        << k;
                    // A failed save leaves the table as the file is.
                    EXPECT_TRUE(DataPacketWriter::Write(FTable) ==
                                (failed ? before : after).mid(SignatureSchema2.size()))
                        << k;
                    EXPECT_TRUE(contentAfterReopen() == (failed ? before : after))
                        << "warm " << warm << ", failing operation " << k << ", partial "
                        << partial;
                }
        }
}

TEST_F(CrashSafeSaveTest, APowerCutAtAnyPointLeavesOldOrNewContent)
{
    for (const Change& change : changes)
        for (bool warm : {false, true}) {
            SCOPED_TRACE(change.what);
            useChange(change);
            const QByteArray& before = warm ? FWarmOld : FOld;
            const QByteArray& after = warm ? FWarmNew : FNew;
            FaultPlan count;
            ASSERT_FALSE(saveUnder(count, warm));
            int sawOld = 0, sawNew = 0;
            for (int k = 0; k < count.seen; ++k)
                for (qint64 partial :
                     {qint64(-1), qint64(0), qint64(7), after.size() / 3, after.size() - 1}) {
                    FaultPlan plan;
                    plan.mode = FaultPlan::Mode::CrashFrom;
                    plan.failAt = k;
                    plan.partialBytes = partial;
                    saveUnder(plan, warm);
                    const QByteArray content = contentAfterReopen();
                    EXPECT_TRUE(content == before || content == after)
                        << "warm " << warm << ", cut at operation " << k << ", partial " << partial;
                    sawOld += content == before;
                    sawNew += content == after;
                    // Cut while the side file is written: old. Once the list is being written:
                    // new. In between (written, not yet confirmed on disk) either is right.
                    const SaveStep step = count.steps[k];
                    if (step == SaveStep::CreateSide || step == SaveStep::WriteSide) {
                        EXPECT_TRUE(content == before) << warm << ' ' << k << ' ' << partial;
                    }
                    if (step >= SaveStep::WriteList) {
                        EXPECT_TRUE(content == after) << warm << ' ' << k << ' ' << partial;
                    }
                }
            EXPECT_GT(sawOld, 0);
            EXPECT_GT(sawNew, 0);
        }
}

TEST_F(CrashSafeSaveTest, WhenTheOldContentCannotBePutBackTheNextOpenFinishesTheSave)
{
    FaultPlan plan;
    plan.mode = FaultPlan::Mode::FailOne;
    // Fail the list write and the restore write; every other operation works.
    int writes = 0;
    ASSERT_TRUE(WriteFileBytes(FList, FOld));
    OpenTaskTable(FList, FTable);
    FTable.SetIndexName(SortModeName(smDePrTiCr));
    SetSaveFaultHook([&](SaveStep s, qint64 b) -> qint64 {
        if (s == SaveStep::WriteList || s == SaveStep::RestoreList)
            return ++writes, b / 2;
        return b;
    });
    EXPECT_THROW(MarkTaskCompleted(FTable, 5), TaskStoreError);
    SetSaveFaultHook({});
    EXPECT_EQ(writes, 2);
    EXPECT_TRUE(QFileInfo::exists(SideFileName(FList)));
    // The change is what the list opens with next, so the table keeps it.
    EXPECT_TRUE(DataPacketWriter::Write(FTable) == FNew.mid(SignatureSchema2.size()));
    EXPECT_TRUE(contentAfterReopen() == FNew);
}

// After a save that could not put the old content back, the next save must not overwrite the
// side file (all that is left of the failed save) before the list is whole again: it first
// writes the content the side file holds, which is what the list opens with until then.
TEST_F(CrashSafeSaveTest, TheSaveAfterAFailedRestoreMakesTheListWholeFirst)
{
    ASSERT_TRUE(WriteFileBytes(FList, FOld));
    OpenTaskTable(FList, FTable);
    FTable.SetIndexName(SortModeName(smDePrTiCr));
    SetSaveFaultHook([&](SaveStep s, qint64 b) -> qint64 {
        return s == SaveStep::WriteList || s == SaveStep::RestoreList ? b / 2 : b;
    });
    EXPECT_THROW(MarkTaskCompleted(FTable, 5), TaskStoreError);
    // The next save is cut by a power failure while it writes the side file.
    FaultPlan plan;
    plan.mode = FaultPlan::Mode::CrashFrom;
    plan.failAt = 3; // put the old content back: write, resize, flush; then the side file
    plan.partialBytes = FNew.size() / 2;
    SetSaveFaultHook([&plan](SaveStep s, qint64 b) { return plan(s, b); });
    EXPECT_THROW(MarkTaskCompleted(FTable, 6), TaskStoreError);
    ASSERT_GE(plan.steps.size(), 4u);
    EXPECT_EQ(plan.steps[0], SaveStep::RestoreList);
    EXPECT_EQ(plan.steps[3], SaveStep::WriteSide);
    SetSaveFaultHook({});
    EXPECT_TRUE(contentAfterReopen() == FNew);
}

TEST_F(CrashSafeSaveTest, TheSideFileLivesWhileTheListIsOpen)
{
    OpenTaskTable(FList, FTable);
    EXPECT_FALSE(QFileInfo::exists(SideFileName(FList)));
    MarkTaskCompleted(FTable, 1);
    // Kept for the next save, held like the list, and no longer complete.
    EXPECT_TRUE(QFileInfo::exists(SideFileName(FList)));
    ExclusiveFileHold probe;
    EXPECT_FALSE(probe.open(SideFileName(FList), ExclusiveFileHold::Mode::OpenExisting));
    EXPECT_EQ(ParseSideFile(ReadFileBytes(SideFileName(FList))).state,
              ParsedSideFile::State::Incomplete);
    CloseTaskStore(FTable);
    EXPECT_FALSE(QFileInfo::exists(SideFileName(FList)));
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"list.qmtd"});
}

TEST_F(CrashSafeSaveTest, ASecondProcessCannotOpenAHeldList)
{
    OpenTaskTable(FList, FTable);
    QProcess child;
    child.start(QStringLiteral(QM_STORE_SAVE_CHILD), {QStringLiteral("open"), FList});
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitCode(), 3);
    EXPECT_EQ(QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed(),
              FList + " can not be opened. It may be in use by another application or is "
                      "inaccessible.");
    CloseTaskStore(FTable);
    child.start(QStringLiteral(QM_STORE_SAVE_CHILD), {QStringLiteral("open"), FList});
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitCode(), 0);
}

// A process that saves in a loop is killed at random moments; after every kill the list opens
// with all the saves it reported done, plus at most the one it was in the middle of.
TEST_F(CrashSafeSaveTest, KilledWhileSavingTheListStaysWhole)
{
    ASSERT_TRUE(WriteFileBytes(FList, ListFileOf({})));
    QRandomGenerator random(20240320);
    int acknowledged = 0;
    int sawPartialSave = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        child.start(QStringLiteral(QM_STORE_SAVE_CHILD), {QStringLiteral("save"), FList});
        ASSERT_TRUE(child.waitForStarted(20000));
        ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child saved nothing";
        QThread::msleep(random.bounded(1, 40));
        child.kill(); // SIGKILL: no clean-up of any kind
        ASSERT_TRUE(child.waitForFinished(20000));
        const QStringList lines =
            QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        ASSERT_TRUE(lines.last().startsWith("saved ")) << lines.last().toStdString();
        acknowledged = lines.last().mid(6).toInt();

        OpenTaskTable(FList, FTable);
        const int count = FTable.RecordCount();
        EXPECT_TRUE(count == acknowledged || count == acknowledged + 1)
            << "round " << round << ": " << count << " tasks, " << acknowledged << " saved";
        sawPartialSave += count == acknowledged + 1;
        FTable.SetIndexName(QString());
        int n = 0;
        for (FTable.First(); !FTable.Eof(); FTable.Next())
            EXPECT_EQ(FTable.AsString(TaskField::Title), QStringLiteral("task %1").arg(++n));
        CloseTaskStore(FTable);
    }
    EXPECT_GT(acknowledged, 12);
    std::printf("killed during a save %d times of 12\n", sawPartialSave);
}
