#include "platform/settings_backend.h"
#include "temp_config.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using BackendTest = TempConfig;
using Type = SettingsValue::Type;

TEST_F(BackendTest, FollowsXdgConfigHomeAndCreatesTheStoreAtFirstRead)
{
    EXPECT_EQ(DefaultSettingsFilePath(), configPath());
    SettingsBackend backend;
    EXPECT_FALSE(backend.read("Settings", "LastOpenFile").has_value());
    EXPECT_TRUE(QFileInfo(configPath()).isFile());
    EXPECT_EQ(backend.location(), configPath());
}

TEST_F(BackendTest, RelativeXdgConfigHomeIsIgnored)
{
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(DefaultSettingsFilePath(),
              QDir::homePath() + "/.config/Quillmark/Quillmark ToDo.conf");
}

TEST_F(BackendTest, StringsSurviveTheFileWhateverTheyHold)
{
    const QString texts[] = {
        "",
        "plain",
        " leading and trailing spaces ",
        "line one\nline two\r\nthree",
        "quote \" backslash \\ tab \t end\\",
        "\\u0041 is not an escape here",
        "sz:\"nested\"",
        QString::fromUtf8("Ünïcödé 日本 \xF0\x9F\x93\x9D"),
        QString(QChar(0xD800)) + "lone surrogate" + QChar(0xDC00),
        QString(QChar(0)) + QChar(0x7f) + QChar(0x2028),
    };
    {
        SettingsBackend backend;
        for (int i = 0; i < int(std::size(texts)); ++i)
            backend.writeString("Settings", QString("Value%1").arg(i), texts[i]);
        backend.writeInteger("Settings", "Number", -2147483647 - 1);
    }
    SettingsBackend backend;
    for (int i = 0; i < int(std::size(texts)); ++i) {
        const std::optional<SettingsValue> value =
            backend.read("Settings", QString("Value%1").arg(i));
        ASSERT_TRUE(value.has_value()) << i;
        EXPECT_EQ(value->type, Type::String) << i;
        EXPECT_EQ(value->text, texts[i]) << i;
    }
    const std::optional<SettingsValue> number = backend.read("Settings", "Number");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->type, Type::Integer);
    EXPECT_EQ(number->number, -2147483647 - 1);
}

TEST_F(BackendTest, OddNamesAndSectionsSurviveTheFile)
{
    const QString names[] = {"a=b", "[x]", " spaced ", "semi;colon", "quote\"", "new\nline"};
    {
        SettingsBackend backend;
        for (const QString& name : names)
            backend.writeString(name, name, name + "!");
    }
    SettingsBackend backend;
    for (const QString& name : names) {
        const std::optional<SettingsValue> value = backend.read(name, name);
        ASSERT_TRUE(value.has_value()) << name.toStdString();
        EXPECT_EQ(value->text, name + "!");
    }
}

TEST_F(BackendTest, ReadsHandWrittenFilesAndKeepsUnknownTypes)
{
    writeConfig("; comment\r\n"
                "Orphan=sz:\"no section\"\n"
                "[settings]\r\n"
                "  FTaskSortMode = dword:4294967295\n"
                "Blob=binary:00ff10\n"
                "BadString=sz:\"unclosed\n"
                "BadNumber=dword:12x\n"
                "Expand=expand_sz:\"%HOME%\"\n"
                "Twice=sz:\"first\"\n"
                "Twice=sz:\"second\"\n"
                "[broken\n"
                "Lost=sz:\"under a broken header\"\n");
    SettingsBackend backend;
    struct Case {
        const char* section;
        const char* name;
        std::optional<Type> type;
        QString text;
        qint32 number;
    };
    const Case cases[] = {
        {"Settings", "ftasksortmode", Type::Integer, "", -1},
        {"Settings", "Blob", Type::Other, "", 0},
        {"Settings", "BadString", Type::String, "unclosed", 0},
        {"Settings", "BadNumber", std::nullopt, "", 0},
        {"Settings", "Expand", Type::String, "%HOME%", 0},
        {"Settings", "Twice", Type::String, "first", 0},
        {"Settings", "Orphan", std::nullopt, "", 0},
        {"broken", "Lost", Type::String, "under a broken header", 0},
        {"Settings", "Lost", std::nullopt, "", 0},
    };
    for (const Case& c : cases) {
        const std::optional<SettingsValue> value = backend.read(c.section, c.name);
        ASSERT_EQ(value.has_value(), c.type.has_value()) << c.name;
        if (!value)
            continue;
        EXPECT_EQ(value->type, *c.type) << c.name;
        EXPECT_EQ(value->text, c.text) << c.name;
        EXPECT_EQ(value->number, c.number) << c.name;
    }

    // Writing another value keeps a value of a foreign type exactly as it was.
    backend.writeInteger("Settings", "FTaskSortMode", 3);
    EXPECT_TRUE(readConfig().contains("Blob=binary:00ff10\n"));
    EXPECT_EQ(backend.read("SETTINGS", "FTaskSortMode")->number, 3);
}

TEST_F(BackendTest, WritesKeepValuesWrittenMeanwhileByAnotherInstance)
{
    SettingsBackend first;
    SettingsBackend second;
    first.writeString("Settings", "LastOpenFile", "a.qmtd");
    second.writeString("MainFormState", "Saved", "1");
    first.writeInteger("Settings", "DisplayFontSize", 12);
    SettingsBackend reader;
    EXPECT_EQ(reader.read("Settings", "LastOpenFile")->text, "a.qmtd");
    EXPECT_EQ(reader.read("MainFormState", "Saved")->text, "1");
    EXPECT_EQ(reader.read("Settings", "DisplayFontSize")->number, 12);
}

TEST_F(BackendTest, FailuresAreReportedAsSettingsErrors)
{
    // A folder where the settings file should be: it can be neither read nor replaced.
    QDir().mkpath(configPath());
    SettingsBackend backend;
    EXPECT_THROW(backend.writeString("Settings", "LastOpenFile", "x"), SettingsError);
}

} // namespace
