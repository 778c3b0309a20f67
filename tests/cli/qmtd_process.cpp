#include "qmtd_process.h"

#ifndef Q_OS_WIN

#include <QTemporaryFile>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

QmtdMeasured RunQmtdMeasured(const QStringList& args, qint64 addressSpaceLimit)
{
    QmtdMeasured result;
    QTemporaryFile errors;
    if (!errors.open())
        return result;
    std::vector<QByteArray> native = {QByteArray(QM_QMTD)};
    for (const QString& a : args)
        native.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : native)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(errors.handle(), STDERR_FILENO);
        if (addressSpaceLimit > 0) {
            const rlimit limit = {rlim_t(addressSpaceLimit), rlim_t(addressSpaceLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child)
        return result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakKiB = usage.ru_maxrss;
    errors.seek(0);
    result.err = QString::fromUtf8(errors.readAll());
    return result;
}

#endif
