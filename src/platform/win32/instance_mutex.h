#pragma once
// The named mutex the program creates at start. It serves no synchronisation: nothing waits on
// it and nothing tests for a running instance, so a second copy of the program finds it there
// and runs as normal. The program keeps the handle for the life of the process; the system
// removes the mutex when the last process that has it ends.
//
//     win32::CreateInstanceMutex();   // in main, before the windows are made
//
// Standard library and Win32 only.

#include <string>

namespace win32 {

inline constexpr wchar_t InstanceMutexName[] = L"QuillmarkToDo";

struct InstanceMutex {
    void* handle = nullptr;      // HANDLE; nullptr when it could not be created
    bool alreadyExisted = false; // another process (or handle) had made it
    unsigned long error = 0;     // GetLastError() when `handle` is nullptr
};

// Creates the mutex with no security attributes and not initially owned, or opens the one that
// exists. The handle is the caller's.
InstanceMutex CreateInstanceMutex(const std::wstring& name = InstanceMutexName);

} // namespace win32
