// qmtd and the save side file: what it tells on standard error, what dump and page leave alone,
// empty files, and a list in a folder its user cannot write (run as the user nobody).

#include "platform/safe_files.h"
#include "qmtd_process.h"
#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/list_file_save.h"
#include "store/side_file_format.h"
#include "store/todo_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// qmtd with `args`; as the user nobody, with this home and state folder, when `home` is given.
QmtdResult qmtd(const QStringList& args, const QString& home = {}, const QString& state = {})
{
    QmtdOptions options;
    if (!home.isEmpty()) {
        // The child takes this process's environment.
        options.asNobody = true;
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_STATE_HOME", QFile::encodeName(state));
    }
    return RunQmtdProcess(args, options);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A list of `count` tasks "Task 0", ...; task `completed` is completed.
QByteArray listOf(int count, int completed = -1)
{
    TaskTable table;
    CreateTaskTable(table);
    for (int i = 0; i < count; ++i)
        table.AppendRecord({FieldValue::fromText(QStringLiteral("Task %1").arg(i)),
                            FieldValue::fromText(QString()), FieldValue::fromReal(45000.0 + i),
                            FieldValue::fromReal(NullDate), FieldValue::fromInteger(1),
                            FieldValue::fromReal(i == completed ? 45100.5 : NullDate),
                            FieldValue()});
    return SignatureSchema2 + DataPacketWriter::Write(table);
}

// The titles in a dump, sorted.
QStringList titlesIn(const QString& dumpText)
{
    QStringList titles;
    const QJsonObject d = QJsonDocument::fromJson(dumpText.toUtf8()).object();
    for (const QJsonValue& v : d["tasks"].toArray())
        titles.append(v.toObject()["title"].toString());
    titles.sort();
    return titles;
}

// The titles of the completed tasks in a dump, in its order.
QStringList completedIn(const QString& dumpText)
{
    QStringList titles;
    const QJsonObject d = QJsonDocument::fromJson(dumpText.toUtf8()).object();
    for (const QJsonValue& v : d["tasks"].toArray())
        if (!v.toObject()["completed"].isNull())
            titles.append(v.toObject()["title"].toString());
    return titles;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

class SaveSideFileCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(FDir.filePath("state")));
        FList = FDir.filePath("list.qmtd");
    }
    QTemporaryDir FDir;
    QString FList;
};

} // namespace

TEST_F(SaveSideFileCliTest, ASetAsideSaveIsToldOnStandardError)
{
    ASSERT_TRUE(writeBytes(FList, listOf(11)));
    const SideFilePlaces places = SideFilesOf(FList);
    ASSERT_TRUE(writeBytes(
        places.beside, SideFileBytes(QFile::encodeName(places.listPath), listOf(1), listOf(1, 0))));
    const QmtdResult r = qmtd({"add", FList, "twelfth"});
    EXPECT_EQ(r.status, 0);
    const QString kept = FDir.filePath("list (unapplied save).qmtd");
    EXPECT_EQ(r.err, "qmtd: warning: " + places.listPath +
                         ": a save left over from an earlier session does not belong to the list "
                         "as it is now and was not applied. It is kept as " +
                         kept + ".\n");
    EXPECT_EQ(titlesIn(qmtd({"dump", FList}).out).size(), 12);
    EXPECT_EQ(titlesIn(qmtd({"dump", kept}).out), QStringList{"Task 0"});
}

// dump and page show a save that was cut short as the next change will finish it, and leave the
// files as they are; a user's file at the old side file name survives every command.
TEST_F(SaveSideFileCliTest, DumpAndPageChangeNothing)
{
    const QByteArray before = listOf(3), after = listOf(3, 1);
    // Cut inside the changed value: its first bytes new, the rest old.
    qsizetype changed = 0;
    while (before[changed] == after[changed])
        ++changed;
    const QByteArray torn = after.left(changed + 1) + before.mid(changed + 1);
    ASSERT_NE(torn, before);
    ASSERT_NE(torn, after);
    const SideFilePlaces places = SideFilesOf(FList);
    const QByteArray side = SideFileBytes(QFile::encodeName(places.listPath), before, after);
    const QByteArray decoy = "my notes about the list\n";
    ASSERT_TRUE(writeBytes(FList, torn));
    ASSERT_TRUE(writeBytes(places.beside, side));
    ASSERT_TRUE(writeBytes(FList + "-save", decoy));
    for (const QStringList& args :
         {QStringList{"dump", FList}, QStringList{"page", FList}, QStringList{"list", FList}}) {
        const QmtdResult r = qmtd(args);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("qmtd: warning: " + places.listPath +
                                     ": a save of this list was interrupted; it is shown as saved"))
            << r.err.toStdString();
        EXPECT_EQ(FileBytes(FList), torn);
        EXPECT_EQ(FileBytes(places.beside), side);
        EXPECT_EQ(FileBytes(FList + "-save"), decoy);
    }
    EXPECT_EQ(completedIn(qmtd({"dump", FList}).out), QStringList{"Task 1"});
    // The first change finishes the save; the user's file stays.
    ASSERT_EQ(qmtd({"add", FList, "fourth"}).status, 0);
    EXPECT_EQ(titlesIn(qmtd({"dump", FList}).out),
              (QStringList{"Task 0", "Task 1", "Task 2", "fourth"}));
    EXPECT_FALSE(QFileInfo::exists(places.beside));
    EXPECT_EQ(FileBytes(FList + "-save"), decoy);
}

