#include "platform/local_endpoint.h"

#include "platform/file_names.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

// 128 bits of the identity: no two lists meet by chance, and the name stays short enough for a
// socket path.
QString hashedName(const QByteArray& identity)
{
    const QByteArray hash = QCryptographicHash::hash(identity, QCryptographicHash::Sha256);
    return QStringLiteral("list-") + QString::fromLatin1(hash.toHex().left(32));
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

#ifndef Q_OS_WIN

QString shown(const QByteArray& path)
{
    return PrintableFileName(DecodeFileName(path));
}

// Makes sure `path` is a folder of this user that nobody else may enter, making it with `create`
// when missing, and taking group and other access away from one of ours that has it.
bool privateFolder(const QByteArray& path, bool create, QString* error)
{
    if (create && ::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        setError(error, QStringLiteral("%1 cannot be created: %2")
                            .arg(shown(path), QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0) {
        setError(error, QStringLiteral("%1 does not exist").arg(shown(path)));
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        setError(error, QStringLiteral("%1 is not a folder of this user").arg(shown(path)));
        return false;
    }
    if ((st.st_mode & 077) != 0 && (!create || ::chmod(path.constData(), 0700) != 0)) {
        setError(error, QStringLiteral("other users may enter %1").arg(shown(path)));
        return false;
    }
    return true;
}

// The folder of the endpoints, or empty.
QByteArray endpointFolder(bool create, QString* error)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) {
        // No session folder (a login without systemd, a cron job): a folder of our own in the
        // temporary folder, whose sticky bit keeps others from moving it.
        const QByteArray folder = EncodeFileName(QDir::tempPath()) + "/quillmark-" +
                                  QByteArray::number(qulonglong(::geteuid()));
        return privateFolder(folder, create, error) ? folder : QByteArray();
    }
    struct stat st = {};
    if (!runtime.startsWith('/') || ::stat(runtime.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid() || (st.st_mode & 022) != 0) {
        setError(error, QStringLiteral("XDG_RUNTIME_DIR (%1) is not a folder of this user that "
                                       "only this user may change")
                            .arg(shown(runtime)));
        return {};
    }
    const QByteArray folder = runtime + "/quillmark";
    return privateFolder(folder, create, error) ? folder : QByteArray();
}

// The list's path with every symbolic link and "..", as the system resolves it; a list that does
// not exist (yet) by its absolute, clean path.
QByteArray canonicalPath(const QString& listPath)
{
    const QByteArray native = EncodeFileName(listPath);
    if (char* real = ::realpath(native.constData(), nullptr)) {
        const QByteArray result(real);
        std::free(real);
        return result;
    }
    return EncodeFileName(QDir::cleanPath(QDir::current().absoluteFilePath(listPath)));
}

QByteArray socketPathFor(const QString& listPath, bool create, QString* error)
{
    const QByteArray folder = endpointFolder(create, error);
    if (folder.isEmpty())
        return {};
    return folder + '/' + hashedName(canonicalPath(listPath)).toLatin1();
}

enum class SocketFile { None, Stale, Live, Foreign };

// What is at the endpoint's path: nothing, a socket no program listens on, a live one, or
// something that is not a socket of ours (left alone).
SocketFile inspectSocket(const QByteArray& path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        return SocketFile::None;
    if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid())
        return SocketFile::Foreign;
    sockaddr_un address = {};
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return SocketFile::Foreign;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return SocketFile::Foreign;
    const int connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), socklen_t(sizeof(address)));
    const int connectError = errno;
    ::close(fd);
    // A full backlog (EAGAIN) means a program is there, only busy.
    if (connected == 0 || connectError == EAGAIN || connectError == EINPROGRESS)
        return SocketFile::Live;
    return connectError == ECONNREFUSED ? SocketFile::Stale : SocketFile::Foreign;
}

#endif

} // namespace

QString EndpointNameFor(const QString& listPath, bool create, QString* error)
{
#ifdef Q_OS_WIN
    Q_UNUSED(create);
    Q_UNUSED(error);
    // Pipe names are one namespace for every user of the machine: the user's name is part of
    // the identity, and access is the user's only (LocalEndpointServer::listen).
    QString path = QFileInfo(listPath).canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(QFileInfo(listPath).absoluteFilePath());
    wchar_t user[257] = {};
    DWORD length = 257;
    const QString userName =
        GetUserNameW(user, &length) ? QString::fromWCharArray(user) : QStringLiteral("?");
    const QByteArray identity = userName.toCaseFolded().toUtf8() + '\0' +
                                QDir::toNativeSeparators(path).toCaseFolded().toUtf8();
    return QStringLiteral("quillmark-") + hashedName(identity);
#else
    return DecodeFileName(socketPathFor(listPath, create, error));
#endif
}

bool RemoveStaleEndpoint(const QString& listPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(listPath);
    return false;
#else
    const QByteArray path = socketPathFor(listPath, false, nullptr);
    return !path.isEmpty() && inspectSocket(path) == SocketFile::Stale &&
           ::unlink(path.constData()) == 0;
#endif
}

std::unique_ptr<QLocalSocket> ConnectToEndpoint(const QString& listPath, int timeoutMs)
{
    const QString name = EndpointNameFor(listPath, false);
    if (name.isEmpty())
        return nullptr;
#ifndef Q_OS_WIN
    if (!PathExists(name))
        return nullptr;
#endif
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(name);
    if (!socket->waitForConnected(timeoutMs))
        return nullptr;
    return socket;
}

LocalEndpointServer::LocalEndpointServer(QObject* parent) : QObject(parent)
{
}

LocalEndpointServer::~LocalEndpointServer()
{
    close();
}

bool LocalEndpointServer::listen(const QString& listPath)
{
    close();
    FError.clear();
    QString error;
    const QString name = EndpointNameFor(listPath, true, &error);
    if (name.isEmpty()) {
        FError = error;
        return false;
    }
    auto server = std::make_unique<QLocalServer>();
#ifdef Q_OS_WIN
    server->setSocketOptions(QLocalServer::UserAccessOption);
#else
    // The folder keeps everyone else out; the socket file itself needs no options.
    const QByteArray path = EncodeFileName(name);
    if (path.size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        FError = QStringLiteral("the endpoint's path %1 is too long for a socket")
                     .arg(PrintableFileName(name));
        return false;
    }
    switch (inspectSocket(path)) {
    case SocketFile::None:
        break;
    case SocketFile::Stale:
        ::unlink(path.constData()); // left by a program that ended without closing it
        break;
    case SocketFile::Live:
        FError =
            QStringLiteral("another program already listens on %1").arg(PrintableFileName(name));
        return false;
    case SocketFile::Foreign:
        FError = QStringLiteral("%1 is in the way").arg(PrintableFileName(name));
        return false;
    }
#endif
    if (!server->listen(name)) {
        FError = server->errorString();
        return false;
    }
    connect(server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = FServer->nextPendingConnection()) {
            socket->setParent(this);
            emit newConnection(socket);
        }
    });
    FServer = std::move(server);
    FName = name;
    return true;
}

void LocalEndpointServer::close()
{
    if (FServer) {
        FServer->close(); // removes the socket file
        FServer.reset();
    }
    FName.clear();
}

bool LocalEndpointServer::isListening() const
{
    return FServer && FServer->isListening();
}
