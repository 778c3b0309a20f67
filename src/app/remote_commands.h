#pragma once
// The window's end of the local endpoint: the commands qmtd hands over for the list the window
// holds. Each connection brings one request and takes one answer. Requests are carried out one
// at a time in the order they came, each in its own turn of the event loop, with qmtd's own
// command code on the window's table; a change is saved as a click saves it, the page is rebuilt
// where it was, and the status bar says what happened. Nothing here ever waits on a socket: a
// client that does not send its request, or does not take its answer, within ClientTimeoutMs is
// dropped.

#include <QObject>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

class LocalEndpointServer;
class QLocalSocket;
class TaskHost;
class TaskOperations;
struct CliOutcome;
struct RemoteAnswer;
struct RemoteRequest;

class TRemoteCommands : public QObject {
    Q_OBJECT
public:
    TRemoteCommands(TaskHost& host, TaskOperations& tasks, QObject* parent = nullptr);
    ~TRemoteCommands() override;

    // The open list changed: listens for the list now open when it can be changed, else stops.
    void ListChanged();
    bool Listening() const;
    // The endpoint listened on (empty when none).
    QString EndpointName() const;
    // Why there is no endpoint for the open list (empty when there is one, or no list).
    const QString& EndpointError() const { return FError; }

    // How long a client may take to send its request, and to take its answer.
    int ClientTimeoutMs = 5000;
    // Connections beyond this many are closed at once.
    static constexpr int MaxConnections = 64;

    // The status bar's text for what a command from qmtd did.
    static QString OutcomeText(const CliOutcome& outcome);

private:
    class Connection;
    void Accept(QLocalSocket* socket);
    void ReadRequest(Connection* connection);
    void Answer(Connection* connection, const RemoteAnswer& answer);
    void Drop(Connection* connection);
    void ScheduleNext();
    void RunNext();
    RemoteAnswer Execute(const RemoteRequest& request);

    TaskHost& FHost;
    TaskOperations& FTasks;
    std::unique_ptr<LocalEndpointServer> FServer;
    QString FListFile; // the list listened for
    QString FError;
    std::vector<Connection*> FConnections; // children of this object
    std::deque<Connection*> FQueue;        // complete requests, oldest first
    bool FScheduled = false;
};
