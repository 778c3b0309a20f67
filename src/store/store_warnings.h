#pragma once
// What the store has to tell the user that is no error: the operation went on. The store queues
// the messages; each front end takes them after an open and shows them its own way (the window
// in a warning box, qmtd on standard error).

#include <QString>
#include <QStringList>

void ReportStoreWarning(const QString& message);
// The messages queued since the last call, oldest first.
QStringList TakeStoreWarnings();
