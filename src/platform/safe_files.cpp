#include "platform/safe_files.h"

#include "platform/exclusive_file_hold.h"
#include "platform/file_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include "platform/win32/system_error.h"

#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

#ifdef Q_OS_WIN

QString lastErrorText()
{
    return WindowsErrorText(GetLastError());
}

std::wstring wide(const QString& path)
{
    return native(path).toStdWString();
}

#else

QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool setError(QString* error, const QString& what, const QString& path, int code)
{
    if (error)
        *error = QStringLiteral("%1 %2: %3").arg(what, native(path), errnoText(code));
    return false;
}

int openNoFollow(const QByteArray& path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeWhole(int fd, const QByteArray& content)
{
    const char* data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, size_t(left));
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += done;
        left -= done;
    }
    return true;
}

bool syncData(int fd)
{
#if defined(Q_OS_MACOS)
    return ::fcntl(fd, F_FULLFSYNC) == 0;
#elif defined(Q_OS_LINUX)
    return ::fdatasync(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// Gives the file `from` the second name `to`, never replacing a file there. False with errno
// EEXIST when the name is taken.
bool linkNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::link(from.constData(), to.constData()) == 0)
        return true;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOTSUP)
        return false;
        // A file system without hard links: a rename that refuses to replace, where the system has
        // one. (The temporary name then goes with it.)
#if defined(Q_OS_LINUX) && defined(SYS_renameat2)
    constexpr unsigned NoReplace = 1; // RENAME_NOREPLACE
    if (::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), NoReplace) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

#endif

} // namespace

#ifdef Q_OS_WIN

QString WindowsErrorText(unsigned long code)
{
    return QString::fromStdWString(win32::SystemMessage(code));
}

bool PublishFile(const QString& path, const QByteArray& content, PublishMode mode, QString* error,
                 bool* nameTaken)
{
    if (nameTaken)
        *nameTaken = false;
    const QFileInfo info(path);
    const QString temporary =
        info.absolutePath() +
        QStringLiteral("/.%1.%2.tmp")
            .arg(info.fileName())
            .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    HANDLE h = CreateFileW(wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error)
            *error = QStringLiteral("Cannot create %1: %2").arg(native(path), lastErrorText());
        return false;
    }
    const char* data = content.constData();
    qint64 left = content.size();
    bool ok = true;
    while (ok && left > 0) {
        DWORD done = 0;
        ok = WriteFile(h, data, DWORD(qMin<qint64>(left, 1 << 30)), &done, nullptr) && done > 0;
        data += done;
        left -= done;
    }
    ok = ok && FlushFileBuffers(h);
    QString reason = ok ? QString() : lastErrorText();
    CloseHandle(h);
    if (ok) {
        DWORD flags = MOVEFILE_WRITE_THROUGH;
        if (mode == PublishMode::ReplaceExisting)
            flags |= MOVEFILE_REPLACE_EXISTING;
        ok = MoveFileExW(wide(temporary).c_str(), wide(info.absoluteFilePath()).c_str(), flags);
        if (!ok) {
            const DWORD code = GetLastError();
            reason = lastErrorText();
            if (nameTaken)
                *nameTaken = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
        }
    }
    if (!ok) {
        DeleteFileW(wide(temporary).c_str());
        if (error)
            *error = QStringLiteral("Cannot create %1: %2").arg(native(path), reason);
    }
    return ok;
}

ReadOutcome ReadRegularFile(const QString& path, QByteArray& content, QString* error)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadOutcome::Missing;
    } else if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        return ReadOutcome::NotARegularFile;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open %1: %2").arg(native(path), file.errorString());
        return ReadOutcome::Failed;
    }
    content = file.readAll();
    return ReadOutcome::Read;
}

bool RemoveFileStartingWith(const QString& path, const QByteArray& start)
{
    QByteArray content;
    if (ReadRegularFile(path, content) != ReadOutcome::Read ||
        !(content.startsWith(start) || start.startsWith(content)))
        return false;
    return QFile::remove(path);
}

QString UserStateFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quillmark/State");
}

QString CanonicalPath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString AbsoluteFileName(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString FinalLinkTarget(const QString& path)
{
    QString at = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40 && QFileInfo(at).isSymLink(); ++depth)
        at = QFileInfo(at).symLinkTarget();
    return at;
}

bool MakePrivateFolder(const QString& folder, QString* error)
{
    // The user's profile folders are private already.
    if (QDir().mkpath(folder))
        return true;
    if (error)
        *error = QStringLiteral("Cannot create the folder %1").arg(native(folder));
    return false;
}

#else

bool PublishFile(const QString& path, const QByteArray& content, PublishMode mode, QString* error,
                 bool* nameTaken)
{
    if (nameTaken)
        *nameTaken = false;
    const QFileInfo info(AbsoluteFileName(path));
    const QByteArray target = EncodeFileName(info.absoluteFilePath());
    const QByteArray folder = EncodeFileName(info.absolutePath());
    const QString what = QStringLiteral("Cannot create");
    const auto failed = [&](int code) {
        if (nameTaken)
            *nameTaken = code == EEXIST;
        return setError(error, what, path, code);
    };

#if defined(Q_OS_LINUX) && defined(O_TMPFILE)
    // A file without a name until it is complete: a process killed half-way leaves nothing.
    if (mode == PublishMode::KeepExisting) {
        const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            bool ok = writeWhole(fd, content) && syncData(fd);
            if (ok) {
                // Names the unnamed file through its descriptor.
                const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
                ok = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, target.constData(),
                              AT_SYMLINK_FOLLOW) == 0;
            }
            const int code = errno;
            ::close(fd);
            if (ok)
                return ExclusiveFileHold::syncFolderOf(info.absoluteFilePath(), error);
            // Without /proc the file cannot be named this way; a named temporary file can.
            if (code != ENOENT)
                return failed(code);
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            // (Not every file system has unnamed files; those get a named temporary file.)
            return failed(errno);
        }
    }
