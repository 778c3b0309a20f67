// The Win32 core's test program. Started with --child, it is the second process a test needs
// (another instance of the program, as far as the system can tell) and does one thing:
//
//     --child open writer|reader PATH         exit 0 when the hold was taken, else the error code
//     --child hold writer|reader PATH EVENT   takes the hold, signals EVENT, runs until killed
//     --child mutex NAME                      exit 0 when it made the mutex, 1 when it was there
//                                             and not owned by anyone, 2 when it was owned
//     --child mutex-hold NAME EVENT           makes the mutex, signals EVENT, runs until killed

#include "platform/win32/instance_mutex.h"
#include "platform/win32/share_mode_file.h"
#include "platform/win32/windows_api.h"
#include "win32_test_support.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>
// shellapi.h builds on windows.h's definitions (windows_api.h, above).
#include <shellapi.h>

namespace {

std::vector<std::wstring> Arguments()
{
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(list, list + count);
    LocalFree(list);
    return arguments;
}

win32::OpenMode ModeNamed(const std::wstring& name)
{
    return name == L"reader" ? win32::OpenMode::ReadShared : win32::OpenMode::OpenExisting;
}

[[noreturn]] void SignalAndWait(const std::wstring& eventName)
{
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str());
    if (!event || !SetEvent(event))
        ExitProcess(200);
    for (;;)
        Sleep(INFINITE);
}

int RunChildCommand(const std::vector<std::wstring>& a)
{
    const std::wstring& command = a.size() > 2 ? a[2] : std::wstring();
    if ((command == L"open" || command == L"hold") && a.size() >= 5) {
        win32::ShareModeFile file;
        if (!file.open(a[4], ModeNamed(a[3])))
            return static_cast<int>(file.failure().code);
        if (command == L"hold" && a.size() >= 6)
            SignalAndWait(a[5]);
        return 0;
    }
    if ((command == L"mutex" || command == L"mutex-hold") && a.size() >= 4) {
        const win32::InstanceMutex mutex = win32::CreateInstanceMutex(a[3]);
        if (!mutex.handle)
            return 100;
        if (command == L"mutex-hold" && a.size() >= 5)
            SignalAndWait(a[4]);
        if (!mutex.alreadyExisted)
            return 0;
        // Made by the other process without taking it: anyone can take it.
        const DWORD wait = WaitForSingleObject(static_cast<HANDLE>(mutex.handle), 0);
        if (wait == WAIT_OBJECT_0)
            ReleaseMutex(static_cast<HANDLE>(mutex.handle));
        return wait == WAIT_OBJECT_0 ? 1 : 2;
    }
    return 201;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::wstring> arguments = Arguments();
    if (arguments.size() > 1 && arguments[1] == L"--child")
        return RunChildCommand(arguments);

    const std::string wine = win32test::WineVersion();
    if (wine.empty())
        std::printf("Running on Windows itself.\n");
    else
        std::printf("Running under Wine %s: these tests check how our code uses the Win32 API as "
                    "Wine implements it, not Windows itself.\n",
                    wine.c_str());
    std::fflush(stdout);
    testing::InitGoogleTest(&argc, argv);
    testing::Test::RecordProperty("wine", wine.empty() ? "none" : wine);
    return RUN_ALL_TESTS();
}
