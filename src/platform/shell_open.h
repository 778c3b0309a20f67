#pragma once
// Opens a web address, a mailto: link or a local file with the user's default program.

#include <QString>

// Returns false when nothing could be started; callers that must not report failures ignore it.
bool ShellOpen(const QString& target);
