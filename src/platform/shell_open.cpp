#include "platform/shell_open.h"

#include <QProcess>
#include <QUrl>

#ifdef Q_OS_WIN
#include <windows.h>
// shellapi.h uses the types windows.h declares
#include <shellapi.h>
#endif

bool ShellOpen(const QString& target)
{
#ifdef Q_OS_WIN
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(target.utf16()), nullptr, nullptr,
                      SW_SHOWNORMAL));
    return result > 32;
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(QStringLiteral("open"), {target});
#else
    // QDesktopServices would pull in the GUI module; xdg-open is what it runs here anyway.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
#endif
}
