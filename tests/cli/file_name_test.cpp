// qmtd with file names and texts that are not UTF-8. The arguments go to the program as raw bytes
// (QProcess would re-encode them), and the folder is read as the file system holds it.

#include <QByteArrayList>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RawRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray slurp(const QByteArray& path)
{
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RawNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FRoot = QFile::encodeName(FDir.path());
        FLists = FRoot + "/lists";
        ASSERT_EQ(::mkdir(FLists.constData(), 0700), 0);
    }
    void TearDown() override
    {
        // QTemporaryDir cannot spell these names; remove them here.
        for (const QByteArray& name : entries())
            ::unlink((FLists + '/' + name).constData());
        ::rmdir(FLists.constData());
    }

    // Runs qmtd in the lists folder with exactly these argument bytes.
    RawRun qmtd(const QByteArrayList& args) const
    {
        const QByteArray program = QM_QMTD;
        const QByteArray outPath = FRoot + "/out", errPath = FRoot + "/err";
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv{const_cast<char*>(program.constData())};
            for (const QByteArray& a : args)
                argv.push_back(const_cast<char*>(a.constData()));
            argv.push_back(nullptr);
            const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
                ::chdir(FLists.constData()) != 0)
                ::_exit(127);
            ::execv(program.constData(), argv.data());
            ::_exit(127);
        }
        RawRun r;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            r.status = WEXITSTATUS(status);
        r.out = slurp(outPath);
        r.err = slurp(errPath);
        return r;
    }

    // The names in the lists folder, sorted, as bytes.
    QByteArrayList entries() const
    {
        QByteArrayList names;
        if (DIR* d = ::opendir(FLists.constData())) {
            while (const dirent* e = ::readdir(d))
                if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                    names.append(QByteArray(e->d_name));
            ::closedir(d);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    QByteArray content(const QByteArray& name) const { return slurp(FLists + '/' + name); }

    QTemporaryDir FDir;
    QByteArray FRoot;
    QByteArray FLists;
};

TEST_F(RawNamesTest, ANameThatIsNotUtf8IsCreatedOpenedAndChangedUnderItsOwnBytes)
{
    const QByteArray name = "new\xFF.qmtd";
    RawRun r = qmtd({"new", name});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.out, "created new\\xFF.qmtd\n");
    EXPECT_EQ(entries(), QByteArrayList({name}));

    for (const QByteArray title : {"first", "second"}) {
        r = qmtd({"add", name, title});
        EXPECT_EQ(r.status, 0) << r.err.constData();
    }
    r = qmtd({"page", name});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("first") && r.out.contains("second"));
    r = qmtd({"done", name, "1"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    r = qmtd({"dump", name});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("first") && r.out.contains("second"));
    // No twin under the U+FFFD spelling, no side file left behind.
    EXPECT_EQ(entries(), QByteArrayList({name}));
}

TEST_F(RawNamesTest, AnExistingListUnderALatin1NameKeepsItsTasks)
{
    ASSERT_EQ(qmtd({"new", "made.qmtd"}).status, 0);
    ASSERT_EQ(qmtd({"add", "made.qmtd", "kept"}).status, 0);
    const QByteArray name = "caf\xE9.qmtd";
    ASSERT_EQ(::rename((FLists + "/made.qmtd").constData(), (FLists + '/' + name).constData()), 0);

    RawRun r = qmtd({"add", name, "added"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    r = qmtd({"page", name});
    EXPECT_TRUE(r.out.contains("kept") && r.out.contains("added")) << r.out.constData();
    r = qmtd({"new", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qmtd: caf\\xE9.qmtd already exists.\n");
    EXPECT_EQ(entries(), QByteArrayList({name}));
}

TEST_F(RawNamesTest, AMissingNameIsReportedAsItIsSpelled)
{
    const RawRun r = qmtd({"page", "gone\xFF.qmtd"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qmtd: gone\\xFF.qmtd does not exist.\n");
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(RawNamesTest, TextThatIsNotUtf8IsRefusedAndTheListIsUntouched)
{
    ASSERT_EQ(qmtd({"new", "l.qmtd"}).status, 0);
    ASSERT_EQ(qmtd({"add", "l.qmtd", "t"}).status, 0);
    const QByteArray before = content("l.qmtd");
    struct Case {
        QByteArrayList args;
        QByteArray message;
    };
    const Case cases[] = {
        {{"add", "l.qmtd", "bad\xFFtitle"}, "the argument \"bad\\xFFtitle\""},
        {{"add", "l.qmtd", "t", "--details", "caf\xE9"}, "the value of --details \"caf\\xE9\""},
        {{"add", "l.qmtd", "t", "--category=\xC3"}, "the value of --category \"\\xC3\""},
        {{"done", "l.qmtd", "1\xFF"}, "the argument \"1\\xFF\""},
        {{"done", "l.qmtd", "1", "--order", "sm\xFF"}, "the value of --order \"sm\\xFF\""},
    };
    for (const Case& c : cases) {
        const RawRun r = qmtd(c.args);
        EXPECT_EQ(r.status, 2) << c.message.constData();
        EXPECT_EQ(r.err, "qmtd: " + c.message + " is not valid UTF-8 text\n");
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(content("l.qmtd"), before) << c.message.constData();
    }
    // Valid UTF-8 beyond ASCII is ordinary text.
    const RawRun r = qmtd({"add", "l.qmtd", "K\xC3\xA4se", "--details", "\xE2\x82\xAC 5"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(qmtd({"page", "l.qmtd"}).out.contains("K\xC3\xA4se"));
}

} // namespace

#endif
