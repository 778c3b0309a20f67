#include "platform/exclusive_file_hold.h"

#include "platform/file_names.h"
#include "platform/lock_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

ExclusiveFileHold::ExclusiveFileHold() = default;

ExclusiveFileHold::~ExclusiveFileHold()
{
    close();
}

namespace {

// A system message as part of a sentence: "Input/output error" reads "input/output error".
QString inSentence(QString text)
{
    text = text.trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.size() > 1 && text[0].isUpper() && text[1].isLower())
        text[0] = text[0].toLower();
    return text;
}

} // namespace

#ifdef Q_OS_WIN

namespace {

win32::OpenMode OpenModeOf(ExclusiveFileHold::Mode mode)
{
    switch (mode) {
    case ExclusiveFileHold::Mode::OpenExisting:
        return win32::OpenMode::OpenExisting;
    case ExclusiveFileHold::Mode::CreateOrOpen:
        return win32::OpenMode::CreateOrOpen;
    case ExclusiveFileHold::Mode::CreateTruncate:
        return win32::OpenMode::CreateTruncate;
    case ExclusiveFileHold::Mode::ReadShared:
        return win32::OpenMode::ReadShared;
    case ExclusiveFileHold::Mode::CreateNew:
        return win32::OpenMode::CreateNew;
    }
    return win32::OpenMode::OpenExisting;
}

} // namespace

bool ExclusiveFileHold::fail(const QString& what)
{
    const win32::FileFailure& failure = FFile.failure();
    const QString native = QDir::toNativeSeparators(FPath);
    const QString message = QString::fromStdWString(failure.message);
    FError = QStringLiteral("%1 %2: %3").arg(what, native, message);
    switch (failure.kind) {
    case win32::FailureKind::InUse:
        FReason = QStringLiteral("it is in use");
        break;
    case win32::FailureKind::Folder:
        FReason = QStringLiteral("it is a folder");
        break;
    case win32::FailureKind::PermissionDenied:
        FReason = QStringLiteral("permission denied");
        break;
    case win32::FailureKind::NotFound:
        FReason = QStringLiteral("it does not exist");
        break;
    case win32::FailureKind::Ended:
        FError = QStringLiteral("Unexpected end of %1").arg(native);
        FReason = QStringLiteral("it ended while it was read");
        break;
    case win32::FailureKind::Other:
        FReason = inSentence(message);
        break;
    }
    return false;
}

#else

bool ExclusiveFileHold::failWith(int error, const QString& what)
{
    FError = QStringLiteral("%1 %2: %3")
                 .arg(what, QDir::toNativeSeparators(FPath),
                      QString::fromLocal8Bit(std::strerror(error)));
    switch (error) {
    case EISDIR:
        FReason = QStringLiteral("it is a folder");
        break;
    case EACCES:
    case EPERM:
        FReason = QStringLiteral("permission denied");
        break;
    case ENOENT:
        FReason = QStringLiteral("it does not exist");
        break;
    case EROFS:
        FReason = QStringLiteral("the file system is read-only");
        break;
    case EWOULDBLOCK:
        FReason = QStringLiteral("it is in use");
        break;
    default:
        FReason = inSentence(QString::fromLocal8Bit(std::strerror(error)));
    }
    return false;
}

bool ExclusiveFileHold::fail(const QString& what)
{
    return failWith(errno, what);
}

#endif

#ifdef Q_OS_WIN

bool ExclusiveFileHold::open(const QString& path, Mode mode, Exclusion)
{
    close();
    FPath = path;
    FError.clear();
    FReason.clear();
    FOtherHostHolder.clear();
    FHeldElsewhere = false;
    FReadOnly = mode == Mode::ReadShared;
    // The system's share modes keep every other process out on every file system: no lock file.
    if (FFile.open(QDir::toNativeSeparators(path).toStdWString(), OpenModeOf(mode)))
        return true;
    FHeldElsewhere = FFile.failure().kind == win32::FailureKind::InUse;
    return fail(QStringLiteral("Cannot open"));
}

bool ExclusiveFileHold::isOpen() const
{
    return FFile.isOpen();
}

void ExclusiveFileHold::close()
{
    FFile.close();
}

bool ExclusiveFileHold::closeAndRemove()
{
    return FFile.closeAndRemove();
}

