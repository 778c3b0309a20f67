// What qmtd's standard output is: a terminal or not, how wide, and whether the user asked for no
// colours (NO_COLOR, https://no-color.org) or has a terminal that shows none (TERM=dumb).

#include "cli/cli_command.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

CliTerminal DetectTerminal()
{
    CliTerminal terminal;
    terminal.noColor = !qEnvironmentVariableIsEmpty("NO_COLOR");
    terminal.dumb = qgetenv("TERM") == "dumb";
#ifdef Q_OS_WIN
    terminal.isTerminal = _isatty(_fileno(stdout)) != 0;
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (terminal.isTerminal && GetConsoleScreenBufferInfo(console, &info))
        terminal.columns = info.srWindow.Right - info.srWindow.Left + 1;
    // Colours need the console's escape-sequence mode; without it they would show as text.
    DWORD mode = 0;
    if (terminal.isTerminal &&
        (!GetConsoleMode(console, &mode) ||
         !SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)))
        terminal.dumb = true;
#else
    terminal.isTerminal = isatty(STDOUT_FILENO) != 0;
    winsize size{};
    if (terminal.isTerminal && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0)
        terminal.columns = size.ws_col;
#endif
    if (terminal.isTerminal && terminal.columns <= 0)
        terminal.columns = qEnvironmentVariableIntValue("COLUMNS");
    return terminal;
}
