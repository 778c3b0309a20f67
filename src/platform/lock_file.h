#pragma once
// Exclusion through a lock file beside a file, for file systems that have no locks of their own
// (a network share without its lock service). The lock file is created with O_EXCL, so of two
// processes that race for it exactly one gets it, and it names its holder: host, process and the
// process's start time. A lock left by a process of this host that no longer runs (its process
// number gone, or taken by a later process) is taken over; one from another host is never
// touched, only reported, since nothing here can tell whether that process still runs.
//
// Unix only: on Windows the system's share modes keep other processes out on every file system.

#include <QByteArray>
#include <QString>

// Who holds a lock file, as it says.
struct LockHolder {
    QString host;       // host name
    QString machine;    // the host's machine id, where it has one
    qint64 pid = 0;     // process number
    QByteArray started; // the process's start time, as this host counts it
    QString since;      // when the lock was taken, ISO 8601

    bool onThisHost() const;
    // On this host only: whether that very process still runs.
    bool stillRuns() const;
    // For messages: "process 4242 on the computer "box" since 2026-03-10 12:00".
    QString description() const;
};

class ListLockFile {
public:
    enum class State {
        Free,     // no lock file
        Stale,    // left by a process of this host that no longer runs
        HeldHere, // held by a running process of this host (this one included)
        HeldOnOtherHost,
        Unreadable, // a lock file that does not say who holds it (being written, or foreign)
    };

    ListLockFile() = default;
    ~ListLockFile();
    ListLockFile(const ListLockFile&) = delete;
    ListLockFile& operator=(const ListLockFile&) = delete;

    // The lock file of `path`: a hidden file beside it.
    static QString nameFor(const QString& path);
    // What the lock file of `path` says now; `holder` gets the holder it names.
    static State inspect(const QString& path, LockHolder* holder = nullptr);

    // Takes the lock of `path`. Fails when another process holds it (`state()` tells how) or
    // the lock file cannot be made (`errorNumber()`, `errorString()`).
    bool acquire(const QString& path);
    // Removes the lock file, if it is still ours.
    void release();
    bool held() const { return !FLockPath.isEmpty(); }

    State state() const { return FState; }
    const LockHolder& holder() const { return FHolder; }
    int errorNumber() const { return FErrno; }
    const QString& errorString() const { return FError; }

    // This process as a lock file names it, and the bytes of a lock file naming `holder`.
    static LockHolder thisProcess();
    static QByteArray contentFor(const LockHolder& holder);

private:
    bool tryCreate(const QString& lockPath, const QByteArray& content);

    QString FLockPath;
    QByteArray FContent;
    State FState = State::Free;
    LockHolder FHolder;
    int FErrno = 0;
    QString FError;
};
