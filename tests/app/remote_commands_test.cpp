// Commands handed to the window over its local endpoint: the page and the status bar show them at
// once, the view stays where it was, a dialog open in the window keeps the list unchanged, and
// the endpoint follows the open list.

#include "../support/runtime_folder.h"
#include "app/remote_commands.h"
#include "app_test_support.h"
#include "cli/remote_protocol.h"
#include "htmlview/html_view.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"
#include "store/todo_db.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileInfo>
#include <QLocalSocket>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

namespace {

// A client in the window's own thread: it sends, and lets the window's event loop run until the
// answer is in.
std::optional<RemoteAnswer> Ask(const QString& list, const QStringList& arguments)
{
    QLocalSocket socket;
    socket.connectToServer(EndpointNameFor(list, false));
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    socket.write(FramedMessage(EncodeRemoteRequest({list, arguments, {}, {}})));
    MessageFrameReader reader(MaxRemoteAnswerBytes);
    const QDeadlineTimer deadline(20000);
    while (reader.readFrom(socket) == MessageFrameReader::State::Incomplete &&
           !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (reader.state() != MessageFrameReader::State::Complete)
        return std::nullopt;
    return DecodeRemoteAnswer(reader.message());
}

class RemoteCommandsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(FRuntime.isValid());
    }
    TestRuntimeFolder FRuntime;
};

} // namespace

TEST_F(RemoteCommandsTest, APageAndStatusBarShowTheChangeAtOnceWhereTheViewWas)
{
    const QString list = path("Work.qmtd");
    WriteSimpleList(list, 60, 5);
    StoreRecentFiles({list}, list);
    TFormMain& form = Start();
    form.resize(800, 400);
    form.show();
    Idle();
    form.TaskViewer->verticalScrollBar()->setValue(form.TaskViewer->verticalScrollBar()->maximum() /
                                                   2);
    const int position = form.TaskViewer->position();
    ASSERT_GT(position, 0);

    const struct {
        QStringList arguments;
        QString status;  // the status bar afterwards
        QString onPage;  // the page holds it afterwards (empty: not checked)
        QString offPage; // the page no longer holds it
    } cases[] = {
        {{"add", list, "From the terminal"},
         "Task added from the command line: From the terminal",
         "From the terminal",
         {}},
        {{"edit", list, "1", "--title", "Renamed there"},
         "Task edited from the command line: Renamed there",
         "Renamed there",
         {}},
        {{"done", list, "1"}, "Task completed from the command line: ", {}, {}},
        {{"purge", list, "--yes"}, "6 completed tasks deleted from the command line", {}, {}},
    };
    for (const auto& c : cases) {
        const std::string shown = c.arguments.join(' ').toStdString();
        const std::optional<RemoteAnswer> answer = Ask(list, c.arguments);
        ASSERT_TRUE(answer) << shown;
        EXPECT_EQ(answer->status, 0) << shown << ": " << answer->err.toStdString();
        EXPECT_TRUE(form.statusBar()->currentMessage().startsWith(c.status))
            << shown << ": " << form.statusBar()->currentMessage().toStdString();
        const QString page = form.TaskViewer->documentText();
        if (!c.onPage.isEmpty()) {
            EXPECT_TRUE(page.contains(c.onPage)) << shown;
        }
        if (!c.offPage.isEmpty()) {
            EXPECT_FALSE(page.contains(c.offPage)) << shown;
        }
        EXPECT_EQ(form.TaskViewer->position(), position) << shown;
    }
    // Saved as a click saves: the file holds it.
    Stop();
    TaskTable table;
    OpenTaskTable(list, table, TOpenAccess::ReadOnly);
    EXPECT_EQ(table.RecordCount(), 60);
    CloseTaskStore(table);
}

TEST_F(RemoteCommandsTest, ADialogOpenInTheWindowKeepsTheListAsItIs)
{
    const QString list = path("Work.qmtd");
    WriteSimpleList(list, 2, 0);
    StoreRecentFiles({list}, list);
    TFormMain& form = Start();
    const QByteArray before = [&] {
        QFile f(list);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QDialog dialog(&form);
    std::optional<RemoteAnswer> answer;
    QTimer::singleShot(0, [&] {
        answer = Ask(list, {"add", list, "while asking"});
        dialog.reject();
    });
    dialog.exec();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 1);
    EXPECT_TRUE(answer->err.contains("waiting for an answer in one of its dialogs"))
        << answer->err.toStdString();
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    // Reading still works.
    const std::optional<RemoteAnswer> dump = Ask(list, {"dump", list});
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->status, 0);
}

TEST_F(RemoteCommandsTest, TheEndpointFollowsTheOpenList)
{
    const QString first = path("First.qmtd");
    const QString second = path("Second.qmtd");
    WriteSimpleList(first, 1, 0);
    WriteSimpleList(second, 1, 0);
    StoreRecentFiles({first}, first);
    TFormMain& form = Start();
    EXPECT_TRUE(QFileInfo::exists(EndpointNameFor(first, false)));
    ASSERT_TRUE(form.OpenToDoList(second, true));
    EXPECT_FALSE(QFileInfo::exists(EndpointNameFor(first, false)));
    EXPECT_TRUE(QFileInfo::exists(EndpointNameFor(second, false)));
    const std::optional<RemoteAnswer> answer = Ask(second, {"add", second, "there"});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 0) << answer->err.toStdString();
    Stop();
    EXPECT_FALSE(QFileInfo::exists(EndpointNameFor(second, false)));
}
