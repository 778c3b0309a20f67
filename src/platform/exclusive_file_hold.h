#pragma once
// A file held open for reading and writing so that no other process of ours can open it at the
// same time. On Windows the file is opened without sharing; elsewhere an advisory flock() lock on
// the file itself is taken, which every instance (the program and qmtd) asks for before it reads.
// The lock belongs to the open file and survives rewriting the file in place; the operating
// system drops it when the process ends, however it ends.
//
// Operations report failure by returning false; errorString() then tells why.

#include <QByteArray>
#include <QString>

class ExclusiveFileHold {
public:
    enum class Mode {
        OpenExisting,   // fails when the file does not exist
        CreateOrOpen,   // creates an empty file when missing, keeps the content otherwise
        CreateTruncate, // creates the file or empties an existing one (after the hold is taken)
    };

    ExclusiveFileHold() = default;
    ~ExclusiveFileHold();
    ExclusiveFileHold(const ExclusiveFileHold&) = delete;
    ExclusiveFileHold& operator=(const ExclusiveFileHold&) = delete;

    // Opens the file and takes the hold. Fails when another holder has it.
    bool open(const QString& path, Mode mode);
    bool isOpen() const;
    // True when the last failed open failed because another holder has the file.
    bool heldElsewhere() const { return FHeldElsewhere; }
    // Releases the hold and closes the file.
    void close();

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

    QString FPath;
    QString FError;
    bool FHeldElsewhere = false;
#ifdef Q_OS_WIN
    void* FHandle = nullptr; // HANDLE; nullptr when closed
#else
    int FFd = -1;
#endif
};
