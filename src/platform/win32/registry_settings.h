#pragma once
// The program's settings on Windows: the registry key HKEY_CURRENT_USER\Software\Quillmark ToDo,
// one subkey per section ("Settings", "MainFormState"), each setting a value of the name the
// settings file uses elsewhere: a string as REG_SZ, an integer as a 32-bit REG_DWORD.
//
//     win32::RegistrySettings settings;                       // the program's own key
//     settings.writeInteger(L"Settings", L"FTaskSortMode", 2);
//     if (const auto value = settings.read(L"Settings", L"LastOpenFile")) ...
//
// Reading is lenient where the registry is: a REG_EXPAND_SZ reads as a string, without expanding
// anything, and a string need not end with a null character. A value stored with any other type
// (REG_BINARY, REG_QWORD, REG_MULTI_SZ, a REG_DWORD that is not four bytes, ...) reads as missing,
// as does a missing section. Names are matched without regard to case, as the registry does.
//
// Standard library and Win32 only; platform/settings_backend.h wraps it for the program.
// Failures throw win32::SystemError (platform/win32/system_error.h).

#include <cstdint>
#include <optional>
#include <string>

namespace win32 {

// The program's key under HKEY_CURRENT_USER.
inline constexpr wchar_t SettingsKeyPath[] = L"Software\\Quillmark ToDo";

struct RegistryValue {
    enum class Type { String, Integer };
    Type type = Type::String;
    std::wstring text;       // Type::String
    std::int32_t number = 0; // Type::Integer
};

class RegistrySettings {
public:
    // The key `keyPath` under HKEY_CURRENT_USER.
    explicit RegistrySettings(std::wstring keyPath = SettingsKeyPath);
    ~RegistrySettings();
    RegistrySettings(const RegistrySettings&) = delete;
    RegistrySettings& operator=(const RegistrySettings&) = delete;

    const std::wstring& keyPath() const { return FKeyPath; }

    // Opens the key, creating it when missing; it then stays open. Every read and write calls
    // it, so the first access creates the key even if nothing is ever written.
    void open();

    // The value, or nothing when the section or the value does not exist or has another type.
    std::optional<RegistryValue> read(const std::wstring& section, const std::wstring& name);
    // Create the section when needed and replace the value, whatever its type was.
    void writeString(const std::wstring& section, const std::wstring& name,
                     const std::wstring& text);
    void writeInteger(const std::wstring& section, const std::wstring& name, std::int32_t number);

private:
    void setValue(const std::wstring& section, const std::wstring& name, unsigned long type,
                  const void* data, unsigned long size);

    std::wstring FKeyPath;
    void* FBase = nullptr; // HKEY, open from the first access
};

} // namespace win32
