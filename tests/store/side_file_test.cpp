// The side files an open finds: which are finished, which are set aside, which are left alone.

#include "platform/exclusive_file_hold.h"
#include "store/list_file_save.h"
#include "store/side_file_format.h"
#include "store/store_warnings.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<TaskRow> tasks(int count, int completed = -1)
{
    std::vector<TaskRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({QStringLiteral("Task %1").arg(i), QStringLiteral("Home"), 45000.0 + i,
                        NullDate, 1, i == completed ? 45100.5 : NullDate,
                        QString(i * 3, QLatin1Char('d'))});
    return rows;
}

QByteArray pathBytes(const QString& path)
{
    return QFile::encodeName(path);
}

class SideFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(FDir.filePath("state")));
        FList = FDir.filePath("list.qmtd");
        FOld = ListFileOf(tasks(11));
        FNew = ListFileOf(tasks(11, 4));
        ASSERT_TRUE(WriteFileBytes(FList, FOld));
        FPlaces = SideFilesOf(FList);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(FPlaces.inStateFolder).absolutePath()));
        TakeStoreWarnings();
    }
    void TearDown() override { CloseTaskStore(FTable); }

    QStringList folderEntries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }

    QTemporaryDir FDir;
    QString FList;
    QByteArray FOld, FNew;
    SideFilePlaces FPlaces;
    TaskTable FTable;
};

} // namespace

