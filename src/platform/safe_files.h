#pragma once
// File operations for names that someone else may have taken: none of them follows a symbolic
// link at the name, and none replaces a file unless asked to. Names go to the system as
// EncodeFileName gives them (platform/file_names.h).

#include <QByteArray>
#include <QString>

enum class PublishMode {
    KeepExisting,    // fails, changing nothing, when the name is taken
    ReplaceExisting, // replaces the file at the name in one step
};

// Puts a file holding `content` under `path`, whole or not at all: the content goes to a file
// of its own in the same folder, is forced to disk, and only then gets the name; the folder is
// forced to disk last. `nameTaken` (if given) tells whether a KeepExisting publish failed because
// the name was taken. The new file is readable and writable as the user's umask allows.
bool PublishFile(const QString& path, const QByteArray& content, PublishMode mode,
                 QString* error = nullptr, bool* nameTaken = nullptr);

enum class ReadOutcome {
    Read,
    Missing,
    NotARegularFile, // a folder, a device, a symbolic link (dangling or not), ...
    Failed,          // exists but cannot be read (no permission, I/O error)
};

// Reads the regular file at `path` whole, without following a symbolic link at that name and
// without blocking on a pipe.
ReadOutcome ReadRegularFile(const QString& path, QByteArray& content, QString* error = nullptr);

// Removes `path` when it is a regular file that starts with `start`, or that is shorter and all
// of it is the beginning of `start` (a file cut short while its first bytes were written). A
// symbolic link or any other file at the name stays. True when removed.
bool RemoveFileStartingWith(const QString& path, const QByteArray& start);

// `path` made absolute and clean, keeping every byte of the name (QFileInfo's absoluteFilePath
// re-encodes a relative name).
QString AbsoluteFileName(const QString& path);
// `path` with every symbolic link, "." and ".." resolved; empty when it does not exist.
QString CanonicalPath(const QString& path);
// Where the chain of symbolic links at `path` ends (`path` itself, made absolute, when it is no
// link), whether that exists or not.
QString FinalLinkTarget(const QString& path);

// The program's folder for the user's own state: $XDG_STATE_HOME/Quillmark, by default
// ~/.local/state/Quillmark (on Windows the local application data folder).
QString UserStateFolder();
// Creates `folder` and any missing parents as private folders (0700), forcing each new entry
// to disk. True when it exists afterwards.
bool MakePrivateFolder(const QString& folder, QString* error = nullptr);

#ifdef Q_OS_WIN
// The system's text for a Windows error code (GetLastError()).
QString WindowsErrorText(unsigned long code);
#endif