#endif

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = folder + "/." + EncodeFileName(info.fileName()) + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate64(), 16) + ".tmp";
        fd = openNoFollow(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(errno);
    }
    if (fd < 0)
        return failed(EEXIST);
    bool ok = writeWhole(fd, content) && syncData(fd);
    int code = errno;
    ::close(fd);
    if (ok) {
        ok = mode == PublishMode::ReplaceExisting
                 ? ::rename(temporary.constData(), target.constData()) == 0
                 : linkNoReplace(temporary, target);
        code = errno;
    }
    ::unlink(temporary.constData()); // (already gone after a rename)
    if (!ok)
        return failed(code);
    return ExclusiveFileHold::syncFolderOf(info.absoluteFilePath(), error);
}

ReadOutcome ReadRegularFile(const QString& path, QByteArray& content, QString* error)
{
    const QByteArray name = EncodeFileName(path);
    const int fd = openNoFollow(name, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return ReadOutcome::Missing;
        if (code == ELOOP || code == ENXIO)
            return ReadOutcome::NotARegularFile;
        setError(error, QStringLiteral("Cannot open"), path, code);
        return ReadOutcome::Failed;
    }
    struct stat st;
    ReadOutcome outcome = ReadOutcome::Read;
    if (::fstat(fd, &st) != 0) {
        setError(error, QStringLiteral("Cannot read"), path, errno);
        outcome = ReadOutcome::Failed;
    } else if (!S_ISREG(st.st_mode)) {
        outcome = ReadOutcome::NotARegularFile;
    } else {
        content.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < content.size()) {
            const ssize_t n = ::read(fd, content.data() + got, size_t(content.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                setError(error, QStringLiteral("Cannot read"), path, errno);
                outcome = ReadOutcome::Failed;
                break;
            }
            if (n == 0)
                break; // shorter than it was a moment ago
            got += n;
        }
        content.truncate(got);
    }
    ::close(fd);
    return outcome;
}

bool RemoveFileStartingWith(const QString& path, const QByteArray& start)
{
    const QByteArray name = EncodeFileName(path);
    const int fd = openNoFollow(name, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    QByteArray first(start.size(), '\0');
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0)
        got = ::pread(fd, first.data(), size_t(qMin<qint64>(st.st_size, start.size())), 0);
    ::close(fd);
    const bool ours = got >= 0 && got == qMin<qint64>(st.st_size, start.size()) &&
                      std::memcmp(first.constData(), start.constData(), size_t(got)) == 0;
    return ours && ::unlink(name.constData()) == 0;
}

QString UserStateFolder()
{
    // A relative XDG_STATE_HOME is to be ignored.
    QString base = DecodeFileName(qgetenv("XDG_STATE_HOME"));
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        const QByteArray home = qgetenv("HOME");
        base = (home.isEmpty() ? QDir::homePath() : DecodeFileName(home)) +
               QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(base + QStringLiteral("/Quillmark"));
}

QString CanonicalPath(const QString& path)
{
    char* resolved = ::realpath(EncodeFileName(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString canonical = DecodeFileName(resolved);
    ::free(resolved);
    return canonical;
}

QString AbsoluteFileName(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    char* here = ::getcwd(nullptr, 0);
    const QString folder = here ? DecodeFileName(here) : QDir::currentPath();
    ::free(here);
    return QDir::cleanPath(folder + QLatin1Char('/') + path);
}

QString FinalLinkTarget(const QString& path)
{
    QString at = AbsoluteFileName(path);
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray name = EncodeFileName(at);
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            break;
        target.truncate(n);
        const QString next = DecodeFileName(target);
        at = QDir::cleanPath(QDir::isAbsolutePath(next)
                                 ? next
                                 : QFileInfo(at).absolutePath() + QLatin1Char('/') + next);
    }
    return at;
}

bool MakePrivateFolder(const QString& folder, QString* error)
{
    const QString clean = AbsoluteFileName(folder);
    QStringList missing;
    for (QString at = clean; !PathIsFolder(at);) {
        missing.prepend(at);
        const QString up = QFileInfo(at).absolutePath();
        if (up == at)
            break;
        at = up;
    }
    for (const QString& f : missing) {
        if (::mkdir(EncodeFileName(f).constData(), 0700) != 0 && errno != EEXIST)
            return setError(error, QStringLiteral("Cannot create the folder"), f, errno);
        if (!ExclusiveFileHold::syncFolderOf(f, error))
            return false;
    }
    if (PathIsFolder(clean))
        return true;
    return setError(error, QStringLiteral("Cannot create the folder"), clean, ENOTDIR);
}

#endif
