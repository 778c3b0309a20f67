#include "shared/todo_global.h"

#include <gtest/gtest.h>

namespace {

class RecentFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecentFiles.clear();
        LastOpenFileName.clear();
    }
};

TEST_F(RecentFilesTest, NewestFirstAndCaseFoldedForAsciiOnly)
{
    struct Case {
        QStringList before;
        QString opened;
        QStringList after;
    };
    const Case cases[] = {
        {{}, "a.qmtd", {"a.qmtd"}},
        {{"b", "a"}, "a", {"a", "b"}},
        {{"c:/lists/WORK.qmtd", "x"}, "C:/Lists/Work.qmtd", {"C:/Lists/Work.qmtd", "x"}},
        // Only A to Z fold: a non-ASCII letter in another case is another file.
        {{QString::fromUtf8("\xc3\x84.qmtd")}, QString::fromUtf8("\xc3\xa4.qmtd"),
         {QString::fromUtf8("\xc3\xa4.qmtd"), QString::fromUtf8("\xc3\x84.qmtd")}},
        // Every duplicate goes, not just the first.
        {{"A", "b", "a"}, "a", {"a", "b"}},
    };
    for (const Case& c : cases) {
        RecentFiles = c.before;
        AddRecentFile(c.opened);
        EXPECT_EQ(RecentFiles, c.after) << c.opened.toStdString();
        EXPECT_EQ(LastOpenFileName, c.opened);
    }
}

TEST_F(RecentFilesTest, EleventhFilePushesOutTheOldestAndLongListsAreCut)
{
    for (int i = 0; i < 11; ++i)
        AddRecentFile(QString("f%1").arg(i));
    ASSERT_EQ(RecentFiles.size(), 10);
    EXPECT_EQ(RecentFiles.first(), "f10");
    EXPECT_EQ(RecentFiles.last(), "f1");

    RecentFiles.clear();
    for (int i = 0; i < 14; ++i)
        RecentFiles << QString("g%1").arg(i);
    AddRecentFile("g3");
    ASSERT_EQ(RecentFiles.size(), 10);
    EXPECT_EQ(RecentFiles.first(), "g3");
    EXPECT_EQ(RecentFiles.last(), "g9");
}

TEST(SignatureTest, SchemaTwoIsTheFiftyEightBytesOfTheFormat)
{
    EXPECT_EQ(SignatureSchema2, QByteArray("Quillmark data file schema 2 - https://quillmark.org |1382"));
    EXPECT_EQ(SignatureSchema2.size(), 58);
    EXPECT_EQ(SignatureSchema1.size(), SignatureSchema2.size());
    EXPECT_EQ(SignatureSchema1, QByteArray("Quillmark data file schema 1 - https://quillmark.org |1382"));
}

TEST(SortModeNameTest, NamesRoundTripAndUnknownIsEmpty)
{
    for (int m = 0; m < SortModeCount; ++m)
        EXPECT_EQ(SortModeFromName(SortModeName(m)), m);
    EXPECT_EQ(SortModeName(smDePrTiCr), "smDePrTiCr");
    EXPECT_TRUE(SortModeName(6).isEmpty());
    EXPECT_EQ(SortModeFromName("smdeprticr"), -1);
}

} // namespace
