#pragma once
// A list file held on Windows, in the system's own terms: opened through CreateFileW with a share
// mode that keeps everyone else out. A writer shares the file with no one (share mode 0), so no
// other open of its data succeeds while it is held, in this process or another, and no one can
// delete or rename it meanwhile. A reader shares it with readers only (FILE_SHARE_READ), so no
// writer can open it while it is read, nor a reader a file that a writer holds. The system drops
// the hold when the handle is closed or the process ends, however it ends.
//
//     win32::ShareModeFile file;
//     if (!file.open(L"C:\\Lists\\Work.qmtd", win32::OpenMode::OpenExisting) &&
//         file.failure().kind == win32::FailureKind::InUse)
//         ... // held by another instance: the list "can not be opened"
//
// Standard library and Win32 only; platform/exclusive_file_hold.h wraps it for the program.
// Operations report failure by returning false; failure() then tells why.

#include <cstdint>
#include <string>

namespace win32 {

enum class OpenMode {
    OpenExisting,   // for reading and writing; fails when the file does not exist
    CreateOrOpen,   // creates an empty file when missing, keeps the content otherwise
    CreateTruncate, // creates the file or empties an existing one (never one held elsewhere)
    ReadShared,     // an existing file, for reading only, shared with other readers
    CreateNew,      // creates the file; fails when anything has the name
};

// What a failure means to the person using the program.
enum class FailureKind {
    InUse,            // another holder has the file: a sharing or lock violation
    Folder,           // the name is a folder's
    PermissionDenied, // access denied to a file
    NotFound,         // the file, or a folder on its path, does not exist
    Ended,            // the file ended before all that was to be read
    Other,            // the system's message says what
};

struct FileFailure {
    unsigned long code = 0; // the system's error code; 0 for Ended
    FailureKind kind = FailureKind::Other;
    std::wstring message; // the system's words for `code`
};

// What the system's error `code` from opening or using `path` means.
FailureKind KindOfFailure(unsigned long code, const std::wstring& path);

class ShareModeFile {
public:
    ShareModeFile() = default;
    ~ShareModeFile();
    ShareModeFile(const ShareModeFile&) = delete;
    ShareModeFile& operator=(const ShareModeFile&) = delete;

    // Opens the file and takes the hold (closing any file held before).
    bool open(const std::wstring& path, OpenMode mode);
    bool isOpen() const { return FHandle != nullptr; }
    // Releases the hold and closes the file.
    void close();
    // Closes the file and deletes it. A held file cannot have been deleted or renamed by anyone
    // else, so the name still names it. True when deleted.
    bool closeAndRemove();

    const std::wstring& path() const { return FPath; }
    // Of the last call that failed.
    const FileFailure& failure() const { return FFailure; }

    // Size in bytes, or -1 on failure.
    std::int64_t size();
    // Reads `length` bytes from `offset`; fails (FailureKind::Ended) when fewer are there.
    bool readAt(std::int64_t offset, char* data, std::int64_t length);
    // Writes all `length` bytes at `offset`, growing the file as needed.
    bool writeAt(std::int64_t offset, const char* data, std::int64_t length);
    bool resize(std::int64_t newSize);
    // Forces the file's data to the storage device.
    bool flush();

private:
    bool fail(); // from GetLastError()
    bool fail(unsigned long code);

    void* FHandle = nullptr; // HANDLE; nullptr when closed
    std::wstring FPath;
    FileFailure FFailure;
};

} // namespace win32
