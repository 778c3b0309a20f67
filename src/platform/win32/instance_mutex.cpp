#include "platform/win32/instance_mutex.h"

#ifdef _WIN32

#include "platform/win32/windows_api.h"

namespace win32 {

InstanceMutex CreateInstanceMutex(const std::wstring& name)
{
    InstanceMutex mutex;
    mutex.handle = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD code = GetLastError();
    if (mutex.handle)
        mutex.alreadyExisted = code == ERROR_ALREADY_EXISTS;
    else
        mutex.error = code;
    return mutex;
}

} // namespace win32

#endif
