// Settings files as people and other programs leave them: damaged, commented, holding file
// names that are not UTF-8. Nothing that can be read is lost, and nothing is rewritten before a
// copy of the file as it was is kept.

#include "app/settings.h"
#include "app/settings_store.h"
#include "platform/file_names.h"
#include "platform/settings_backend.h"
#include "shared/todo_global.h"
#include "temp_config.h"

#include <QDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Type = SettingsValue::Type;

class DamageTest : public TempConfig {
protected:
    // The copies kept beside the settings file.
    QStringList copies() const
    {
        return QDir(FDir.path() + "/Quillmark")
            .entryList({"Quillmark ToDo (unreadable *).conf"}, QDir::Files);
    }
    QByteArray copyContent(const QString& name) const
    {
        QFile file(FDir.path() + "/Quillmark/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

struct Expected {
    const char* section;
    const char* name;
    std::optional<Type> type;
    QString text;
    qint32 number;
};

void expectValues(SettingsBackend& backend, const std::vector<Expected>& values,
                  const char* caseName)
{
    for (const Expected& e : values) {
        const std::optional<SettingsValue> value = backend.read(e.section, e.name);
        ASSERT_EQ(value.has_value(), e.type.has_value()) << caseName << ": " << e.name;
        if (!value)
            continue;
        EXPECT_EQ(value->type, *e.type) << caseName << ": " << e.name;
        EXPECT_EQ(value->text, e.text) << caseName << ": " << e.name;
        EXPECT_EQ(value->number, e.number) << caseName << ": " << e.name;
    }
}

TEST_F(DamageTest, AFileReadInPartKeepsWhatCanBeReadAndACopyAndTellsOnce)
{
    struct Case {
        const char* name;
        QByteArray file;
        std::vector<Expected> values;
    };
    const Case cases[] = {
        {"header without its closing bracket",
         "[Settings\nFTaskSortMode=dword:4\nDisplayFont=sz:\"DejaVu Sans\"\n",
         {{"Settings", "FTaskSortMode", Type::Integer, "", 4},
          {"Settings", "DisplayFont", Type::String, "DejaVu Sans", 0}}},
        {"header without its opening bracket, then a good one",
         "Settings]\nDisplayFontSize=dword:14\n[MainFormState]\nSaved=sz:\"1\"\n",
         {{"Settings", "DisplayFontSize", Type::Integer, "", 14},
          {"MainFormState", "Saved", Type::String, "1", 0}}},
        {"header with more behind it",
         "[Settings] x\nLastOpenFile=sz:\"/l/a.qmtd\"\n",
         {{"Settings", "LastOpenFile", Type::String, "/l/a.qmtd", 0}}},
        {"recent files without their closing quote",
         "[Settings]\nRecentOpenFiles=sz:\"/l/a.qmtd,\\\"/l/b,c.qmtd\\\"\nFTaskSortMode=dword:1\n",
         {{"Settings", "RecentOpenFiles", Type::String, "/l/a.qmtd,\"/l/b,c.qmtd\"", 0},
          {"Settings", "FTaskSortMode", Type::Integer, "", 1}}},
        {"text after the closing quote",
         "[Settings]\nDisplayFont=sz:\"Verdana\" bold\n",
         {{"Settings", "DisplayFont", Type::String, "Verdana", 0}}},
        {"an escape the writer never writes",
         "[Settings]\nLastOpenFile=sz:\"C:\\lists\\a.qmtd\"\n",
         {{"Settings", "LastOpenFile", Type::String, "C:\\lists\\a.qmtd", 0}}},
        {"values written without a type",
         "[Settings]\nDisplayFont=DejaVu Serif\nFTaskSortMode=4\n",
         {{"Settings", "DisplayFont", Type::String, "DejaVu Serif", 0},
          {"Settings", "FTaskSortMode", Type::String, "4", 0}}},
        {"a line that is no setting among good ones",
         "[Settings]\nDisplayFontSize=dword:12\nthis is not a setting\nDisplayFont=sz:\"Arial\"\n",
         {{"Settings", "DisplayFontSize", Type::Integer, "", 12},
          {"Settings", "DisplayFont", Type::String, "Arial", 0}}},
        {"a number that is none",
         "[Settings]\nFTaskSortMode=dword:4x\nDisplayFontSize=dword:9\n",
         {{"Settings", "FTaskSortMode", std::nullopt, "", 0},
          {"Settings", "DisplayFontSize", Type::Integer, "", 9}}},
        {"a value given twice",
         "[Settings]\nDisplayFont=sz:\"First\"\ndisplayfont=sz:\"Second\"\n",
         {{"Settings", "DisplayFont", Type::String, "First", 0}}},
        {"a value before any section",
         "DisplayFont=sz:\"Lost\"\n[Settings]\nDisplayFontSize=dword:8\n",
         {{"Settings", "DisplayFont", std::nullopt, "", 0},
          {"Settings", "DisplayFontSize", Type::Integer, "", 8}}},
    };
    for (const Case& c : cases) {
        QDir(FDir.path() + "/Quillmark").removeRecursively();
        writeConfig(c.file);
        {
            SettingsBackend backend;
            expectValues(backend, c.values, c.name);
            const std::optional<SettingsDamage> damage = backend.takeDamage();
            ASSERT_TRUE(damage.has_value()) << c.name;
            EXPECT_FALSE(damage->problems.isEmpty()) << c.name;
            EXPECT_TRUE(damage->problems.front().startsWith("line ")) << c.name;
            ASSERT_EQ(copies().size(), 1) << c.name;
            EXPECT_EQ(damage->copy, FDir.path() + "/Quillmark/" + copies().front()) << c.name;
            EXPECT_EQ(copyContent(copies().front()), c.file) << c.name;
            EXPECT_FALSE(backend.takeDamage().has_value()) << c.name << ": told once";
            // Closing writes a value: the file is rewritten mended, the copy stays as it was.
            backend.writeString("Settings", "LastOpenFile", "/l/closing.qmtd");
            EXPECT_FALSE(backend.takeDamage().has_value()) << c.name;
        }
        EXPECT_EQ(copies().size(), 1) << c.name;
        EXPECT_EQ(copyContent(copies().front()), c.file) << c.name;
        SettingsBackend again;
        std::vector<Expected> values = c.values;
        std::erase_if(values,
                      [](const Expected& e) { return qstrcmp(e.name, "LastOpenFile") == 0; });
        expectValues(again, values, c.name);
        EXPECT_EQ(again.read("Settings", "LastOpenFile")->text, "/l/closing.qmtd") << c.name;
        EXPECT_FALSE(again.takeDamage().has_value()) << c.name << ": the rewrite reads whole\n"
                                                     << readConfig().toStdString();
    }
}

TEST_F(DamageTest, TheUserIsToldWhatWasWrongAndWhereTheCopyIs)
{
    writeConfig("[Settings\nFTaskSortMode=dword:5\nnonsense\n");
    SettingsStore store;
    quint8 order = 0;
    LoadSettings(store, {}, order);
    EXPECT_EQ(order, smTiDePrCr);
    const std::optional<QString> notice = SettingsDamageNotice(store);
    ASSERT_TRUE(notice.has_value());
    EXPECT_TRUE(notice->contains(QDir::toNativeSeparators(configPath()))) << notice->toStdString();
    EXPECT_TRUE(notice->contains("line 1 ([Settings)")) << notice->toStdString();
    EXPECT_TRUE(notice->contains("line 3 (nonsense): not a setting")) << notice->toStdString();
    ASSERT_EQ(copies().size(), 1);
    EXPECT_TRUE(notice->contains(copies().front())) << notice->toStdString();
    SaveSettings(store, order);
    EXPECT_FALSE(SettingsDamageNotice(store).has_value());
    // The next run reads the mended file whole: nothing to tell, no second copy.
    SettingsStore next;
    LoadSettings(next, {}, order);
    EXPECT_FALSE(SettingsDamageNotice(next).has_value());
    EXPECT_EQ(order, smTiDePrCr);
    EXPECT_EQ(copies().size(), 1);
    EXPECT_TRUE(readConfig().contains("; unreadable: nonsense\n")) << readConfig().toStdString();
}

TEST_F(DamageTest, CommentsBlankLinesAndOtherTypesStayWhereTheyWere)
{
    const QByteArray file = "# my settings, by hand\n"
                            "\n"
                            "[Settings]\n"
                            "; the list I use most\n"
                            "LastOpenFile = sz:\"/l/old.qmtd\"\n"
                            "Blob=binary:00ff\n"
                            "   ; indented note\n"
                            "\n"
                            "[Other]\n"
                            "Kept=dword:1\n";
    writeConfig(file);
    {
        SettingsStore store;
        RecentFiles = {"/l/new.qmtd"};
        LastOpenFileName = "/l/new.qmtd";
        SaveSettings(store, smDePrTiCr);
        EXPECT_FALSE(store.backend().takeDamage().has_value());
    }
    RecentFiles.clear();
    LastOpenFileName.clear();
    EXPECT_EQ(readConfig(), "# my settings, by hand\n"
                            "\n"
                            "[Settings]\n"
                            "; the list I use most\n"
                            "LastOpenFile=sz:\"/l/new.qmtd\"\n"
                            "Blob=binary:00ff\n"
                            "RecentOpenFiles=sz:\"/l/new.qmtd\"\n"
                            "FTaskSortMode=dword:2\n"
                            "DisplayFont=sz:\"Verdana\"\n"
                            "DisplayFontSize=dword:10\n"
                            "   ; indented note\n"
                            "\n"
                            "[Other]\n"
                            "Kept=dword:1\n");
    EXPECT_TRUE(copies().isEmpty());
}

TEST_F(DamageTest, AFileAsWrittenBeforeIsReadWholeAndWrittenTheSame)
{
    const QByteArray file = "; Quillmark settings. Values: sz:\"text\" or dword:number.\n"
                            "\n"
                            "[MainFormState]\n"
                            "Maximized=sz:\"0\"\n"
                            "Left=dword:10\n"
                            "Saved=sz:\"1\"\n"
                            "\n"
                            "[Settings]\n"
                            "RecentOpenFiles=sz:\"\\\"/l/a,b.qmtd\\\",/l/\\u00e9t\\u00e9.qmtd\"\n"
                            "LastOpenFile=sz:\"/l/\\udce9.qmtd\"\n"
                            "FTaskSortMode=dword:5\n";
    writeConfig(file);
    SettingsStore store;
    quint8 order = 0;
    LoadSettings(store, {}, order);
    EXPECT_EQ(RecentFiles, QStringList({"/l/a,b.qmtd", QString::fromUtf8("/l/été.qmtd")}));
    // The lone surrogate of today's \u escape is the byte it stands for.
    EXPECT_EQ(EncodeFileName(LastOpenFileName), "/l/\xE9.qmtd");
    EXPECT_FALSE(store.backend().takeDamage().has_value());
    store.WriteInteger("Settings", "FTaskSortMode", 5);
    store.WriteBool("MainFormState", "Saved", true);
    EXPECT_EQ(readConfig(), file);
    RecentFiles.clear();
    LastOpenFileName.clear();
}

TEST_F(DamageTest, AnUnclosedQuoteInTheRecentListKeepsEveryNameInIt)
{
    // The quote around the value, or the one around a name holding a comma, runs to the end of
    // the line: the names before it and the one it opens stay, and a save writes them whole.
    struct Case {
        const char* name;
        QByteArray value;
        QStringList recent;
        bool damaged;
    };
    const Case cases[] = {
        {"the value's closing quote", "sz:\"/l/a.qmtd,/l/b.qmtd", {"/l/a.qmtd", "/l/b.qmtd"}, true},
        {"a name's closing quote",
         "sz:\"/l/a.qmtd,\\\"/l/b,c.qmtd\"",
         {"/l/a.qmtd", "/l/b,c.qmtd"},
         false},
        {"both", "sz:\"/l/a.qmtd,\\\"/l/b,c.qmtd", {"/l/a.qmtd", "/l/b,c.qmtd"}, true},
    };
    for (const Case& c : cases) {
        QDir(FDir.path() + "/Quillmark").removeRecursively();
        writeConfig("[Settings]\nRecentOpenFiles=" + c.value + "\nFTaskSortMode=dword:4\n");
        {
            SettingsStore store;
            quint8 order = 0;
            LoadSettings(store, {}, order);
            EXPECT_EQ(RecentFiles, c.recent) << c.name;
            EXPECT_EQ(order, smPrDeTiCr) << c.name;
            EXPECT_EQ(SettingsDamageNotice(store).has_value(), c.damaged) << c.name;
            SaveSettings(store, order);
        }
        RecentFiles.clear();
        SettingsStore store;
        quint8 order = 0;
        LoadSettings(store, {}, order);
        EXPECT_EQ(RecentFiles, c.recent) << c.name << "\n" << readConfig().toStdString();
        EXPECT_FALSE(SettingsDamageNotice(store).has_value()) << c.name;
        RecentFiles.clear();
        LastOpenFileName.clear();
    }
}

TEST_F(DamageTest, FileNamesThatAreNotUtf8ComeBackByteForByte)
{
    const QByteArray raw = "/l/caf\xE9 \xFF\xFE.qmtd";
    // Written raw into the file by another program, or kept from a name given on the command
    // line: either way the same bytes come back, and the file stays UTF-8 text.
    for (const bool fromFile : {true, false}) {
        QDir(FDir.path() + "/Quillmark").removeRecursively();
        if (fromFile)
            writeConfig("[Settings]\nRecentOpenFiles=sz:\"" + raw +
                        ",/l/b.qmtd\"\nLastOpenFile=sz:\"" + raw + "\"\n");
        {
            SettingsStore store;
            quint8 order = 0;
            LoadSettings(store, {}, order);
            if (!fromFile) {
                RecentFiles = {DecodeFileName(raw), "/l/b.qmtd"};
                LastOpenFileName = DecodeFileName(raw);
            }
            ASSERT_EQ(RecentFiles.size(), 2) << fromFile;
            EXPECT_EQ(EncodeFileName(RecentFiles[0]), raw) << fromFile;
            EXPECT_EQ(EncodeFileName(LastOpenFileName), raw) << fromFile;
            EXPECT_FALSE(store.backend().takeDamage().has_value()) << fromFile;
            SaveSettings(store, order);
        }
        const QByteArray written = readConfig();
        EXPECT_TRUE(written.contains("LastOpenFile=sz:\"/l/caf\\xE9 \\xFF\\xFE.qmtd\"\n"))
            << written.toStdString();
        EXPECT_FALSE(HasUndecodedBytes(DecodeFileName(written))) << "the file is UTF-8";
        RecentFiles.clear();
        LastOpenFileName.clear();
        SettingsStore store;
        quint8 order = 0;
        LoadSettings(store, {}, order);
        ASSERT_EQ(RecentFiles.size(), 2);
        EXPECT_EQ(EncodeFileName(RecentFiles[0]), raw);
        EXPECT_EQ(RecentFiles[1], "/l/b.qmtd");
        EXPECT_EQ(EncodeFileName(LastOpenFileName), raw);
        RecentFiles.clear();
        LastOpenFileName.clear();
    }
}

#ifndef Q_OS_WIN
TEST_F(DamageTest, AFileThatCannotBeCopiedIsNeverRewritten)
{
    // The folder is the owner's alone, so an ordinary user can read the file but copy nothing
    // beside it; the test runs that user in a child process.
    const QByteArray file = "[Settings\nFTaskSortMode=dword:3\n";
    writeConfig(file);
    const QByteArray folder = QFile::encodeName(FDir.path() + "/Quillmark");
    ASSERT_EQ(::chmod(folder.constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(configPath()).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the child as an ordinary user";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        SettingsBackend backend;
        const std::optional<SettingsValue> order = backend.read("Settings", "FTaskSortMode");
        if (!order || order->number != 3)
            ::_exit(11);
        const std::optional<SettingsDamage> damage = backend.takeDamage();
        if (!damage || !damage->copy.isEmpty())
            ::_exit(12);
        try {
            backend.writeInteger("Settings", "FTaskSortMode", 1);
            ::_exit(13);
        } catch (const SettingsError&) {
        }
        ::_exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readConfig(), file);
    EXPECT_TRUE(copies().isEmpty());
}
#endif

} // namespace
