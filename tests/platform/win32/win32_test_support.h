#pragma once
// What the Win32 core's tests share: where they run, temporary folders, and second processes
// (this test program started again with --child, see win32_test_main.cpp).
//
// These tests run under Wine on Linux. What they check is our code's use of the Win32 API as
// Wine implements it, which follows Windows closely for what is used here, but is not Windows.

#include <string>
#include <vector>

namespace win32test {

// Wine's version ("8.0"), or empty on Windows itself.
std::string WineVersion();

// Names the program itself uses (its registry key, its mutex) are used as they are only under
// Wine, in a prefix of the tests' own; on Windows the tests use names of their own so that a
// real user's settings and a running copy of the program are never touched.
std::wstring ProgramOrTestName(const std::wstring& programName);

// A host path (as the build knows it) for this system: under Wine, /a/b is Z:\a\b.
std::wstring HostPath(const std::string& path);

// A fresh folder under the system's temporary folder, removed with what it holds at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return FPath; }
    std::wstring file(const std::wstring& name) const { return FPath + L"\\" + name; }

private:
    std::wstring FPath;
};

// Writes `bytes` to a new file at `path` (replacing one there); false on failure.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The file's bytes, or "<unreadable>" when it cannot be opened for reading.
std::string ReadWholeFile(const std::wstring& path);

// Runs this test program as `--child args...` and gives its exit code; -1 when it did not start
// or did not end within a minute.
long RunChild(const std::vector<std::wstring>& args);

// This test program started as `--child command args... event`, running until it is killed.
// It signals the event once it has done what `command` asks (taken a hold, made the mutex).
class HoldingChild {
public:
    HoldingChild(const std::wstring& command, const std::vector<std::wstring>& args);
    ~HoldingChild();
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    // Whether it started and signalled within a minute.
    bool ready() const { return FReady; }
    // Ends it as a crash would: no code of its own runs. Returns once it has ended.
    void kill();

private:
    void* FProcess = nullptr;
    void* FEvent = nullptr;
    bool FReady = false;
};

} // namespace win32test
