#pragma once
// The local endpoint of a list: the socket on which a running program that holds the list takes
// commands for it from qmtd. Only the same user on the same machine can reach it.
//
// The name comes from the list's canonical path, so every spelling of the path (relative,
// through a symbolic link) finds the same endpoint. On Unix it is a socket file in a folder only
// the user can enter: $XDG_RUNTIME_DIR/quillmark, or, where XDG_RUNTIME_DIR is unset, a folder
// quillmark-UID of the temporary folder. Both are created with mode 0700 and refused when they
// belong to someone else or others may write to them. On Windows it is a named pipe whose name
// also holds the user's, with access for that user only.
//
// A socket file outlives a program that was killed. Whoever holds the list knows that no other
// program can be listening for it, so it removes such a file (RemoveStaleEndpoint) before it
// listens or after it has opened the list itself.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The endpoint's full name for the list at `listPath` (a socket path on Unix, a pipe name on
// Windows), or empty with `error` set when there is no private folder for it. With `create` the
// folder is made when missing; without, nothing is created.
QString EndpointNameFor(const QString& listPath, bool create, QString* error = nullptr);

// Removes the endpoint of `listPath` when it is a socket file that no program listens on. The
// caller holds the list. True when a file was removed. A no-op on Windows, where pipes end with
// their program.
bool RemoveStaleEndpoint(const QString& listPath);

// Connects to the endpoint of `listPath`, waiting at most `timeoutMs`; nullptr when there is none
// or nothing answers on it.
std::unique_ptr<QLocalSocket> ConnectToEndpoint(const QString& listPath, int timeoutMs);

// Listens on the endpoint of one list. Connections arrive as newConnection(); the receiver owns
// the socket (it is a child of this object until then).
class LocalEndpointServer : public QObject {
    Q_OBJECT
public:
    explicit LocalEndpointServer(QObject* parent = nullptr);
    ~LocalEndpointServer() override;

    // Listens for the list at `listPath`, removing a stale socket file first. False with
    // errorString() when no endpoint could be made (no private folder, a name too long for the
    // system, a program already listening).
    bool listen(const QString& listPath);
    // Stops listening and removes the socket file.
    void close();
    bool isListening() const;
    const QString& name() const { return FName; }
    const QString& errorString() const { return FError; }

signals:
    void newConnection(QLocalSocket* socket);

private:
    std::unique_ptr<QLocalServer> FServer;
    QString FName;
    QString FError;
};
