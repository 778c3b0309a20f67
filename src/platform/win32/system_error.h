#pragma once
// Win32 errors in words, for the Windows core of the platform layer. Like everything in this
// folder it speaks only the standard library and the Win32 API, so that it can be built and
// tested without Qt; the Qt classes of src/platform wrap it.

#include <exception>
#include <string>

namespace win32 {

// The system's words for an error code, without the line end; "error N" when it has none.
std::wstring SystemMessage(unsigned long code);

// A failed system call: its error code and what was being done, in words for a message.
class SystemError : public std::exception {
public:
    SystemError(unsigned long code, std::wstring message);

    unsigned long code() const { return FCode; }
    const std::wstring& message() const { return FMessage; }
    // The message with every character beyond ASCII as '?', for where only bytes will do.
    const char* what() const noexcept override { return FWhat.c_str(); }

private:
    unsigned long FCode;
    std::wstring FMessage;
    std::string FWhat;
};

} // namespace win32
