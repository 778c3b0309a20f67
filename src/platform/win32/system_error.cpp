#include "platform/win32/system_error.h"

#ifdef _WIN32

#include "platform/win32/windows_api.h"

namespace win32 {

std::wstring SystemMessage(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    const auto end = text.find_last_not_of(L" \t\r\n");
    text.erase(end == std::wstring::npos ? 0 : end + 1);
    return text.empty() ? L"error " + std::to_wstring(code) : text;
}

SystemError::SystemError(unsigned long code, std::wstring message)
    : FCode(code), FMessage(std::move(message))
{
    FWhat.reserve(FMessage.size());
    for (const wchar_t c : FMessage)
        FWhat += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
}

} // namespace win32

#endif
