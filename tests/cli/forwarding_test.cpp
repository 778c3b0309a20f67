// qmtd against the real window, started offscreen with the list open: every command handed to it
// gives what the same command gives on a copy nobody holds; parallel adds; a stalled, a
// malformed and an oversized client; another user; a window that was killed or that stopped
// answering.

#include <QtGlobal>

#ifndef Q_OS_WIN

#include "../support/runtime_folder.h"
#include "../support/window_process.h"
#include "cli/forwarding.h"
#include "cli/remote_protocol.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"
#include "qmtd_process.h"
#include "store/todo_db.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ForwardingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        ASSERT_TRUE(FRuntime.isValid());
        FList = FDir.filePath("list.qmtd");
        FCopy = FDir.filePath("copy.qmtd");
        ASSERT_EQ(RunQmtdProcess({"new", FList}).status, 0);
        for (const char* title : {"first", "second", "third"})
            ASSERT_EQ(RunQmtdProcess({"add", FList, title}).status, 0);
        ASSERT_EQ(RunQmtdProcess({"done", FList, "3"}).status, 0);
        ASSERT_TRUE(QFile::copy(FList, FCopy));
    }
    void TearDown() override { stopWindow(); }

    QString endpoint() const { return EndpointNameFor(FList, false); }

    // Starts the window on the list and waits until it listens for it.
    void startWindow()
    {
        FWindow = std::make_unique<QProcess>();
        ASSERT_TRUE(PrepareWindowProcess(*FWindow, FConfig.path(), FList));
        FWindow->start(QM_QUILLMARK, {FList});
        ASSERT_TRUE(FWindow->waitForStarted());
        for (int i = 0; i < 600; ++i) {
            if (ConnectToEndpoint(FList, 1000))
                return;
            QThread::msleep(50);
        }
        FAIL() << "the window did not listen for its list";
    }
    void stopWindow()
    {
        if (!FWindow)
            return;
        ::kill(pid_t(FWindow->processId()), SIGCONT);
        FWindow->terminate();
        if (!FWindow->waitForFinished(10000)) {
            FWindow->kill();
            FWindow->waitForFinished();
        }
        FWindow.reset();
    }

    QTemporaryDir FDir;
    // Every program started here, the window and each qmtd, meets in this folder.
    TestRuntimeFolder FRuntime;
    QTemporaryDir FConfig;
    QString FList;
    QString FCopy;
    std::unique_ptr<QProcess> FWindow;
};

// The dump without the times of adding and completing, which differ between two commands a
// moment apart (whether a task is completed stays).
QString WithoutTimes(QString text)
{
    static const QRegularExpression times(QStringLiteral("\"(created|completed)\": \"[^\"]*\""));
    return text.replace(times, QStringLiteral("\"\\1\": \"set\""));
}

QStringList WithFile(QStringList args, const QString& file)
{
    args.replaceInStrings(QStringLiteral("FILE"), file);
    return args;
}

int TitleCount(const QString& dump, const QString& title)
{
    int count = 0;
    const QJsonArray tasks =
        QJsonDocument::fromJson(dump.toUtf8()).object()[QStringLiteral("tasks")].toArray();
    for (const QJsonValue& t : tasks)
        if (t.toObject()[QStringLiteral("title")].toString() == title)
            ++count;
    return count;
}

// Sends `bytes` on a connection of its own and returns the answer, or std::nullopt when the
// window closed the connection without one.
std::optional<RemoteAnswer> RawExchange(const QString& list, const QByteArray& bytes)
{
    const std::unique_ptr<QLocalSocket> socket = ConnectToEndpoint(list, 5000);
    if (!socket)
        return std::nullopt;
    socket->write(bytes);
    socket->waitForBytesWritten(5000);
    MessageFrameReader reader(MaxRemoteAnswerBytes);
    const QDeadlineTimer deadline(10000);
    while (reader.readFrom(*socket) == MessageFrameReader::State::Incomplete &&
           !deadline.hasExpired())
        if (!socket->waitForReadyRead(int(deadline.remainingTime())) &&
            socket->state() != QLocalSocket::ConnectedState && socket->bytesAvailable() == 0)
            return std::nullopt;
    if (reader.state() != MessageFrameReader::State::Complete)
        return std::nullopt;
    return DecodeRemoteAnswer(reader.message());
}

} // namespace

