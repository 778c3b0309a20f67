// The program a person starts: the main window, its dialogs and the message loop.

#include "app/app_info.h"
#include "app/app_windows.h"
#include "app/command_line.h"
#include "app/error_handler.h"
#include "app/form_main.h"
#include "platform/file_names.h"

#include <QTimer>
#include <cstdio>

#ifdef Q_OS_WIN
#include "platform/win32/instance_mutex.h"
#endif

namespace {

QStringList ArgumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(DecodeFileName(argv[i]));
    return arguments;
}

// Saves a picture of the window once the first page has been laid out and painted.
void ScheduleScreenshot(TFormMain& form, const QString& fileName)
{
    QTimer::singleShot(700, &form, [&form, fileName] {
        const bool saved = form.grab().save(fileName, "PNG");
        if (!saved)
            std::fprintf(stderr, "quillmark: cannot save %s\n", qPrintable(fileName));
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

// Without a display Qt aborts with a long message about platform plugins; one plain line serves
// the person who started us better.
bool DisplayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    // Options that only print are answered before any display is needed.
    const TCommandLine commandLine = ParseCommandLine(ArgumentsOf(argc, argv));
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "quillmark: %s\n%s", qPrintable(commandLine.error),
                     qPrintable(UsageText(QStringLiteral("quillmark"))));
        return 2;
    }
    if (commandLine.help) {
        std::fputs(qPrintable(UsageText(QStringLiteral("quillmark"))), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("%s %s\n", qPrintable(ProductName), qPrintable(FileVersion()));
        return 0;
    }

    if (!DisplayAvailable()) {
        std::fputs("quillmark: no graphical display is available (DISPLAY and WAYLAND_DISPLAY are "
                   "unset); start it from a desktop session.\n",
                   stderr);
        return 1;
    }

    TQuillmarkApplication application(argc, argv);
#ifdef Q_OS_WIN
    // Kept for the life of the process; nothing waits on it and a second copy runs as normal.
    win32::CreateInstanceMutex();
#endif
    QCoreApplication::setApplicationName(ProductName);
    QCoreApplication::setApplicationVersion(FileVersion());
    ApplicationTitle = QStringLiteral("ToDo"); // the main window renames it
    QGuiApplication::setQuitOnLastWindowClosed(true);

    TApplicationWindows windows = CreateApplicationWindows(commandLine.listFile);
    windows.FormMain->show();
    if (!commandLine.screenshotFile.isEmpty())
        ScheduleScreenshot(*windows.FormMain, commandLine.screenshotFile);
    return application.exec();
}