TEST_F(SaveSideFileCliTest, AnEmptyFileIsReportedAndNewReplacesIt)
{
    ASSERT_TRUE(writeBytes(FList, {}));
    const QmtdResult shown = qmtd({"page", FList});
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.err, "qmtd: " + FList + " is empty.\n");
    const QmtdResult added = qmtd({"add", FList, "x"});
    EXPECT_EQ(added.err, "qmtd: " + FList + " is empty.\n");
    EXPECT_EQ(FileBytes(FList), QByteArray());

    const QmtdResult created = qmtd({"new", FList});
    EXPECT_EQ(created.status, 0) << created.err.toStdString();
    EXPECT_EQ(FileBytes(FList), listOf(0));
    // A list that is not empty is never replaced.
    ASSERT_EQ(qmtd({"add", FList, "keep"}).status, 0);
    const QByteArray kept = FileBytes(FList);
    const QmtdResult again = qmtd({"new", FList});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "qmtd: " + FList + " already exists.\n");
    EXPECT_EQ(FileBytes(FList), kept);
}

#ifndef Q_OS_WIN

// A list its user may write in a folder that user may not: the side file goes to the user's
// state folder, with the same guarantees, and the folder gets nothing.
class UnwritableFolderTest : public SaveSideFileCliTest {
protected:
    void SetUp() override
    {
        SaveSideFileCliTest::SetUp();
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || !nobody || QStandardPaths::findExecutable("setpriv").isEmpty())
            GTEST_SKIP() << "needs root, the user nobody and setpriv to run as an ordinary user";
        FUid = nobody->pw_uid;
        FGid = nobody->pw_gid;
        // Everyone may pass through; only root may write the lists folder.
        ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
        FLists = FDir.filePath("lists");
        FHome = FDir.filePath("home");
        ASSERT_TRUE(QDir().mkpath(FLists));
        ASSERT_TRUE(QDir().mkpath(FHome));
        ASSERT_EQ(::chown(QFile::encodeName(FHome).constData(), FUid, FGid), 0);
        FState = FHome + "/.local/state";
        FList = FLists + "/list.qmtd";
        ASSERT_TRUE(writeBytes(FList, listOf(3)));
        giveToNobody(FList);
        qputenv("XDG_STATE_HOME", QFile::encodeName(FState));
    }
    void giveToNobody(const QString& path)
    {
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), FUid, FGid), 0);
    }
    QmtdResult asNobody(const QStringList& args) { return qmtd(args, FHome, FState); }

    uid_t FUid = 0;
    gid_t FGid = 0;
    QString FLists, FHome, FState;
};

TEST_F(UnwritableFolderTest, SavesGoToTheStateFolder)
{
    const QmtdResult r = asNobody({"add", FList, "fourth"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(titlesIn(qmtd({"dump", FList}).out),
              (QStringList{"Task 0", "Task 1", "Task 2", "fourth"}));
    EXPECT_EQ(entriesOf(FLists), QStringList{"list.qmtd"});
    // Created private, and left empty once the list is closed.
    const QString folder = FState + "/Quillmark";
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, FUid);
    EXPECT_TRUE(entriesOf(folder).isEmpty());
}

TEST_F(UnwritableFolderTest, AnInterruptedSaveInTheStateFolderIsFinished)
{
    const QByteArray before = FileBytes(FList), after = listOf(3, 2);
    qsizetype changed = 0;
    while (before[changed] == after[changed])
        ++changed;
    const QByteArray torn = after.left(changed + 2) + before.mid(changed + 2);
    ASSERT_NE(torn, before);
    ASSERT_TRUE(writeBytes(FList, torn));
    const SideFilePlaces places = SideFilesOf(FList);
    ASSERT_TRUE(MakePrivateFolder(QFileInfo(places.inStateFolder).absolutePath()));
    giveToNobody(FHome + "/.local");
    giveToNobody(FState);
    giveToNobody(FState + "/Quillmark");
    const QByteArray side = SideFileBytes(QFile::encodeName(places.listPath), before, after);
    ASSERT_TRUE(writeBytes(places.inStateFolder, side));
    giveToNobody(places.inStateFolder);

    // Shown finished, touched not at all; then finished by the first change.
    const QmtdResult shown = asNobody({"dump", FList});
    EXPECT_EQ(shown.status, 0) << shown.err.toStdString();
    EXPECT_EQ(completedIn(shown.out), QStringList{"Task 2"});
    EXPECT_EQ(FileBytes(FList), torn);
    EXPECT_EQ(FileBytes(places.inStateFolder), side);
    const QmtdResult r = asNobody({"done", FList, "1"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(places.inStateFolder));
    EXPECT_EQ(completedIn(qmtd({"dump", FList}).out), (QStringList{"Task 0", "Task 2"}));
    EXPECT_EQ(entriesOf(FLists), QStringList{"list.qmtd"});
}

TEST_F(UnwritableFolderTest, WithNowhereToSaveTheListStaysAsItWas)
{
    // A state folder the user cannot create either.
    const QString closed = FDir.filePath("closed");
    ASSERT_TRUE(QDir().mkpath(closed));
    FState = closed + "/state";
    const QByteArray before = FileBytes(FList);
    const QmtdResult r = asNobody({"add", FList, "fourth"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("qmtd: " + FList + " could not be saved: Cannot open " + FLists +
                                 "/.list.qmtd.quillmark-save: Permission denied; "))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Permission denied\n")) << r.err.toStdString();
    EXPECT_EQ(FileBytes(FList), before);
    EXPECT_EQ(entriesOf(FLists), QStringList{"list.qmtd"});
    EXPECT_TRUE(entriesOf(closed).isEmpty());
}

#endif
