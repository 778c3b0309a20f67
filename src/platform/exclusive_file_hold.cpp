#include "platform/exclusive_file_hold.h"

#include "platform/file_names.h"

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

ExclusiveFileHold::~ExclusiveFileHold()
{
    close();
}

bool ExclusiveFileHold::fail(const QString& what)
{
#ifdef Q_OS_WIN
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const QString reason =
        text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
    if (text)
        LocalFree(text);
#else
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
#endif
    FError = QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(FPath), reason);
    return false;
}

#ifdef Q_OS_WIN

bool ExclusiveFileHold::open(const QString& path, Mode mode)
{
    close();
    FPath = path;
    FError.clear();
    FHeldElsewhere = false;
    const DWORD disposition = mode == Mode::OpenExisting   ? OPEN_EXISTING
                              : mode == Mode::CreateOrOpen ? OPEN_ALWAYS
                                                           : CREATE_ALWAYS;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // Share mode 0: no other open of the file succeeds while we hold it.
    HANDLE h = CreateFileW(native.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FHeldElsewhere = GetLastError() == ERROR_SHARING_VIOLATION;
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

bool ExclusiveFileHold::open(const QString& path, Mode mode)
{
    close();
    FPath = path;
    FError.clear();
    FHeldElsewhere = false;
    int flags = O_RDWR | O_CLOEXEC;
    if (mode != Mode::OpenExisting)
        flags |= O_CREAT;
    const QByteArray native = EncodeFileName(path);
    int fd;
    do {
        fd = ::open(native.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(QStringLiteral("Cannot open"));
    // flock() locks conflict between separate opens even inside one process, so a second
    // holder in this process is refused just as one in another process is.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc < 0 && errno == EINTR);
    // A file system without locks (an NFS mount without its lock service) cannot keep other
    // processes out; the file is still usable, as it would be for any other program.
    const bool noLocks = rc < 0 && (errno == ENOLCK || errno == ENOSYS || errno == EOPNOTSUPP);
    if (rc < 0 && !noLocks) {
        FHeldElsewhere = errno == EWOULDBLOCK;
        fail(QStringLiteral("Cannot lock"));
        ::close(fd);
        return false;
    }
    FFd = fd;
    if (mode == Mode::CreateTruncate && !resize(0)) {
        close();
        return false;
    }
    return true;
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
    const int fd =
        ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
    return readAt(0, content.data(), n);
}
