#include "app/comma_text.h"
#include "app/form_placement.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "shared/todo_global.h"
#include "temp_config.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public TempConfig {
protected:
    void SetUp() override
    {
        TempConfig::SetUp();
        RecentFiles = {"stale"};
        LastOpenFileName = "stale";
        DisplayFontName = "stale";
        DisplayFontSize = -1;
        FOldCurrent = QDir::currentPath();
    }
    void TearDown() override
    {
        QDir::setCurrent(FOldCurrent);
        RecentFiles.clear();
        LastOpenFileName.clear();
        DisplayFontName = DefaultDisplayFontName;
        DisplayFontSize = DefaultDisplayFontSize;
        TempConfig::TearDown();
    }

    QString makeFile(const QString& relative) const
    {
        const QString path = FDir.path() + "/" + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }

    QString FOldCurrent;
};

TEST_F(SettingsTest, FirstRunGivesDefaultsAndCreatesTheStore)
{
    SettingsStore store;
    quint8 order = 77;
    LoadSettings(store, {}, order);
    EXPECT_TRUE(RecentFiles.isEmpty());
    EXPECT_EQ(LastOpenFileName, "");
    EXPECT_EQ(order, smDePrTiCr);
    EXPECT_EQ(DisplayFontName, "Verdana");
    EXPECT_EQ(DisplayFontSize, 10);
    EXPECT_TRUE(QFileInfo::exists(configPath()));
}

TEST_F(SettingsTest, SavedValuesLoadBack)
{
    {
        SettingsStore store;
        RecentFiles = {"/lists/a,b.qmtd", "", "/lists/Work.qmtd"};
        LastOpenFileName = "";
        DisplayFontName = "DejaVu Sans";
        DisplayFontSize = 14;
        SaveSettings(store, smTiDePrCr);
    }
    const QByteArray file = readConfig();
    EXPECT_TRUE(file.contains("[Settings]\n"
                              "RecentOpenFiles=sz:\"\\\"/lists/a,b.qmtd\\\",,/lists/Work.qmtd\"\n"
                              "LastOpenFile=sz:\"\"\n"
                              "FTaskSortMode=dword:5\n"
                              "DisplayFont=sz:\"DejaVu Sans\"\n"
                              "DisplayFontSize=dword:14\n"))
        << file.toStdString();

    RecentFiles.clear();
    LastOpenFileName = "stale";
    DisplayFontName.clear();
    DisplayFontSize = 0;
    SettingsStore store;
    quint8 order = 0;
    LoadSettings(store, {}, order);
    EXPECT_EQ(RecentFiles, QStringList({"/lists/a,b.qmtd", "", "/lists/Work.qmtd"}));
    EXPECT_EQ(LastOpenFileName, "");
    EXPECT_EQ(order, smTiDePrCr);
    EXPECT_EQ(DisplayFontName, "DejaVu Sans");
    EXPECT_EQ(DisplayFontSize, 14);
}

TEST_F(SettingsTest, StoredOrderKeepsItsLowByteAndItsType)
{
    struct Case {
        const char* stored;
        quint8 loaded;
        const char* written;
    };
    const Case cases[] = {
        {"dword:258", 2, "FTaskSortMode=dword:2\n"},
        {"sz:\"4\"", 4, "FTaskSortMode=sz:\"4\"\n"},
        {"sz:\"260\"", 4, "FTaskSortMode=sz:\"4\"\n"},
        {"dword:9", 9, "FTaskSortMode=dword:9\n"},
        {"dword:-1", 255, "FTaskSortMode=dword:255\n"},
        {"sz:\"deadline\"", 2, "FTaskSortMode=sz:\"2\"\n"},
        {"binary:04", 2, "FTaskSortMode=dword:2\n"},
    };
    for (const Case& c : cases) {
        writeConfig(QByteArray("[Settings]\nFTaskSortMode=") + c.stored + "\n");
        SettingsStore store;
        quint8 order = 0;
        LoadSettings(store, {}, order);
        EXPECT_EQ(order, c.loaded) << c.stored;
        SaveSettings(store, order);
        EXPECT_TRUE(readConfig().contains(c.written)) << c.stored << "\n"
                                                      << readConfig().toStdString();
    }
}

TEST_F(SettingsTest, FirstArgumentNamingAnExistingFileReplacesTheLastOpenFile)
{
    makeFile("lists/Home.qmtd");
    const QString absolute = makeFile("Work.qmtd");
    QDir().mkpath(FDir.path() + "/folder.qmtd");
    QDir::setCurrent(FDir.path());

    struct Case {
        QStringList arguments;
        QString expected;
    };
    const Case cases[] = {
        {{}, "stored.qmtd"},
        {{absolute}, absolute},
        {{"lists/Home.qmtd"}, "lists/Home.qmtd"},
        {{"./lists/../Work.qmtd", "lists/Home.qmtd"}, "./lists/../Work.qmtd"},
        {{"missing.qmtd", "Work.qmtd"}, "stored.qmtd"},
        {{"folder.qmtd"}, "stored.qmtd"},
        {{""}, "stored.qmtd"},
    };
    for (const Case& c : cases) {
        writeConfig("[Settings]\nLastOpenFile=sz:\"stored.qmtd\"\n");
        SettingsStore store;
        quint8 order = 0;
        LoadSettings(store, c.arguments, order);
        EXPECT_EQ(LastOpenFileName, c.expected) << c.arguments.join(' ').toStdString();
        // Saved as the last-open file even though it was never opened.
        SaveSettings(store, order);
        EXPECT_EQ(store.ReadString("Settings", "LastOpenFile", ""), c.expected);
    }
}

TEST_F(SettingsTest, CommaTextValueWithOneEmptyEntryIsNotAnEmptyList)
{
    writeConfig("[Settings]\nRecentOpenFiles=sz:\"\\\"\\\"\"\n");
    SettingsStore store;
    quint8 order = 0;
    LoadSettings(store, {}, order);
    EXPECT_EQ(RecentFiles, QStringList({""}));
}

} // namespace
