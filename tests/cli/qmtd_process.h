#pragma once
// Runs the real qmtd in a child process: as another user, on a file system without locks (the
// flock shim preloaded), many at once.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct QmtdResult {
    int status = -1; // the exit code, -1 when it crashed or hung
    QString out;
    QString err;
};

struct QmtdOptions {
    bool asNobody = false; // with the privileges of the user nobody
    QString flockFails;    // an error flock() fails with (ENOLCK, EOPNOTSUPP), or empty
};

inline std::unique_ptr<QProcess> StartQmtd(const QStringList& args, const QmtdOptions& options = {})
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!options.flockFails.isEmpty()) {
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QM_FLOCK_SHIM));
        env.insert(QStringLiteral("QM_FLOCK_FAILS"), options.flockFails);
    }
    p->setProcessEnvironment(env);
    if (options.asNobody)
        p->start(QStringLiteral("setpriv"), QStringList{"--reuid=nobody", "--regid=nogroup",
                                                        "--clear-groups", QStringLiteral(QM_QMTD)} +
                                                args);
    else
        p->start(QStringLiteral(QM_QMTD), args);
    return p;
}

inline QmtdResult FinishQmtd(QProcess& p)
{
    QmtdResult r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

inline QmtdResult RunQmtdProcess(const QStringList& args, const QmtdOptions& options = {})
{
    return FinishQmtd(*StartQmtd(args, options));
}

// Runs the commands all at once and returns their results, in the order given.
inline std::vector<QmtdResult> RunQmtdTogether(const std::vector<QStringList>& commands,
                                               const QmtdOptions& options = {})
{
    std::vector<std::unique_ptr<QProcess>> running;
    for (const QStringList& args : commands)
        running.push_back(StartQmtd(args, options));
    std::vector<QmtdResult> results;
    for (auto& p : running)
        results.push_back(FinishQmtd(*p));
    return results;
}

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A run of qmtd with its peak memory: resident set size in KiB, as the system counts it for the
// child (wait4), its standard output thrown away. `addressSpaceLimit` (bytes, 0 for none) makes
// allocations beyond it fail, as on a machine that has no more memory.
struct QmtdMeasured {
    int status = -1;
    long peakKiB = 0;
    QString err;
};
QmtdMeasured RunQmtdMeasured(const QStringList& args, qint64 addressSpaceLimit = 0);
