#pragma once
// qmtd's commands carried out by a running program that holds the list, for the qmtd that handed
// them over: the same checks and the same actions as qmtd's own, on the program's open table.

#include "cli/cli_command.h"

#include <QByteArray>

// The list as the program holds it.
class CliHeldList {
public:
    virtual ~CliHeldList() = default;
    // The open table, as the program shows it.
    virtual TaskTable& table() = 0;
    // The datapacket as the list file holds it now (dump --raw).
    virtual QByteArray storedPacket() const = 0;
    // Raises TaskStoreError with the reason when the list may not be changed just now.
    virtual void checkChangeAllowed() = 0;
};

// The confirmation of a deletion without --yes: the question the person said yes to (in), or
// the one to put to them (out).
struct CliConfirmation {
    QString answered;
    QString asked;
};

// Runs the command line on the held list, with qmtd's own output and exit status. A reading
// command leaves the table's order and cursor as they were. A deletion whose question was not
// answered, or was answered for another state of the list, does nothing and sets
// confirmation.asked.
int RunQmtdOnHeldList(const QStringList& arguments, CliHeldList& list, CliIo io,
                      CliConfirmation& confirmation);
