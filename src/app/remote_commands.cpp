#include "app/remote_commands.h"

#include "app/error_handler.h"
#include "cli/held_list.h"
#include "cli/remote_protocol.h"
#include "platform/file_names.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"
#include "store/todo_db.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"

#include <QApplication>
#include <QLocalSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>

// One client: its socket, the request as it arrives, and the time it has left.
class TRemoteCommands::Connection : public QObject {
public:
    Connection(QLocalSocket* s, QObject* parent)
        : QObject(parent), socket(s), reader(MaxRemoteRequestBytes), deadline(new QTimer(this))
    {
        socket->setParent(this);
        deadline->setSingleShot(true);
    }

    QLocalSocket* socket;
    MessageFrameReader reader;
    QTimer* deadline;
    RemoteRequest request;
    bool queued = false;
    bool answered = false;
};

namespace {

// The list as the window holds it, for qmtd's command code.
class WindowList : public CliHeldList {
public:
    explicit WindowList(TaskHost& host) : FHost(host) {}

    TaskTable& table() override { return FHost.taskTable(); }
    QByteArray storedPacket() const override
    {
        const TdbToDoFile* file = CurrentListFile();
        return file ? file->ReadDataPacket().toByteArray() : QByteArray();
    }
    // A dialog or menu open in the window acts on the tasks as the page showed them when it
    // opened (a record index, the task being edited): the list must not change under it.
    void checkChangeAllowed() override
    {
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
            throw TaskStoreError(
                QStringLiteral("Quillmark is waiting for an answer in one of its dialogs or "
                               "menus, so the list was not changed; run the command again once "
                               "it is closed."));
    }

private:
    TaskHost& FHost;
};

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

TRemoteCommands::TRemoteCommands(TaskHost& host, TaskOperations& tasks, QObject* parent)
    : QObject(parent), FHost(host), FTasks(tasks), FServer(std::make_unique<LocalEndpointServer>())
{
    connect(FServer.get(), &LocalEndpointServer::newConnection, this, &TRemoteCommands::Accept);
    // The start-up list was opened before this object existed.
    ListChanged();
}

TRemoteCommands::~TRemoteCommands()
{
    // Requests still waiting were not carried out: their clients may try the file again, which
    // is free once the window has gone.
    for (Connection* c : FQueue) {
        c->socket->write(FramedMessage(EncodeRemoteAnswer(RefusedRemoteAnswer(
            RemoteRefusal::NotHeld, QStringLiteral("Quillmark has closed the list.")))));
        c->socket->flush();
    }
    FServer->close();
    for (Connection* c : FConnections) {
        disconnect(c->socket, nullptr, this, nullptr);
        disconnect(c->deadline, nullptr, this, nullptr);
    }
}

void TRemoteCommands::ListChanged()
{
    const QString file = CurrentListFileName();
    // A list open read-only takes no changes, and its readers can read the file themselves.
    const bool wanted = !file.isEmpty() && !CurrentListReadOnly();
    if (wanted && file == FListFile && FServer->isListening())
        return;
    FServer->close();
    FListFile.clear();
    FError.clear();
    if (!wanted)
        return;
    if (!FServer->listen(file)) {
        FError = FServer->errorString();
        std::fprintf(stderr, "quillmark: qmtd cannot hand its commands for %s to this window: %s\n",
                     PrintableFileName(file).toLocal8Bit().constData(),
                     FError.toLocal8Bit().constData());
        return;
    }
    FListFile = file;
}

bool TRemoteCommands::Listening() const
{
    return FServer->isListening();
}

QString TRemoteCommands::EndpointName() const
{
    return FServer->name();
}

void TRemoteCommands::Accept(QLocalSocket* socket)
{
    if (int(FConnections.size()) >= MaxConnections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    auto* c = new Connection(socket, this);
    FConnections.push_back(c);
    // Whatever a client sends after its request is left unread, and stays small.
    socket->setReadBufferSize(64 * 1024);
    connect(c->deadline, &QTimer::timeout, this, [this, c] { Drop(c); });
    connect(socket, &QLocalSocket::readyRead, this, [this, c] { ReadRequest(c); });
    connect(socket, &QLocalSocket::disconnected, this, [this, c] { Drop(c); });
    c->deadline->start(ClientTimeoutMs);
    ReadRequest(c);
}

void TRemoteCommands::ReadRequest(Connection* c)
{
    if (c->queued || c->answered)
        return; // one request per connection
    switch (c->reader.readFrom(*c->socket)) {
    case MessageFrameReader::State::Incomplete:
        return;
    case MessageFrameReader::State::TooLarge:
        Answer(c, RefusedRemoteAnswer(RemoteRefusal::TooLarge,
                                      QStringLiteral("Quillmark refused the request: it is larger "
                                                     "than 1 MiB (%1 bytes).")
                                          .arg(c->reader.announced())));
        return;
    case MessageFrameReader::State::Complete:
        break;
    }
    try {
        c->request = DecodeRemoteRequest(c->reader.message());
    } catch (const RemoteProtocolError& e) {
        Answer(c, RefusedRemoteAnswer(
                      e.refusal(),
                      QStringLiteral("Quillmark refused the request: %1.").arg(e.message())));
        return;
    }
    // Waiting its turn is no stall of the client's.
    c->deadline->stop();
    c->queued = true;
    FQueue.push_back(c);
    ScheduleNext();
}

void TRemoteCommands::Answer(Connection* c, const RemoteAnswer& answer)
{
    c->answered = true;
    c->queued = false;
    c->socket->write(FramedMessage(EncodeRemoteAnswer(answer)));
    // Closed once the answer is out; a client that does not take it is dropped all the same.
    c->deadline->start(ClientTimeoutMs);
    c->socket->disconnectFromServer();
}

void TRemoteCommands::Drop(Connection* c)
{
    const auto it = std::find(FConnections.begin(), FConnections.end(), c);
    if (it == FConnections.end())
        return;
    FConnections.erase(it);
    FQueue.erase(std::remove(FQueue.begin(), FQueue.end(), c), FQueue.end());
    disconnect(c->socket, nullptr, this, nullptr);
    disconnect(c->deadline, nullptr, this, nullptr);
    c->deadline->stop();
    c->socket->abort();
    c->deleteLater();
}

void TRemoteCommands::ScheduleNext()
{
    if (FScheduled || FQueue.empty())
        return;
    FScheduled = true;
    // Each command in a turn of its own: input and painting go on between them.
    QTimer::singleShot(0, this, &TRemoteCommands::RunNext);
}

void TRemoteCommands::RunNext()
{
    FScheduled = false;
    if (FQueue.empty())
        return;
    Connection* c = FQueue.front();
    FQueue.pop_front();
    c->queued = false;
    if (c->socket->state() == QLocalSocket::ConnectedState)
        Answer(c, Execute(c->request));
    else
        Drop(c);
    ScheduleNext();
}

RemoteAnswer TRemoteCommands::Execute(const RemoteRequest& request)
{
    // The window may have opened another list since the request came.
    if (FListFile.isEmpty() || CurrentListFileName() != FListFile ||
        EndpointNameFor(request.list, false) != FServer->name())
        return RefusedRemoteAnswer(
            RemoteRefusal::NotHeld,
            QStringLiteral("Quillmark does not hold %1.").arg(PrintableFileName(request.list)));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    CliOutcome outcome;
    CliConfirmation confirmation{request.answered, {}};
    WindowList list(FHost);
    RemoteAnswer answer;
    answer.status =
        RunQmtdOnHeldList(request.arguments, list,
                          CliIo{outStream, errStream, request.terminal, &outcome}, confirmation);
    outStream.flush();
    errStream.flush();
    answer.out = out;
    answer.err = err;
    answer.question = confirmation.asked;
    if (outcome.ran) {
        // A failed command may still have changed the table in memory: the page shows it as
        // it is, as after a click.
        try {
            FTasks.ReloadKeepingPosition();
            if (answer.status == 0)
                FHost.ShowStatusHint(OutcomeText(outcome));
        } catch (const std::exception& e) {
            FHost.ShowStatusHint(
                QStringLiteral("The page could not be shown: %1").arg(oneLine(ErrorMessage(e))));
        }
    }
    return answer;
}

QString TRemoteCommands::OutcomeText(const CliOutcome& outcome)
{
    const QString title = oneLine(outcome.title);
    switch (outcome.change) {
    case CliChange::None:
        break;
    case CliChange::Added:
        return QStringLiteral("Task added from the command line: %1").arg(title);
    case CliChange::Edited:
        return QStringLiteral("Task edited from the command line: %1").arg(title);
    case CliChange::Completed:
        return QStringLiteral("Task completed from the command line: %1").arg(title);
    case CliChange::Uncompleted:
        return QStringLiteral("Task marked not completed from the command line: %1").arg(title);
    case CliChange::DoneAgain:
        return QStringLiteral("Task done again from the command line: %1").arg(title);
    case CliChange::Deleted:
        return QStringLiteral("Task deleted from the command line: %1").arg(title);
    case CliChange::Purged:
        if (outcome.count == 0)
            return QStringLiteral("No completed tasks were deleted from the command line");
        if (outcome.count == 1)
            return QStringLiteral("1 completed task deleted from the command line");
        return QStringLiteral("%1 completed tasks deleted from the command line")
            .arg(outcome.count);
    }
    return QStringLiteral("List changed from the command line");
}