TEST_F(ForwardingTest, EveryCommandGivesWhatItGivesOnAListNobodyHolds)
{
    startWindow();
    const std::vector<QStringList> commands = {
        {"list", "FILE"},
        {"list", "FILE", "--completed", "--order", "title"},
        {"dump", "FILE"},
        {"dump", "FILE", "--raw"},
        {"page", "FILE", "--completed"},
        {"add", "FILE", "fourth", "--category", "Work", "--priority", "2"},
        {"add", "FILE", "quiet one", "-q"},
        {"edit", "FILE", "1", "--title", "renamed"},
        {"done", "FILE", "2"},
        {"undo", "FILE", "2"},
        {"again", "FILE", "1", "--deadline", "2030-01-31"},
        {"delete", "FILE", "2", "--yes"},
        {"purge", "FILE", "--yes"},
        {"done", "FILE", "99"},                 // no such task: the same error
        {"edit", "FILE", "1"},                  // nothing to change
        {"frobnicate", "FILE"},                 // not a command
        {"add", "FILE", "", "--category", "x"}, // an empty title
    };
    for (const QStringList& command : commands) {
        const std::string shown = command.join(' ').toStdString();
        const QmtdResult held = RunQmtdProcess(WithFile(command, FList));
        QmtdResult unheld = RunQmtdProcess(WithFile(command, FCopy));
        unheld.out.replace(FCopy, FList);
        unheld.err.replace(FCopy, FList);
        EXPECT_EQ(held.status, unheld.status) << shown << ": " << held.err.toStdString();
        EXPECT_EQ(WithoutTimes(held.out), WithoutTimes(unheld.out)) << shown;
        EXPECT_EQ(held.err, unheld.err) << shown;
        // The window's table after the command is the copy's.
        for (const QStringList& look :
             {QStringList{"page", "FILE", "--completed"}, QStringList{"dump", "FILE"}}) {
            const QmtdResult heldLook = RunQmtdProcess(WithFile(look, FList));
            QmtdResult unheldLook = RunQmtdProcess(WithFile(look, FCopy));
            unheldLook.out.replace(FCopy, FList);
            ASSERT_EQ(heldLook.status, 0) << shown << ": " << heldLook.err.toStdString();
            EXPECT_EQ(WithoutTimes(heldLook.out), WithoutTimes(unheldLook.out))
                << shown << " then " << look.join(' ').toStdString();
        }
    }
    // What the window saved is what it showed: once it has gone, the file says the same.
    const QString shownByWindow = RunQmtdProcess({"dump", FList}).out;
    stopWindow();
    EXPECT_EQ(WithoutTimes(RunQmtdProcess({"dump", FList}).out), WithoutTimes(shownByWindow));
}

TEST_F(ForwardingTest, ADeletionWithoutYesAndWithoutATerminalDeletesNothing)
{
    startWindow();
    const QString before = RunQmtdProcess({"dump", FList}).out;
    for (const QStringList& args :
         {QStringList{"delete", FList, "1"}, QStringList{"purge", FList}}) {
        const QmtdResult r = RunQmtdProcess(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("given --yes; nothing was deleted.")) << r.err.toStdString();
    }
    EXPECT_EQ(RunQmtdProcess({"dump", FList}).out, before);
}

TEST_F(ForwardingTest, TwentyParallelAddsAreEachKeptOnce)
{
    startWindow();
    std::vector<QStringList> adds;
    for (int i = 0; i < 20; ++i)
        adds.push_back({"add", FList, QStringLiteral("parallel %1").arg(i)});
    const std::vector<QmtdResult> results = RunQmtdTogether(adds);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(results[size_t(i)].status, 0)
            << i << ": " << results[size_t(i)].err.toStdString();
    stopWindow();
    const QString dump = RunQmtdProcess({"dump", FList}).out;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(TitleCount(dump, QStringLiteral("parallel %1").arg(i)), 1) << i;
    EXPECT_EQ(QJsonDocument::fromJson(dump.toUtf8())["tasks"].toArray().size(), 23);
}

TEST_F(ForwardingTest, BadRequestsAreRefusedWithAReason)
{
    startWindow();
    const QByteArray valid = EncodeRemoteRequest({FList, {"dump", FList}, {}, {}});
    QByteArray wrongVersion = valid;
    wrongVersion.replace("\"version\":1", "\"version\":7");
    QByteArray oversized(4, '\0');
    oversized[1] = 0x20; // announces 2 MiB and sends none of it
    const struct {
        const char* name;
        QByteArray bytes;
        RemoteRefusal refusal;
        const char* reason;
    } cases[] = {
        {"not JSON", FramedMessage("{\"version\": 1, "), RemoteRefusal::Malformed, "not JSON"},
        {"not an object", FramedMessage("[1]"), RemoteRefusal::Malformed, "not a JSON object"},
        {"no version", FramedMessage("{\"list\":\"x\"}"), RemoteRefusal::Malformed, "no version"},
        {"another version", FramedMessage(wrongVersion), RemoteRefusal::Version,
         "protocol version 7 is unknown"},
        {"no arguments", FramedMessage("{\"version\":1,\"list\":\"/x\",\"arguments\":[]}"),
         RemoteRefusal::Malformed, "\"arguments\""},
        {"over 1 MiB", oversized, RemoteRefusal::TooLarge, "larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        const std::optional<RemoteAnswer> answer = RawExchange(FList, c.bytes);
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->refused, c.refusal) << c.name;
        EXPECT_EQ(answer->status, 1) << c.name;
        EXPECT_TRUE(answer->err.contains(QLatin1String(c.reason)))
            << c.name << ": " << answer->err.toStdString();
    }
    // The window goes on answering.
    const std::optional<RemoteAnswer> answer = RawExchange(FList, FramedMessage(valid));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 0);
    EXPECT_EQ(TitleCount(answer->out, "first"), 1);
}

