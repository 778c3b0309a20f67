#include "platform/lock_file.h"

#ifndef Q_OS_WIN

#include "platform/file_names.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray Magic = QByteArrayLiteral("Quillmark list lock\n");
constexpr qsizetype MaxLockFileSize = 4096;

QByteArray firstLineOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readLine(256).trimmed();
}

QString thisHostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QString thisMachineId()
{
    static const QString id = [] {
        QByteArray line = firstLineOf(QStringLiteral("/etc/machine-id"));
        if (line.isEmpty())
            line = firstLineOf(QStringLiteral("/var/lib/dbus/machine-id"));
        return QString::fromLatin1(line);
    }();
    return id;
}

// A process's start time as this host counts it, so that a later process that got the same
// number is told apart: the boot's id and the start in clock ticks since boot. Empty where the
// system does not tell.
QByteArray startTokenOf(qint64 pid)
{
#ifdef Q_OS_LINUX
    static const QByteArray boot = firstLineOf(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces and parentheses itself.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    // Field 22 of the line, counting the process number as 1 and the name as 2.
    constexpr int StartTimeField = 22 - 3;
    if (fields.size() <= StartTimeField)
        return {};
    return boot + '/' + fields[StartTimeField];
#else
    Q_UNUSED(pid);
    return {};
#endif
}

QByteArray format(const LockHolder& h)
{
    return Magic + "host=" + h.host.toUtf8() + '\n' + "machine=" + h.machine.toUtf8() + '\n' +
           "pid=" + QByteArray::number(h.pid) + '\n' + "started=" + h.started + '\n' +
           "since=" + h.since.toUtf8() + '\n';
}

bool parse(const QByteArray& content, LockHolder& h)
{
    if (!content.startsWith(Magic) || !content.endsWith('\n'))
        return false;
    h = LockHolder();
    bool havePid = false;
    for (const QByteArray& line : content.mid(Magic.size()).split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray key = line.left(eq);
        const QByteArray value = line.mid(eq + 1);
        if (key == "host")
            h.host = QString::fromUtf8(value);
        else if (key == "machine")
            h.machine = QString::fromUtf8(value);
        else if (key == "pid")
            h.pid = value.toLongLong(&havePid);
        else if (key == "started")
            h.started = value;
        else if (key == "since")
            h.since = QString::fromUtf8(value);
    }
    return havePid && h.pid > 0 && !h.host.isEmpty();
}

// The lock file's bytes; false when there is none (or it cannot be read at all).
bool readLockFile(const QString& lockPath, QByteArray& content)
{
    const int fd = ::open(EncodeFileName(lockPath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    content.resize(MaxLockFileSize + 1);
    qsizetype total = 0;
    while (total < content.size()) {
        const ssize_t n = ::read(fd, content.data() + total, size_t(content.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    ::close(fd);
    content.truncate(total);
    return true;
}

// Reads and judges the lock file. A creator writes its lock right after creating it, so an
// unreadable lock is read again for a moment before it counts as unreadable.
ListLockFile::State judge(const QString& lockPath, LockHolder* holder, QByteArray* raw)
{
    QByteArray content;
    LockHolder h;
    for (int attempt = 0;; ++attempt) {
        if (!readLockFile(lockPath, content))
            return ListLockFile::State::Free;
        if (content.size() <= MaxLockFileSize && parse(content, h))
            break;
        if (attempt >= 10)
            return ListLockFile::State::Unreadable;
        QThread::msleep(20);
    }
    if (holder)
        *holder = h;
    if (raw)
        *raw = content;
    if (!h.onThisHost())
        return ListLockFile::State::HeldOnOtherHost;
    return h.stillRuns() ? ListLockFile::State::HeldHere : ListLockFile::State::Stale;
}

// Serialises the processes of this host that take the same lock, so that two of them never take
// over one stale lock together (each would remove what the other just made). It needs nothing
// of the shared file system: on Linux an abstract socket name, which the system frees when its
// process ends however it ends; elsewhere a lock on a file of the local temporary folder.
class HostMutex {
public:
    explicit HostMutex(const QString& lockPath)
    {
        const QFileInfo info(lockPath);
        QString folder = info.absoluteDir().canonicalPath();
        if (folder.isEmpty())
            folder = info.absolutePath();
        const QByteArray key =
            QCryptographicHash::hash((folder + QLatin1Char('/') + info.fileName()).toUtf8(),
                                     QCryptographicHash::Sha1)
                .toHex()
                .left(32);
        const QDeadlineTimer deadline(5000);
#ifdef Q_OS_LINUX
        FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FFd < 0)
            return;
        const QByteArray name = "quillmark-lock-" + key;
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        for (;;) {
            if (::bind(FFd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
                FLocked = true;
                return;
            }
            if (errno != EADDRINUSE || deadline.hasExpired())
                return;
            QThread::msleep(2);
        }
#else
        const QByteArray file = QFile::encodeName(
            QDir::tempPath() + QStringLiteral("/quillmark-lock-") + QString::fromLatin1(key));
        FFd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (FFd < 0)
            return;
        for (;;) {
            if (::flock(FFd, LOCK_EX | LOCK_NB) == 0) {
                FLocked = true;
                return;
            }
            if (errno != EWOULDBLOCK || deadline.hasExpired())
                return;
            QThread::msleep(2);
        }
#endif
    }
    ~HostMutex()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    HostMutex(const HostMutex&) = delete;
    HostMutex& operator=(const HostMutex&) = delete;
    bool locked() const
    {
        return FLocked;
    }

private:
    int FFd = -1;
    bool FLocked = false;
};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool LockHolder::onThisHost() const
{
    if (host != thisHostName())
        return false;
    const QString here = thisMachineId();
    return machine.isEmpty() || here.isEmpty() || machine == here;
}

bool LockHolder::stillRuns() const
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    if (!started.isEmpty()) {
        const QByteArray now = startTokenOf(pid);
        if (!now.isEmpty() && now != started)
            return false; // a later process has that number now
    }
    return true;
}

QString LockHolder::description() const
{
    QString text = QStringLiteral("process %1 on the computer \"%2\"").arg(pid).arg(host);
    const QDateTime at = QDateTime::fromString(since, Qt::ISODate);
    if (at.isValid())
        text += QStringLiteral(" since %1").arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return text;
}

LockHolder ListLockFile::thisProcess()
{
    LockHolder me;
    me.host = thisHostName();
    me.machine = thisMachineId();
    me.pid = qint64(::getpid());
    me.started = startTokenOf(me.pid);
    me.since = QDateTime::currentDateTime().toString(Qt::ISODate);
    return me;
}

QByteArray ListLockFile::contentFor(const LockHolder& holder)
{
    return format(holder);
}

ListLockFile::~ListLockFile()
{
    release();
}

QString ListLockFile::nameFor(const QString& path)
{
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

ListLockFile::State ListLockFile::inspect(const QString& path, LockHolder* holder)
{
    return judge(nameFor(path), holder, nullptr);
}

bool ListLockFile::tryCreate(const QString& lockPath, const QByteArray& content)
{
    const QByteArray native = EncodeFileName(lockPath);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        FErrno = errno;
        return false;
    }
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    const int writeError = done < content.size() ? (errno ? errno : EIO) : 0;
    // The lock must be seen by other hosts before the list is read; a flush the file system
    // cannot do is no reason to give up.
    if (writeError == 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        FErrno = errno;
    ::close(fd);
    if (writeError) {
        ::unlink(native.constData());
        FErrno = writeError;
        return false;
    }
    FErrno = 0;
    return true;
}

bool ListLockFile::acquire(const QString& path)
{
    release();
    FState = State::Free;
    FHolder = LockHolder();
    FErrno = 0;
    FError.clear();
    const QString lockPath = nameFor(path);
    const QString shown = QDir::toNativeSeparators(lockPath);
    const HostMutex mutex(lockPath);
    if (!mutex.locked()) {
        FState = State::HeldHere;
        FError = QStringLiteral("Another process of this computer is taking %1").arg(shown);
        return false;
    }
    const QByteArray content = format(thisProcess());
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (tryCreate(lockPath, content)) {
            FLockPath = lockPath;
            FContent = content;
            return true;
        }
        if (FErrno != EEXIST) {
            FError =
                QStringLiteral("Cannot create the lock file %1: %2").arg(shown, errorText(FErrno));
            return false;
        }
        QByteArray raw;
        LockHolder holder;
        const State state = judge(lockPath, &holder, &raw);
        if (state == State::Free)
            continue; // released meanwhile
        if (state == State::Stale) {
            // Only processes of this host take over its locks, and they all wait for the mutex
            // held here: the lock read a moment ago is still the one on disk.
            QByteArray again;
            if (readLockFile(lockPath, again) && again == raw)
                ::unlink(EncodeFileName(lockPath).constData());
            continue;
        }
        FState = state;
        FHolder = holder;
        FError = state == State::Unreadable
                     ? QStringLiteral("%1 does not say who holds the list").arg(shown)
                     : QStringLiteral("The list is held by %1").arg(holder.description());
        return false;
    }
    FState = State::HeldHere;
    FError = QStringLiteral("Cannot take %1").arg(shown);
    return false;
}

void ListLockFile::release()
{
    if (FLockPath.isEmpty())
        return;
    QByteArray content;
    // Never remove a lock that is not ours any more.
    if (readLockFile(FLockPath, content) && content == FContent)
        ::unlink(EncodeFileName(FLockPath).constData());
    FLockPath.clear();
    FContent.clear();
}

#endif
