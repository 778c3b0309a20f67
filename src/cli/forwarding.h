#pragma once
// qmtd's side of a list that a running program holds: the command line goes to that program's
// local endpoint, and its answer is printed as if qmtd had run the command itself.

#include "cli/cli_command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <optional>

class CliForwarder {
public:
    // Puts a yes-or-no question to the person; std::nullopt when there is no one to ask
    // (standard input is not a terminal).
    using Ask = std::function<std::optional<bool>(const QString& question, QTextStream& err)>;

    explicit CliForwarder(Ask ask = {}) : FAsk(std::move(ask)) {}

    struct Result {
        bool reached = false; // the program answered; `status` is the command's
        bool retry = false;   // the program no longer holds the list: open it again
        int status = 0;
    };
    // Hands the command line to the program that holds `fileName`. Nothing reached and no retry:
    // no program takes commands for it. A failure once it was reached (no answer in time, a
    // deletion not confirmed) raises TaskStoreError.
    Result forward(const QStringList& arguments, const QString& fileName, CliIo& io) const;

    int connectTimeoutMs = 5000;
    // A queue of other commands or a slow disk may keep the program a while.
    int answerTimeoutMs = 60000;

private:
    Ask FAsk;
};

// Asks on the terminal: the question on standard error, the answer from standard input.
std::optional<bool> AskOnTerminal(const QString& question, QTextStream& err);
