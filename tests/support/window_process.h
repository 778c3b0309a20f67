#pragma once
// The real program started by a test, as a person starts it: offscreen, with its own settings
// folder in which `list` is the one list it knows and reopens.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// Writes the settings that make `list` the start-up list into `configFolder`, and sets up
// `program` to start with them, offscreen. False when the settings could not be written.
inline bool PrepareWindowProcess(QProcess& program, const QString& configFolder,
                                 const QString& list)
{
    if (!QDir().mkpath(configFolder + QStringLiteral("/Quillmark")))
        return false;
    QFile settings(configFolder + QStringLiteral("/Quillmark/Quillmark ToDo.conf"));
    if (!settings.open(QIODevice::WriteOnly))
        return false;
    settings.write(QStringLiteral("[Settings]\nRecentOpenFiles=sz:\"%1\"\nLastOpenFile=sz:\"%1\"\n")
                       .arg(list)
                       .toUtf8());
    QProcessEnvironment env = program.processEnvironment();
    if (env.isEmpty())
        env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    program.setProcessEnvironment(env);
    return true;
}
