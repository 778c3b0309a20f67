#pragma once
// The messages between qmtd and a running program that holds a list: one request, then one
// answer, each a JSON object in a frame (platform/message_frames.h). docs/remote-commands.md
// describes them for other clients.

#include "cli/cli_command.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

constexpr int RemoteProtocolVersion = 1;
// A request is a command line: a mebibyte is far more than any needs.
constexpr quint32 MaxRemoteRequestBytes = 1u << 20;
// An answer holds a whole page or dump, which for a large list runs to megabytes.
constexpr quint32 MaxRemoteAnswerBytes = 1u << 30;

struct RemoteRequest {
    QString list; // the list's absolute path, as the client names it
    QStringList arguments;
    CliTerminal terminal;
    QString answered; // the deletion question the person said yes to
};

// Why a request was not carried out at all.
enum class RemoteRefusal { None, TooLarge, Malformed, Version, NotHeld };

struct RemoteAnswer {
    int status = 0;
    QString out;
    QString err;
    QString question; // a deletion to confirm first; nothing was done
    RemoteRefusal refused = RemoteRefusal::None;
};

class RemoteProtocolError : public std::runtime_error {
public:
    RemoteProtocolError(RemoteRefusal refusal, const QString& message)
        : std::runtime_error(message.toStdString()), FRefusal(refusal), FMessage(message)
    {
    }
    RemoteRefusal refusal() const { return FRefusal; }
    const QString& message() const { return FMessage; }

private:
    RemoteRefusal FRefusal;
    QString FMessage;
};

QByteArray EncodeRemoteRequest(const RemoteRequest& request);
// Raises RemoteProtocolError (Malformed, Version) for anything but a request of this version.
RemoteRequest DecodeRemoteRequest(const QByteArray& json);

QByteArray EncodeRemoteAnswer(const RemoteAnswer& answer);
// Raises RemoteProtocolError (Malformed) for anything but an answer of this version.
RemoteAnswer DecodeRemoteAnswer(const QByteArray& json);

// The answer to a request refused as a whole: exit status 1 and the reason on standard error.
RemoteAnswer RefusedRemoteAnswer(RemoteRefusal refusal, const QString& reason);