qint64 ExclusiveFileHold::size()
{
    const qint64 size = FFile.size();
    if (size < 0)
        fail(QStringLiteral("Cannot get the size of"));
    return size;
}

bool ExclusiveFileHold::readAt(qint64 offset, char* data, qint64 length)
{
    return FFile.readAt(offset, data, length) || fail(QStringLiteral("Cannot read"));
}

bool ExclusiveFileHold::writeAt(qint64 offset, const char* data, qint64 length)
{
    return FFile.writeAt(offset, data, length) || fail(QStringLiteral("Cannot write"));
}

bool ExclusiveFileHold::resize(qint64 newSize)
{
    return FFile.resize(newSize) || fail(QStringLiteral("Cannot resize"));
}

bool ExclusiveFileHold::flush()
{
    return FFile.flush() || fail(QStringLiteral("Cannot flush"));
}

bool ExclusiveFileHold::syncFolderOf(const QString&, QString*)
{
    // NTFS journals directory changes itself; there is no folder flush call.
    return true;
}

#else

bool ExclusiveFileHold::open(const QString& path, Mode mode, Exclusion exclusion)
{
    close();
    FPath = path;
    FError.clear();
    FReason.clear();
    FOtherHostHolder.clear();
    FHeldElsewhere = false;
    FReadOnly = mode == Mode::ReadShared;
    int flags = (FReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    if (mode == Mode::CreateOrOpen || mode == Mode::CreateTruncate)
        flags |= O_CREAT;
    if (mode == Mode::CreateNew)
        flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
    const QByteArray native = EncodeFileName(path);
    int fd;
    do {
        fd = ::open(native.constData(), flags, mode == Mode::CreateNew ? 0600 : 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(QStringLiteral("Cannot open"));
    // A folder opens for reading; it is no file to hold all the same.
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return failWith(error, QStringLiteral("Cannot open"));
    }
    // flock() locks conflict between separate opens even inside one process, so a second
    // holder in this process is refused just as one in another process is.
    int rc;
    do {
        rc = ::flock(fd, (FReadOnly ? LOCK_SH : LOCK_EX) | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    const bool noLocks = rc < 0 && (errno == ENOLCK || errno == ENOSYS || errno == EOPNOTSUPP);
    if (rc < 0 && !noLocks) {
        FHeldElsewhere = errno == EWOULDBLOCK;
        fail(QStringLiteral("Cannot lock"));
        ::close(fd);
        return false;
    }
    FFd = fd;
    if (noLocks && exclusion == Exclusion::Own &&
        !(FReadOnly ? checkNoWriterHere() : holdThroughLockFile())) {
        ::close(FFd);
        FFd = -1;
        FLockFile.reset();
        return false;
    }
    if (mode == Mode::CreateTruncate && !resize(0)) {
        close();
        return false;
    }
    return true;
}

bool ExclusiveFileHold::holdThroughLockFile()
{
    FLockFile = std::make_unique<ListLockFile>();
    if (FLockFile->acquire(FPath))
        return true;
    FError = FLockFile->errorString();
    switch (FLockFile->state()) {
    case ListLockFile::State::HeldOnOtherHost:
        FOtherHostHolder = FLockFile->holder().description();
        [[fallthrough]];
    case ListLockFile::State::HeldHere:
    case ListLockFile::State::Unreadable:
        FHeldElsewhere = true;
        FReason = QStringLiteral("it is in use");
        break;
    case ListLockFile::State::Free:
    case ListLockFile::State::Stale:
        FReason =
            QStringLiteral("no lock file can be made beside it (%1)")
                .arg(inSentence(QString::fromLocal8Bit(std::strerror(FLockFile->errorNumber()))));
        break;
    }
    return false;
}

bool ExclusiveFileHold::checkNoWriterHere()
{
    // A reader makes nothing: it only makes sure that no running process of this host writes.
    LockHolder holder;
    switch (ListLockFile::inspect(FPath, &holder)) {
    case ListLockFile::State::Free:
    case ListLockFile::State::Stale:
        FCheckWriterAfterRead = true;
        return true;
    case ListLockFile::State::HeldOnOtherHost:
        // Nothing here can tell whether that holder still writes; reading is what was asked.
        FOtherHostHolder = holder.description();
        return true;
    case ListLockFile::State::HeldHere:
        FError = QStringLiteral("The list is held by %1").arg(holder.description());
        break;
    case ListLockFile::State::Unreadable:
        FError = QStringLiteral("%1 does not say who holds the list")
                     .arg(QDir::toNativeSeparators(ListLockFile::nameFor(FPath)));
        break;
    }
    FHeldElsewhere = true;
    FReason = QStringLiteral("it is in use");
    return false;
}

bool ExclusiveFileHold::isOpen() const
{
    return FFd >= 0;
}

void ExclusiveFileHold::close()
{
    if (FFd >= 0) {
        ::close(FFd); // drops the lock
        FFd = -1;
    }
    FLockFile.reset(); // removes the lock file, if it is ours
    FCheckWriterAfterRead = false;
}

bool ExclusiveFileHold::closeAndRemove()
{
    if (FFd < 0)
        return false;
    struct stat held, named;
    const QByteArray native = EncodeFileName(FPath);
    const bool same = ::fstat(FFd, &held) == 0 && ::lstat(native.constData(), &named) == 0 &&
                      held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    const bool removed = same && ::unlink(native.constData()) == 0;
    close();
    return removed;
}

qint64 ExclusiveFileHold::size()
{
    struct stat st;
    if (FFd < 0 || ::fstat(FFd, &st) != 0) {
        fail(QStringLiteral("Cannot get the size of"));
        return -1;
    }
    return st.st_size;
}

bool ExclusiveFileHold::readAt(qint64 offset, char* data, qint64 length)
{
    while (length > 0) {
        const ssize_t done = ::pread(FFd, data, static_cast<size_t>(length), offset);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("Cannot read"));
        }
        if (done == 0) {
            FError = QStringLiteral("Unexpected end of %1").arg(QDir::toNativeSeparators(FPath));
            FReason = QStringLiteral("it ended while it was read");
            return false;
        }
        offset += done;
        data += done;
        length -= done;
    }
    return true;
}

bool ExclusiveFileHold::writeAt(qint64 offset, const char* data, qint64 length)
{
    while (length > 0) {
        const ssize_t done = ::pwrite(FFd, data, static_cast<size_t>(length), offset);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return fail(QStringLiteral("Cannot write"));
        }
        offset += done;
        data += done;
        length -= done;
    }
    return true;
}

bool ExclusiveFileHold::resize(qint64 newSize)
{
    int rc;
    do {
        rc = ::ftruncate(FFd, newSize);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        return fail(QStringLiteral("Cannot resize"));
    return true;
}

bool ExclusiveFileHold::flush()
{
#if defined(Q_OS_MACOS)
    const int rc = ::fcntl(FFd, F_FULLFSYNC);
#elif defined(Q_OS_LINUX)
    // The data and what is needed to read it back (the size); the times need not be durable.
    const int rc = ::fdatasync(FFd);
#else
    const int rc = ::fsync(FFd);
#endif
    if (rc < 0)
        return fail(QStringLiteral("Cannot flush"));
    return true;
}

bool ExclusiveFileHold::syncFolderOf(const QString& path, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    // Some file systems cannot flush a folder; their entries are as safe as they get.
    if (!ok && (errno == EINVAL || errno == ENOTSUP))
        ok = true;
    if (!ok && error)
        *error = QStringLiteral("Cannot flush the folder %1: %2")
                     .arg(QDir::toNativeSeparators(folder),
                          QString::fromLocal8Bit(std::strerror(errno)));
    if (fd >= 0)
        ::close(fd);
    return ok;
}

#endif

bool ExclusiveFileHold::readAll(QByteArray& content)
{
    const qint64 n = size();
    if (n < 0)
        return false;
    content.resize(n);
    if (!readAt(0, content.data(), n))
        return false;
#ifndef Q_OS_WIN
    // A reader without a lock: a writer of this host that came in meanwhile may have changed
    // the file under it.
    if (FCheckWriterAfterRead && ListLockFile::inspect(FPath) == ListLockFile::State::HeldHere) {
        FHeldElsewhere = true;
        FReason = QStringLiteral("it is in use");
        FError =
            QStringLiteral("%1 was changed while it was read").arg(QDir::toNativeSeparators(FPath));
        return false;
    }
#endif
    return true;
}
