#include "platform/exclusive_file_hold.h"

#include "platform/file_names.h"
#include "platform/lock_file.h"
#include "platform/safe_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
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

bool ExclusiveFileHold::fail(const QString& what)
{
    const DWORD code = GetLastError();
    const QString reason = WindowsErrorText(code);
    FError = QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(FPath), reason);
    switch (code) {
    case ERROR_ACCESS_DENIED:
        // The system refuses to open a folder as a file with this code, too.
        FReason = PathIsFolder(FPath) ? QStringLiteral("it is a folder")
                                      : QStringLiteral("permission denied");
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        FReason = QStringLiteral("it does not exist");
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        FReason = QStringLiteral("it is in use");
        break;
    default:
        FReason = inSentence(reason);
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
    const DWORD disposition = mode == Mode::OpenExisting || mode == Mode::ReadShared ? OPEN_EXISTING
                              : mode == Mode::CreateOrOpen                           ? OPEN_ALWAYS
                              : mode == Mode::CreateNew                              ? CREATE_NEW
                                                        : CREATE_ALWAYS;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // A writer shares the file with no one: no other open of it succeeds while we hold it. A
    // reader shares it with readers only, so no writer can open it meanwhile, nor it a file
    // that a writer has open.
    const DWORD access = FReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = FReadOnly ? FILE_SHARE_READ : 0;
    HANDLE h = CreateFileW(native.c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        FHeldElsewhere = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        SetLastError(code);
        return fail(QStringLiteral("Cannot open"));
    }
    FHandle = h;
    return true;
}

bool ExclusiveFileHold::isOpen() const
{
    return FHandle != nullptr;
}

void ExclusiveFileHold::close()
{
    if (FHandle) {
        CloseHandle(static_cast<HANDLE>(FHandle));
        FHandle = nullptr;
    }
}

bool ExclusiveFileHold::closeAndRemove()
{
    // A file held without sharing cannot be put aside by anyone else, nor removed while open.
    if (!FHandle)
        return false;
    close();
    return DeleteFileW(QDir::toNativeSeparators(FPath).toStdWString().c_str());
}

qint64 ExclusiveFileHold::size()
{
    LARGE_INTEGER s;
    if (!FHandle || !GetFileSizeEx(static_cast<HANDLE>(FHandle), &s)) {
        fail(QStringLiteral("Cannot get the size of"));
        return -1;
    }
    return s.QuadPart;
}

bool ExclusiveFileHold::readAt(qint64 offset, char* data, qint64 length)
{
    while (length > 0) {
        OVERLAPPED ov = {};
        ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(qMin<qint64>(length, 1 << 30));
        DWORD done = 0;
        if (!ReadFile(static_cast<HANDLE>(FHandle), data, chunk, &done, &ov))
            return fail(QStringLiteral("Cannot read"));
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
        OVERLAPPED ov = {};
        ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD chunk = static_cast<DWORD>(qMin<qint64>(length, 1 << 30));
        DWORD done = 0;
        if (!WriteFile(static_cast<HANDLE>(FHandle), data, chunk, &done, &ov) || done == 0)
            return fail(QStringLiteral("Cannot write"));
        offset += done;
        data += done;
        length -= done;
    }
    return true;
}

bool ExclusiveFileHold::resize(qint64 newSize)
{
    LARGE_INTEGER pos;
    pos.QuadPart = newSize;
    if (!SetFilePointerEx(static_cast<HANDLE>(FHandle), pos, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(static_cast<HANDLE>(FHandle)))
        return fail(QStringLiteral("Cannot resize"));
    return true;
}

bool ExclusiveFileHold::flush()
{
    if (!FlushFileBuffers(static_cast<HANDLE>(FHandle)))
        return fail(QStringLiteral("Cannot flush"));
    return true;
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
