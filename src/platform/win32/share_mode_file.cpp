#include "platform/win32/share_mode_file.h"

#ifdef _WIN32

#include "platform/win32/system_error.h"
#include "platform/win32/windows_api.h"

#include <algorithm>

namespace win32 {

namespace {

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE AsHandle(void* handle)
{
    return static_cast<HANDLE>(handle);
}

// An OVERLAPPED that names `offset`, for ReadFile and WriteFile at a position.
OVERLAPPED At(std::int64_t offset)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Transfers are cut into pieces a DWORD can count.
DWORD Chunk(std::int64_t length)
{
    return static_cast<DWORD>(std::min<std::int64_t>(length, 1 << 30));
}

} // namespace

FailureKind KindOfFailure(unsigned long code, const std::wstring& path)
{
    switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FailureKind::InUse;
    case ERROR_ACCESS_DENIED:
        // The system refuses to open a folder as a file with this code, too.
        return IsFolder(path) ? FailureKind::Folder : FailureKind::PermissionDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FailureKind::NotFound;
    default:
        return FailureKind::Other;
    }
}

ShareModeFile::~ShareModeFile()
{
    close();
}

bool ShareModeFile::fail()
{
    return fail(GetLastError());
}

bool ShareModeFile::fail(unsigned long code)
{
    FFailure.code = code;
    FFailure.kind = KindOfFailure(code, FPath);
    FFailure.message = SystemMessage(code);
    return false;
}

bool ShareModeFile::open(const std::wstring& path, OpenMode mode)
{
    close();
    FPath = path;
    FFailure = {};
    const bool reader = mode == OpenMode::ReadShared;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case OpenMode::OpenExisting:
    case OpenMode::ReadShared:
        disposition = OPEN_EXISTING;
        break;
    case OpenMode::CreateOrOpen:
        disposition = OPEN_ALWAYS;
        break;
    case OpenMode::CreateTruncate:
        // Truncates only once the open has passed the share check: never a file held elsewhere.
        disposition = CREATE_ALWAYS;
        break;
    case OpenMode::CreateNew:
        disposition = CREATE_NEW;
        break;
    }
    const DWORD access = reader ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD share = reader ? FILE_SHARE_READ : 0;
    const HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail();
    FHandle = h;
    return true;
}

void ShareModeFile::close()
{
    if (FHandle) {
        CloseHandle(AsHandle(FHandle));
        FHandle = nullptr;
    }
}

bool ShareModeFile::closeAndRemove()
{
    if (!FHandle)
        return false;
    close();
    return DeleteFileW(FPath.c_str()) || fail();
}

std::int64_t ShareModeFile::size()
{
    LARGE_INTEGER size;
    if (!FHandle) {
        fail(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (!GetFileSizeEx(AsHandle(FHandle), &size)) {
        fail();
        return -1;
    }
    return size.QuadPart;
}

bool ShareModeFile::readAt(std::int64_t offset, char* data, std::int64_t length)
{
    if (!FHandle)
        return fail(ERROR_INVALID_HANDLE);
    while (length > 0) {
        OVERLAPPED at = At(offset);
        DWORD done = 0;
        if (!ReadFile(AsHandle(FHandle), data, Chunk(length), &done, &at)) {
            // Reading at or past the end of a file is no error, just nothing read.
            if (GetLastError() != ERROR_HANDLE_EOF)
                return fail();
            done = 0;
        }
        if (done == 0) {
            FFailure = {0, FailureKind::Ended, L"the file ended"};
            return false;
        }
        offset += done;
        data += done;
        length -= done;
    }
    return true;
}

bool ShareModeFile::writeAt(std::int64_t offset, const char* data, std::int64_t length)
{
    if (!FHandle)
        return fail(ERROR_INVALID_HANDLE);
    while (length > 0) {
        OVERLAPPED at = At(offset);
        DWORD done = 0;
        if (!WriteFile(AsHandle(FHandle), data, Chunk(length), &done, &at))
            return fail();
        if (done == 0)
            return fail(ERROR_WRITE_FAULT);
        offset += done;
        data += done;
        length -= done;
    }
    return true;
}

bool ShareModeFile::resize(std::int64_t newSize)
{
    if (!FHandle)
        return fail(ERROR_INVALID_HANDLE);
    LARGE_INTEGER position;
    position.QuadPart = newSize;
    if (!SetFilePointerEx(AsHandle(FHandle), position, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(AsHandle(FHandle)))
        return fail();
    return true;
}

bool ShareModeFile::flush()
{
    if (!FHandle)
        return fail(ERROR_INVALID_HANDLE);
    return FlushFileBuffers(AsHandle(FHandle)) || fail();
}

} // namespace win32

#endif