TEST_F(ForwardingTest, AStalledClientBlocksNobodyAndIsDropped)
{
    startWindow();
    const std::unique_ptr<QLocalSocket> stalled = ConnectToEndpoint(FList, 5000);
    ASSERT_TRUE(stalled);
    stalled->write(QByteArray("\0\0", 2)); // half a length, then nothing
    stalled->waitForBytesWritten(1000);
    QElapsedTimer clock;
    clock.start();
    const QmtdResult add = RunQmtdProcess({"add", FList, "meanwhile"});
    EXPECT_EQ(add.status, 0) << add.err.toStdString();
    // Served while the stalled client still waited (unless starting qmtd itself took that long).
    if (clock.elapsed() < 4000) {
        EXPECT_EQ(stalled->state(), QLocalSocket::ConnectedState);
    }
    // Dropped after five seconds, never answered.
    while (stalled->state() == QLocalSocket::ConnectedState && clock.elapsed() < 15000)
        stalled->waitForDisconnected(500);
    EXPECT_EQ(stalled->state(), QLocalSocket::UnconnectedState);
    EXPECT_GE(clock.elapsed(), 4500);
    EXPECT_EQ(stalled->bytesAvailable(), 0);
}

TEST_F(ForwardingTest, OnlyThisUserReachesTheWindow)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become the user nobody";
    // A list others may change, so that only the endpoint keeps them out.
    ASSERT_EQ(::chmod(FDir.path().toLocal8Bit().constData(), 0777), 0);
    ASSERT_EQ(::chmod(FList.toLocal8Bit().constData(), 0666), 0);
    startWindow();
    struct stat folder = {};
    ASSERT_EQ(::stat(QFileInfo(endpoint()).path().toLocal8Bit().constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.st_uid, ::geteuid());
    const QByteArray before = FileBytes(FList);

    const QmtdResult r = RunQmtdProcess({"add", FList, "intruder"}, QmtdOptions{true, {}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.trimmed(), "qmtd: " + FList +
                                   " can not be opened. It may be in use by another application "
                                   "or is inaccessible.");
    // Nor does a client of its own get through to the socket.
    if (!QFileInfo::exists("/usr/bin/python3"))
        return;
    QProcess direct;
    direct.start("setpriv",
                 {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "/usr/bin/python3", "-c",
                  "import socket,sys\ns=socket.socket(socket.AF_UNIX)\n"
                  "try:\n s.connect(sys.argv[1]); print('connected')\n"
                  "except OSError as e: print(e.errno)",
                  endpoint()});
    ASSERT_TRUE(direct.waitForFinished(20000));
    EXPECT_EQ(direct.readAllStandardOutput().trimmed(), "13"); // EACCES
    EXPECT_EQ(FileBytes(FList), before);
}

TEST_F(ForwardingTest, AWindowThatStopsAnsweringIsNotWaitedForForever)
{
    startWindow();
    ::kill(pid_t(FWindow->processId()), SIGSTOP);
    CliForwarder forwarder;
    forwarder.connectTimeoutMs = 1000;
    forwarder.answerTimeoutMs = 1500;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    CliIo io{outStream, errStream};
    QElapsedTimer clock;
    clock.start();
    try {
        forwarder.forward({"add", FList, "late"}, FList, io);
        ADD_FAILURE() << "a stopped window answered";
    } catch (const TaskStoreError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains("did not answer")) << e.what();
    }
    EXPECT_LT(clock.elapsed(), 10000);
    ::kill(pid_t(FWindow->processId()), SIGCONT);
}

TEST_F(ForwardingTest, AKilledWindowsSocketIsRemovedByTheNextHolder)
{
    startWindow();
    const QString socket = endpoint();
    FWindow->kill();
    FWindow->waitForFinished();
    FWindow.reset();
    ASSERT_TRUE(QFileInfo::exists(socket)) << "a killed window leaves its socket";

    const QmtdResult add = RunQmtdProcess({"add", FList, "after"});
    EXPECT_EQ(add.status, 0) << add.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(socket));

    // A socket left again, found by the next window, which listens in its place.
    startWindow();
    FWindow->kill();
    FWindow->waitForFinished();
    FWindow.reset();
    ASSERT_TRUE(QFileInfo::exists(socket));
    startWindow();
    const QmtdResult dump = RunQmtdProcess({"dump", FList});
    EXPECT_EQ(dump.status, 0) << dump.err.toStdString();
    EXPECT_EQ(TitleCount(dump.out, "after"), 1);
}

#endif
