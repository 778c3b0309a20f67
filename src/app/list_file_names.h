#pragma once
// How list file names are shown and compared by the list file commands.

#include <QString>

// The name without its folder and, when it ends with ".qmtd" in any letter case, without that
// extension: "/home/ann/Chores.qmtd" gives "Chores". Empty for an empty path.
QString ListDisplayName(const QString& path);
// Whether a file (not a folder) exists at `path`.
bool ListFileExists(const QString& path);
// Whether two names lead to the same file (links and relative names resolved).
bool SameFile(const QString& a, const QString& b);
