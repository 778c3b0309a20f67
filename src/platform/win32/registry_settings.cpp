#include "platform/win32/registry_settings.h"

#ifdef _WIN32

#include "platform/win32/system_error.h"
#include "platform/win32/windows_api.h"

#include <cstring>
#include <vector>
#ifdef _MSC_VER
#pragma comment(lib, "advapi32")
#endif

namespace win32 {

namespace {

// Closes a key when it goes out of scope.
struct KeyHolder {
    HKEY key = nullptr;
    KeyHolder() = default;
    explicit KeyHolder(HKEY k) : key(k) {}
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    ~KeyHolder()
    {
        if (key)
            RegCloseKey(key);
    }
};

[[noreturn]] void Throw(LONG code, const std::wstring& what)
{
    throw SystemError(static_cast<unsigned long>(code), what + L": " + SystemMessage(code));
}

HKEY CreateKey(HKEY parent, const std::wstring& path, const std::wstring& shownPath)
{
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        Throw(rc, L"Failed to create key " + shownPath);
    return key;
}

} // namespace

RegistrySettings::RegistrySettings(std::wstring keyPath) : FKeyPath(std::move(keyPath))
{
}

RegistrySettings::~RegistrySettings()
{
    if (FBase)
        RegCloseKey(static_cast<HKEY>(FBase));
}

void RegistrySettings::open()
{
    if (!FBase)
        FBase = CreateKey(HKEY_CURRENT_USER, FKeyPath, FKeyPath);
}

std::optional<RegistryValue> RegistrySettings::read(const std::wstring& section,
                                                    const std::wstring& name)
{
    open();
    KeyHolder sub;
    LONG rc = RegOpenKeyExW(static_cast<HKEY>(FBase), section.c_str(), 0, KEY_READ, &sub.key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (rc != ERROR_SUCCESS)
        Throw(rc, L"Failed to open key " + FKeyPath + L"\\" + section);

    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    for (;;) {
        rc = RegQueryValueExW(sub.key, name.c_str(), nullptr, &type,
                              data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && data.size() < size)) {
            // The value grew between the two calls, or this was the size query.
            data.assign(size + sizeof(wchar_t), 0);
            size = static_cast<DWORD>(data.size());
            continue;
        }
        if (rc != ERROR_SUCCESS)
            Throw(rc, L"Failed to get data for '" + name + L"'");
        break;
    }

    RegistryValue value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // Read what is there, up to any null characters at its end.
        std::size_t length = size / sizeof(wchar_t);
        value.text.resize(length);
        if (length)
            std::memcpy(value.text.data(), data.data(), length * sizeof(wchar_t));
        while (!value.text.empty() && value.text.back() == L'\0')
            value.text.pop_back();
        value.type = RegistryValue::Type::String;
        return value;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.type = RegistryValue::Type::Integer;
        value.number = static_cast<std::int32_t>(number);
        return value;
    }
    return std::nullopt;
}

void RegistrySettings::setValue(const std::wstring& section, const std::wstring& name,
                                unsigned long type, const void* data, unsigned long size)
{
    open();
    const KeyHolder sub(CreateKey(static_cast<HKEY>(FBase), section, FKeyPath + L"\\" + section));
    const LONG rc =
        RegSetValueExW(sub.key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (rc != ERROR_SUCCESS)
        Throw(rc, L"Failed to set data for '" + name + L"'");
}

void RegistrySettings::writeString(const std::wstring& section, const std::wstring& name,
                                   const std::wstring& text)
{
    // With its null character, as the registry's own tools write strings.
    setValue(section, name, REG_SZ, text.c_str(),
             static_cast<unsigned long>((text.size() + 1) * sizeof(wchar_t)));
}

void RegistrySettings::writeInteger(const std::wstring& section, const std::wstring& name,
                                    std::int32_t number)
{
    const DWORD data = static_cast<DWORD>(number);
    setValue(section, name, REG_DWORD, &data, sizeof data);
}

} // namespace win32

#endif
