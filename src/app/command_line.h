#pragma once
// The program's command line: an optional list file to reopen, and a few options.

#include <QString>
#include <QStringList>

struct TCommandLine {
    bool help = false;
    bool version = false;
    QString screenshotFile; // --screenshot FILE: save a picture of the window and quit
    QString listFile;       // the first argument that is not an option
    QString error;          // an option the program does not know, or one missing its value
};

// `arguments` without the program name. "--" ends the options.
TCommandLine ParseCommandLine(const QStringList& arguments);

QString UsageText(const QString& programName);
