#include "app/command_line.h"

#include "app/app_info.h"

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    TCommandLine result;
    QStringList positional;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options &&
                   (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            result.help = true;
        } else if (options && argument == QLatin1String("--version")) {
            result.version = true;
        } else if (options && argument == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size()) {
                result.error = QStringLiteral("--screenshot needs a file name");
                break;
            }
            result.screenshotFile = arguments[++i];
        } else if (options && argument.startsWith(QLatin1String("--"))) {
            result.error = QStringLiteral("unknown option %1").arg(argument);
            break;
        } else {
            positional.append(argument);
        }
    }
    if (!positional.isEmpty())
        result.listFile = positional.front();
    return result;
}

QString UsageText(const QString& programName)
{
    return QStringLiteral(
               "Usage: %1 [LIST%2]\n"
               "%3 %4, a personal to-do list manager.\n"
               "\n"
               "LIST is a to-do list file to open; without it the last list opened is reopened\n"
               "(a first run shows the greeting page instead).\n"
               "\n"
               "Options:\n"
               "  --help               show this text and exit\n"
               "  --version            show the version and exit\n"
               "  --screenshot FILE    save a picture of the main window as FILE (PNG) and exit\n")
        .arg(programName, ListFileExtension, ProductName, FileVersion());
}
