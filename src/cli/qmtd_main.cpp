// qmtd: the command-line tool over the task store.

#include "cli/cli_command.h"
#include "cli/forwarding.h"
#include "platform/file_names.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // From the bytes as given rather than QCoreApplication::arguments(), which turns a file name
    // that is not UTF-8 into another name.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    // A list that the window holds is worked on through the window.
    const CliForwarder forwarder(AskOnTerminal);
    return RunQmtd(arguments, out, err, DetectTerminal(), &forwarder);
}
