// qmtd handing a command to the running program that holds its list, and printing the answer.

#include "cli/forwarding.h"
#include "cli/remote_protocol.h"
#include "platform/file_names.h"
#include "platform/local_endpoint.h"
#include "platform/message_frames.h"
#include "store/task_table.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

[[noreturn]] void unanswered(const QString& fileName, const QString& what)
{
    throw TaskStoreError(QStringLiteral("Quillmark, which has %1 open, %2; the command may or may "
                                        "not have been carried out.")
                             .arg(PrintableFileName(fileName), what));
}

// Sends the request and waits for the answer; nothing when no program takes commands for the
// list.
std::optional<RemoteAnswer> exchange(const RemoteRequest& request, const QString& fileName,
                                     int connectTimeoutMs, int answerTimeoutMs)
{
    const QByteArray payload = EncodeRemoteRequest(request);
    if (payload.size() > qsizetype(MaxRemoteRequestBytes))
        throw TaskStoreError(QStringLiteral("Quillmark has %1 open, and the command is too large "
                                            "to hand to it (over 1 MiB).")
                                 .arg(PrintableFileName(fileName)));
    const std::unique_ptr<QLocalSocket> socket = ConnectToEndpoint(request.list, connectTimeoutMs);
    if (!socket)
        return std::nullopt;
    const QDeadlineTimer deadline(answerTimeoutMs);
    const auto wait = [&](bool writing) {
        const int left = int(std::max<qint64>(deadline.remainingTime(), 0));
        const bool progressed =
            writing ? socket->waitForBytesWritten(left) : socket->waitForReadyRead(left);
        if (progressed)
            return;
        if (deadline.hasExpired())
            unanswered(fileName,
                       QStringLiteral("did not answer within %1 s").arg(answerTimeoutMs / 1000));
        if (socket->state() != QLocalSocket::ConnectedState)
            unanswered(fileName, QStringLiteral("closed the connection without answering"));
    };
    socket->write(FramedMessage(payload));
    while (socket->bytesToWrite() > 0)
        wait(true);
    MessageFrameReader reader(MaxRemoteAnswerBytes);
    while (reader.readFrom(*socket) == MessageFrameReader::State::Incomplete) {
        if (socket->state() != QLocalSocket::ConnectedState && socket->bytesAvailable() == 0)
            unanswered(fileName, QStringLiteral("closed the connection without answering"));
        wait(false);
    }
    try {
        if (reader.state() == MessageFrameReader::State::TooLarge)
            throw RemoteProtocolError(RemoteRefusal::TooLarge, QStringLiteral("it is too large"));
        return DecodeRemoteAnswer(reader.message());
    } catch (const RemoteProtocolError& e) {
        unanswered(fileName,
                   QStringLiteral("gave an answer that cannot be read (%1)").arg(e.message()));
    }
}

} // namespace

CliForwarder::Result CliForwarder::forward(const QStringList& arguments, const QString& fileName,
                                           CliIo& io) const
{
    RemoteRequest request;
    request.list = QDir::cleanPath(QDir::current().absoluteFilePath(fileName));
    request.arguments = arguments;
    request.terminal = io.terminal;
    // A deletion is asked again when the list changed while the question was on the screen.
    for (int round = 0; round < 3; ++round) {
        const std::optional<RemoteAnswer> answer =
            exchange(request, fileName, connectTimeoutMs, answerTimeoutMs);
        const bool asked = !request.answered.isEmpty();
        if (asked && (!answer || answer->refused == RemoteRefusal::NotHeld))
            // The yes was for the list as the program showed it; the file may differ by now.
            throw TaskStoreError(QStringLiteral("Quillmark let %1 go before the deletion; nothing "
                                                "was deleted.")
                                     .arg(PrintableFileName(fileName)));
        if (!answer)
            return {};
        if (answer->refused == RemoteRefusal::NotHeld)
            return {false, true, 0};
        if (answer->question.isEmpty()) {
            io.out << answer->out;
            io.err << answer->err;
            return {true, false, answer->status};
        }
        const std::optional<bool> yes = FAsk ? FAsk(answer->question, io.err) : std::nullopt;
        if (!yes)
            throw TaskStoreError(QStringLiteral("Quillmark has %1 open and deletes from it only "
                                                "when asked on a terminal or given --yes; nothing "
                                                "was deleted.")
                                     .arg(PrintableFileName(fileName)));
        if (!*yes)
            throw TaskStoreError(QStringLiteral("nothing was deleted."));
        request.answered = answer->question;
    }
    throw TaskStoreError(QStringLiteral("the tasks of %1 changed each time before the deletion "
                                        "was confirmed; nothing was deleted.")
                             .arg(PrintableFileName(fileName)));
}

std::optional<bool> AskOnTerminal(const QString& question, QTextStream& err)
{
#ifdef Q_OS_WIN
    if (!_isatty(_fileno(stdin)))
        return std::nullopt;
#else
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
#endif
    err << question << " [y/N] ";
    err.flush();
    char line[256];
    if (!std::fgets(line, sizeof(line), stdin)) {
        err << '\n';
        return false;
    }
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}
