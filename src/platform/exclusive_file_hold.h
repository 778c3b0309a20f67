#pragma once
// A file held open for reading and writing so that no other process of ours can open it at the
// same time, or held for reading so that readers share it and no writer can have it meanwhile.
// On Windows the file is opened without sharing, a reader sharing it with readers only
// (platform/win32/share_mode_file.h); elsewhere an advisory flock() lock on the file itself is
// taken, exclusive or shared, which every instance (the program and qmtd) asks for before it reads.
// The lock belongs to the open file and survives rewriting the file in place; the operating system
// drops it when the process ends, however it ends.
//
// Where the file system has no locks (a network share without its lock service), a writer holds
// the file through a lock file beside it instead (lock_file.h), and a reader makes sure that no
// running process of this host holds it. A hold from another host keeps writers out but lets
// readers in: they are told who holds it (otherHostHolder()).
//
// Operations report failure by returning false; errorString() then tells why.

#include <QByteArray>
#include <QString>
#include <memory>

#ifdef Q_OS_WIN
#include "platform/win32/share_mode_file.h"
#endif

class ListLockFile;

class ExclusiveFileHold {
public:
    enum class Mode {
        OpenExisting,   // fails when the file does not exist
        CreateOrOpen,   // creates an empty file when missing, keeps the content otherwise
        CreateTruncate, // creates the file or empties an existing one (after the hold is taken)
        ReadShared,     // an existing file, for reading only, shared with other readers
        CreateNew,      // creates a private file (owner only) for reading and writing; fails when
                        // anything, a symbolic link included, has the name
    };
    enum class Exclusion {
        Own,     // the hold alone keeps the others out, through a lock file where need be
        Covered, // a file only the holder of another hold touches: the flock, if any, is enough
    };

    ExclusiveFileHold();
    ~ExclusiveFileHold();
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;

    // Opens the file and takes the hold. Fails when another holder has it.
    bool open(const QString& path, Mode mode, Exclusion exclusion = Exclusion::Own);
    bool isOpen() const;
    bool isReadOnly() const { return FReadOnly; }
    // True when the last failed open failed because another holder has the file.
    bool heldElsewhere() const { return FHeldElsewhere; }
    // Who holds the file from another computer, for messages; empty when no one does. Set by a
    // writing open refused for that reason and by a reading open that went ahead regardless.
    const QString& otherHostHolder() const { return FOtherHostHolder; }
    // Why the last operation failed, in words for a message ("it is a folder", "permission
    // denied", ...).
    const QString& reason() const { return FReason; }
    // Releases the hold and closes the file.
    void close();
    // Closes the file and removes it, provided its name still names the file held (and not one
    // put in its place meanwhile). True when removed.
    bool closeAndRemove();

    const QString& fileName() const { return FPath; }
    QString errorString() const { return FError; }

    // Size of the file in bytes, or -1 on failure.
    qint64 size();
    // Reads `length` bytes from `offset`; fails when fewer bytes are there.
    bool readAt(qint64 offset, char* data, qint64 length);
    bool readAll(QByteArray& content);
    // Writes all `length` bytes at `offset`, growing the file as needed.
    bool writeAt(qint64 offset, const char* data, qint64 length);
    bool resize(qint64 newSize);
    // Forces the file's data to the storage device.
    bool flush();

    // Forces the directory entry changes of the folder that holds `path` to the storage device
    // (a no-op where the platform has no such call).
    static bool syncFolderOf(const QString& path, QString* error = nullptr);

private:
    bool fail(const QString& what);
#ifndef Q_OS_WIN
    bool failWith(int error, const QString& what);
    // The exclusion that flock() could not give.
    bool holdThroughLockFile();
    bool checkNoWriterHere();
#endif

    QString FPath;
    QString FError;
    QString FReason;
    QString FOtherHostHolder;
    bool FHeldElsewhere = false;
    bool FReadOnly = false;
#ifdef Q_OS_WIN
    win32::ShareModeFile FFile; // the hold itself (platform/win32/share_mode_file.h)
#else
    int FFd = -1;
    std::unique_ptr<ListLockFile> FLockFile; // held where the file system has no locks
    bool FCheckWriterAfterRead = false;      // a reader on such a file system
#endif
};
