#include "win32_test_support.h"

#include "platform/win32/windows_api.h"

#include <atomic>

namespace win32test {

namespace {

std::wstring ThisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// One argument of a command line, quoted so that CommandLineToArgvW gives it back as it is.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE StartChild(const std::vector<std::wstring>& args)
{
    std::wstring line = Quoted(ThisProgram()) + L" --child";
    for (const std::wstring& a : args)
        line += L" " + Quoted(a);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::atomic<int> folderCount{0};

} // namespace

std::string WineVersion()
{
    using Version = const char*(__cdecl*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto version = ntdll ? reinterpret_cast<Version>(reinterpret_cast<void*>(
                                     GetProcAddress(ntdll, "wine_get_version")))
                               : nullptr;
    return version ? version() : std::string();
}

std::wstring ProgramOrTestName(const std::wstring& programName)
{
    return WineVersion().empty() ? programName + L" (Win32 core tests)" : programName;
}

std::wstring HostPath(const std::string& path)
{
    std::wstring wide(path.begin(), path.end()); // the build's paths are ASCII
    if (!wide.empty() && wide[0] == L'/' && !WineVersion().empty())
        wide = L"Z:" + wide;
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    return wide;
}

TempFolder::TempFolder()
{
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(DWORD(base.size()), base.data()));
    FPath = base + L"quillmark-win32-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(folderCount++);
    RemoveTree(FPath);
    CreateDirectoryW(FPath.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(FPath);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const bool ok =
        WriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
    CloseHandle(h);
    return ok;
}

std::string ReadWholeFile(const std::wstring& path)
{
    // Shares everything, as a careless reader would: only a hold keeps it out.
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string bytes;
    char buffer[4096];
    DWORD done = 0;
    while (ReadFile(h, buffer, sizeof buffer, &done, nullptr) && done > 0)
        bytes.append(buffer, done);
    CloseHandle(h);
    return bytes;
}

long RunChild(const std::vector<std::wstring>& args)
{
    const HANDLE process = StartChild(args);
    if (!process)
        return -1;
    DWORD code = 0;
    const bool ended =
        WaitForSingleObject(process, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    if (!ended)
        TerminateProcess(process, 1);
    CloseHandle(process);
    return ended ? long(code) : -1;
}

HoldingChild::HoldingChild(const std::wstring& command, const std::vector<std::wstring>& args)
{
    static std::atomic<int> count{0};
    const std::wstring eventName = L"quillmark-win32-test-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(count++);
    FEvent = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    std::vector<std::wstring> all{command};
    all.insert(all.end(), args.begin(), args.end());
    all.push_back(eventName);
    FProcess = FEvent ? StartChild(all) : nullptr;
    if (!FProcess)
        return;
    const HANDLE both[] = {static_cast<HANDLE>(FEvent), static_cast<HANDLE>(FProcess)};
    // Ready when the event comes first; a child that ended has failed.
    FReady = WaitForMultipleObjects(2, both, FALSE, 60000) == WAIT_OBJECT_0;
}

HoldingChild::~HoldingChild()
{
    kill();
    if (FEvent)
        CloseHandle(static_cast<HANDLE>(FEvent));
}

void HoldingChild::kill()
{
    if (!FProcess)
        return;
    TerminateProcess(static_cast<HANDLE>(FProcess), 9);
    WaitForSingleObject(static_cast<HANDLE>(FProcess), 60000);
    CloseHandle(static_cast<HANDLE>(FProcess));
    FProcess = nullptr;
}

} // namespace win32test