// The list states a save's in-place rewrite can leave, and some it cannot.
TEST(TornRewriteTest, WhichListContentsASaveCanLeave)
{
    const QByteArray o = "abcdefghij";    // old
    const QByteArray same = "abcXYZghij"; // new, same length
    const QByteArray longer = "abcXYZghijKLMN";
    const QByteArray shorter = "abcXYZ";
    struct Case {
        const char* what;
        QByteArray oldContent, newContent, list;
        bool torn;
    };
    const Case cases[] = {
        {"the old content", o, same, o, true},
        {"the new content", o, same, same, true},
        {"new written up to a point", o, same, "abcXYfghij", true},
        {"blocks written out of order", o, same, "abcdYZghij", true},
        {"growing: cut while writing past the old end", o, longer, "abcXYZghijKL", true},
        {"growing: past the old end, data lost as zeros", o, longer,
         QByteArray("abcXYZghij\0\0", 12), true},
        {"shrinking: written, not yet cut to size", o, shorter, "abcXYZghij", true},
        {"shrinking: cut to size", o, shorter, shorter, true},
        {"shrinking: the old content being put back", o, shorter, "abcdeZghij", true},
        {"shrinking: put back, cut while growing again", o, shorter, "abcdefgh", true},
        {"a byte from neither", o, same, "abcXYQghij", false},
        {"zeros where both have bytes", o, same, QByteArray("abc\0YZghij", 10), false},
        {"shorter than both", o, same, "abcXYZghi", false},
        {"longer than both", o, same, "abcXYZghijk", false},
        {"another list", o, same, "klmnopqrst", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsTornRewrite(c.list, c.oldContent, c.newContent), c.torn) << c.what;
}

TEST(SideFileFormatTest, RecordsTheReplacedContentAsItsDifference)
{
    const QByteArray o = ListFileOf(tasks(200));
    const QByteArray cases[] = {
        ListFileOf(tasks(200, 150)), // one value changed
        ListFileOf(tasks(199)),      // shorter
        ListFileOf(tasks(201)),      // longer
        ListFileOf({}),              // everything replaced
        o,                           // nothing changed
    };
    for (const QByteArray& n : cases) {
        const QByteArray bytes = SideFileBytes("/lists/list.qmtd", o, n);
        const ParsedSideFile side = ParseSideFile(bytes);
        ASSERT_EQ(side.state, ParsedSideFile::State::Complete);
        EXPECT_EQ(side.listPath, "/lists/list.qmtd");
        EXPECT_TRUE(side.content == n);
        QByteArray rebuilt;
        EXPECT_TRUE(RebuildReplaced(side, rebuilt));
        EXPECT_TRUE(rebuilt == o);
    }
    // A change to one task costs the header a few bytes, not a copy of the list.
    const QByteArray oneChange = SideFileBytes("/l", o, cases[0]);
    EXPECT_LT(oneChange.size() - cases[0].size(), 160);
    // Every cut, and a changed byte anywhere, makes it incomplete; other bytes are not ours.
    const QByteArray whole = SideFileBytes("/l", ListFileOf(tasks(2)), ListFileOf(tasks(2, 1)));
    for (qsizetype n = 0; n < whole.size(); n += 7)
        EXPECT_EQ(ParseSideFile(whole.left(n)).state, ParsedSideFile::State::Incomplete) << n;
    for (qsizetype i = 20; i < whole.size(); i += 5) {
        QByteArray flipped = whole;
        flipped[i] = char(flipped[i] ^ 0x10);
        EXPECT_EQ(ParseSideFile(flipped).state, ParsedSideFile::State::Incomplete) << i;
    }
    EXPECT_EQ(ParseSideFile("Quillmark saved my day").state, ParsedSideFile::State::NotOurs);
    EXPECT_EQ(ParseSideFile(ListFileOf({})).state, ParsedSideFile::State::NotOurs);
}

// What an open does with a side file, beside the list or in the state folder.
TEST_F(SideFileTest, WhatAnOpenDoesWithASideFile)
{
    const QByteArray backupOld = ListFileOf(tasks(1));
    const QByteArray backupNew = ListFileOf(tasks(1, 0));
    const QByteArray mine = pathBytes(FPlaces.listPath);
    const QByteArray other = pathBytes(FDir.filePath("other.qmtd"));
    const QByteArray side = SideFileBytes(mine, FOld, FNew);
    QByteArray spoilt = side;
    spoilt[spoilt.size() - 40] = '\0';
    const QByteArray longerNew = ListFileOf(tasks(12));
    const QByteArray grown = longerNew.left(FOld.size() + 9);
    // A power cut that wrote some of the list's 512-byte blocks and not others.
    QByteArray blocks = FOld;
    for (qsizetype i = 0; i < FOld.size(); i += 1024)
        blocks.replace(i, qMin<qsizetype>(512, FOld.size() - i), FNew.mid(i, 512));
    QByteArray neither = FNew;
    neither[neither.size() - 3] = 'Z';

    enum Outcome { Applied, Removed, SetAside, LeftAlone };
    struct Case {
        const char* what;
        bool inStateFolder;
        QByteArray list;
        QByteArray sideBytes;
        Outcome outcome;
        QByteArray listAfter;
    };
    const Case cases[] = {
        {"list as the save found it", false, FOld, side, Applied, FNew},
        {"list half rewritten", false, FNew.left(FNew.size() / 2) + FOld.mid(FNew.size() / 2), side,
         Applied, FNew},
        {"list blocks written out of order", false, blocks, side, Applied, FNew},
        {"list grown part of the way", false, grown, SideFileBytes(mine, FOld, longerNew), Applied,
         longerNew},
        {"list already new", false, FNew, side, Removed, FNew},
        {"side cut short", false, FOld, side.chopped(1), Removed, FOld},
        {"side done (trailer spoilt)", false, FOld, spoilt, Removed, FOld},
        {"side only begun", false, FOld, SideFileStart().left(7), Removed, FOld},
        {"stale side from a backup", false, FOld, SideFileBytes(mine, backupOld, backupNew),
         SetAside, FOld},
        {"side for other content", false, FOld, SideFileBytes(mine, backupNew, FNew), SetAside,
         FOld},
        {"side of another list with the same content", false, FOld,
         SideFileBytes(other, FOld, FNew), SetAside, FOld},
        {"list changed by a byte from neither", false, neither, side, SetAside, neither},
        {"someone else's file at the name", false, FOld, "my own notes\n", LeftAlone, FOld},
        {"a later side file format", false, FOld, QByteArray("Quillmark save\r\n\x02\0\0\0...", 23),
         LeftAlone, FOld},
        {"state folder: list as the save found it", true, FOld, side, Applied, FNew},
        {"state folder: another list's path", true, FOld,
         SideFileBytes(pathBytes(FDir.filePath("sub/list.qmtd")), FOld, FNew), SetAside, FOld},
        {"state folder: side cut short", true, FOld, side.left(side.size() / 2), Removed, FOld},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString sidePath = c.inStateFolder ? FPlaces.inStateFolder : FPlaces.beside;
        const QString folder = QFileInfo(sidePath).absolutePath();
        ASSERT_TRUE(WriteFileBytes(FList, c.list));
        ASSERT_TRUE(WriteFileBytes(sidePath, c.sideBytes));
        OpenTaskTable(FList, FTable);
        CloseTaskStore(FTable);
        EXPECT_TRUE(ReadFileBytes(FList) == c.listAfter);
        const QStringList warnings = TakeStoreWarnings();
        const QString kept = folder + "/list (unapplied save).qmtd";
        switch (c.outcome) {
        case Applied:
        case Removed:
            EXPECT_FALSE(QFileInfo::exists(sidePath));
            EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
            break;
        case SetAside:
            // Kept as a list of its own beside it, and the user told where.
            EXPECT_FALSE(QFileInfo::exists(sidePath));
            EXPECT_TRUE(ReadFileBytes(kept) == ParseSideFile(c.sideBytes).content);
            ASSERT_EQ(warnings.size(), 1);
            EXPECT_EQ(warnings[0], FPlaces.listPath +
                                       ": a save left over from an earlier session does not "
                                       "belong to the list as it is now and was not applied. It "
                                       "is kept as " +
                                       kept + ".");
            QFile::remove(kept);
            break;
        case LeftAlone:
            EXPECT_TRUE(ReadFileBytes(sidePath) == c.sideBytes);
            EXPECT_TRUE(warnings.isEmpty());
            QFile::remove(sidePath);
            break;
        }
        EXPECT_EQ(folderEntries(FDir.path()), (QStringList{"list.qmtd", "state"}));
        EXPECT_TRUE(folderEntries(QFileInfo(FPlaces.inStateFolder).absolutePath()).isEmpty());
    }
}

TEST_F(SideFileTest, ASetAsideSaveTakesAFreeName)
{
    const QString first = FDir.filePath("list (unapplied save).qmtd");
    ASSERT_TRUE(WriteFileBytes(first, "mine"));
    const QByteArray stale = ListFileOf(tasks(2, 1));
    ASSERT_TRUE(WriteFileBytes(
        FPlaces.beside, SideFileBytes(pathBytes(FPlaces.listPath), ListFileOf(tasks(2)), stale)));
    OpenTaskTable(FList, FTable);
    EXPECT_EQ(FTable.RecordCount(), 11);
    EXPECT_EQ(ReadFileBytes(first), "mine");
    EXPECT_TRUE(ReadFileBytes(FDir.filePath("list (unapplied save 2).qmtd")) == stale);
    EXPECT_TRUE(TakeStoreWarnings().value(0).endsWith("list (unapplied save 2).qmtd."));
}

// The old side file name, a user's file at the new one, and symbolic links there: opens, saves
// and closes never touch them, and saves go to the state folder instead.
TEST_F(SideFileTest, FilesOfOthersAtTheSideFileNamesStay)
{
    const QString target = FDir.filePath("elsewhere/target");
    ASSERT_TRUE(QDir().mkpath(FDir.filePath("elsewhere")));
    struct Case {
        const char* what;
        std::function<void()> plant;
        std::function<void()> check;
    };
    const QByteArray decoy = "a user's own file\n";
    const QByteArray sideLike = SideFileBytes(pathBytes(FPlaces.listPath), FOld, FNew);
    const Case cases[] = {
        {"a user's file at the old name",
         [&] { ASSERT_TRUE(WriteFileBytes(FList + "-save", decoy)); },
         [&] { EXPECT_EQ(ReadFileBytes(FList + "-save"), decoy); }},
        {"a user's file at the side file's name",
         [&] { ASSERT_TRUE(WriteFileBytes(FPlaces.beside, decoy)); },
         [&] { EXPECT_EQ(ReadFileBytes(FPlaces.beside), decoy); }},
        {"a dangling symbolic link", [&] { ASSERT_TRUE(QFile::link(target, FPlaces.beside)); },
         [&] {
             EXPECT_TRUE(QFileInfo(FPlaces.beside).isSymLink());
             EXPECT_FALSE(QFileInfo::exists(target));
         }},
        {"a symbolic link to a file",
         [&] {
             ASSERT_TRUE(WriteFileBytes(target, sideLike));
             ASSERT_TRUE(QFile::link(target, FPlaces.beside));
         },
         [&] {
             EXPECT_TRUE(QFileInfo(FPlaces.beside).isSymLink());
             EXPECT_TRUE(ReadFileBytes(target) == sideLike);
         }},
        {"a symbolic link in the state folder",
         [&] { ASSERT_TRUE(QFile::link(target, FPlaces.inStateFolder)); },
         [&] {
             EXPECT_TRUE(QFileInfo(FPlaces.inStateFolder).isSymLink());
             EXPECT_FALSE(QFileInfo::exists(target));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(FList, FOld));
        c.plant();
        // A read-only open, an open for writing with two saves, and a close.
        {
            TdbToDoFile readOnly(FList, TOpenAccess::ReadOnly);
            EXPECT_TRUE(readOnly.ReadDataPacket() == FOld.mid(SignatureSchema2.size()));
        }
        c.check();
        OpenTaskTable(FList, FTable);
        EXPECT_TRUE(ReadFileBytes(FList) == FOld); // never applied through a link
        FTable.SetIndexName(QString());
        MarkTaskCompleted(FTable, 1);
        MarkTaskCompleted(FTable, 2);
        c.check();
        CloseTaskStore(FTable);
        c.check();
        EXPECT_TRUE(TakeStoreWarnings().isEmpty());
        OpenTaskTable(FList, FTable);
        EXPECT_EQ(FTable.RecordCount(), 11);
        CloseTaskStore(FTable);
        c.check();
        for (const QString& name : {FList + "-save", FPlaces.beside, FPlaces.inStateFolder})
            QFile::remove(name);
        QFile::remove(target);
    }
}

// A read-only open writes, renames and removes nothing. It shows the list as the next open for
// writing will make it, and says so.
TEST_F(SideFileTest, AReadOnlyOpenTouchesNothing)
{
    const QByteArray torn = FNew.left(100) + FOld.mid(100);
    const QByteArray side = SideFileBytes(pathBytes(FPlaces.listPath), FOld, FNew);
    const QByteArray stale =
        SideFileBytes(pathBytes(FPlaces.listPath), ListFileOf(tasks(1)), ListFileOf(tasks(1, 0)));
    struct Case {
        const char* what;
        QByteArray list;
        QByteArray sideBytes;
        QByteArray shown;
        QString warning; // its start
    };
    const Case cases[] = {
        {"a save to finish", torn, side, FNew,
         FPlaces.listPath + ": a save of this list was interrupted; it is shown as saved"},
        {"a stale save", FOld, stale, FOld,
         FPlaces.listPath + ": a save left over from an earlier session does not belong"},
        {"a save done already", FNew, side, FNew, QString()},
        {"a save cut short", FOld, side.left(300), FOld, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(FList, c.list));
        ASSERT_TRUE(WriteFileBytes(FPlaces.beside, c.sideBytes));
        {
            TdbToDoFile readOnly(FList, TOpenAccess::ReadOnly);
            EXPECT_TRUE(readOnly.ReadDataPacket() == c.shown.mid(SignatureSchema2.size()));
        }
        const QStringList warnings = TakeStoreWarnings();
        if (c.warning.isEmpty()) {
            EXPECT_TRUE(warnings.isEmpty());
        } else {
            EXPECT_TRUE(warnings.value(0).startsWith(c.warning)) << warnings.value(0).toStdString();
        }
        EXPECT_TRUE(ReadFileBytes(FList) == c.list);
        EXPECT_TRUE(ReadFileBytes(FPlaces.beside) == c.sideBytes);
        EXPECT_EQ(folderEntries(FDir.path()),
                  (QStringList{".list.qmtd.quillmark-save", "list.qmtd", "state"}));
    }
}

// The side file is found from the list's canonical path, whatever name the list is opened by.
TEST_F(SideFileTest, AListOpenedThroughALinkFindsItsSideFile)
{
    const QString link = FDir.filePath("link.qmtd");
    ASSERT_TRUE(QFile::link(FList, link));
    EXPECT_EQ(SideFilesOf(link).beside, FPlaces.beside);
    EXPECT_EQ(SideFilesOf(link).inStateFolder, FPlaces.inStateFolder);
    ASSERT_TRUE(WriteFileBytes(FPlaces.inStateFolder,
                               SideFileBytes(pathBytes(FPlaces.listPath), FOld, FNew)));
    OpenTaskTable(link, FTable);
    EXPECT_TRUE(ReadFileBytes(FList) == FNew);
    EXPECT_FALSE(QFileInfo::exists(FPlaces.inStateFolder));
}

// A new list never takes a save left from an earlier list of its name.
TEST_F(SideFileTest, ASideFileLeftFromAnEarlierListIsSetAside)
{
    const QString fresh = FDir.filePath("fresh.qmtd");
    const SideFilePlaces places = SideFilesOf(fresh);
    // A save of an earlier, empty list of that name, which would fit the new one.
    const QByteArray stale =
        SideFileBytes(pathBytes(places.listPath), ListFileOf({}), ListFileOf(tasks(3)));
    ASSERT_TRUE(WriteFileBytes(places.beside, stale));
    OpenTaskTable(fresh, FTable);
    EXPECT_EQ(FTable.RecordCount(), 0);
    EXPECT_EQ(ReadFileBytes(fresh), ListFileOf({}));
    EXPECT_FALSE(QFileInfo::exists(places.beside));
    EXPECT_TRUE(ReadFileBytes(FDir.filePath("fresh (unapplied save).qmtd")) ==
                ListFileOf(tasks(3)));
    EXPECT_EQ(TakeStoreWarnings().size(), 1);
}

// With both places for the side file taken by files of others, a save fails, creates nothing
// through the link, and leaves the table as the file is.
TEST_F(SideFileTest, ASaveWithNowhereForItsSideFileFailsCleanly)
{
    const QString target = FDir.filePath("target");
    ASSERT_TRUE(WriteFileBytes(FPlaces.beside, "mine"));
    ASSERT_TRUE(QFile::link(target, FPlaces.inStateFolder));
    OpenTaskTable(FList, FTable);
    FTable.SetIndexName(QString());
    try {
        MarkTaskCompleted(FTable, 5);
        ADD_FAILURE() << "saved";
    } catch (const TaskStoreError& e) {
        EXPECT_TRUE(e.message().startsWith(FList + " could not be saved: Cannot open " +
                                           FPlaces.beside + ": File exists; Cannot open " +
                                           FPlaces.inStateFolder + ": File exists"))
            << e.message().toStdString();
    }
    FTable.SetRecNo(5);
    EXPECT_EQ(FTable.AsDateTime(TaskField::Completed), NullDate);
    EXPECT_TRUE(ReadFileBytes(FList) == FOld);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(ReadFileBytes(FPlaces.beside), "mine");
}
