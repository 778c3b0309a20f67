#include "platform/win32/registry_settings.h"
#include "platform/win32/system_error.h"
#include "platform/win32/windows_api.h"
#include "win32_test_support.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using win32::RegistrySettings;
using win32::RegistryValue;

// One value as the registry holds it.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A setting of the settings file the program writes on Linux: its section, name, type tag and
// value.
struct FileSetting {
    std::wstring section;
    std::wstring name;
    std::string tag; // "sz" or "dword"
    std::wstring text;
    std::int32_t number = 0;
};

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// The few lines of the settings file grammar the fixture uses: ; comments, [Section],
// Name=sz:"text" with \\ and \" escapes, Name=dword:N. Anything else fails the test.
std::vector<FileSetting> ReadSettingsFile(const std::string& bytes)
{
    std::vector<FileSetting> settings;
    std::wstring section;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Widened(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::size_t colon = line.find(':', equals);
        if (equals == std::string::npos || colon == std::string::npos) {
            ADD_FAILURE() << "not a setting: " << line;
            continue;
        }
        FileSetting setting;
        setting.section = section;
        setting.name = Widened(line.substr(0, equals));
        setting.tag = line.substr(equals + 1, colon - equals - 1);
        const std::string body = line.substr(colon + 1);
        if (setting.tag == "dword") {
            setting.number = std::int32_t(std::stol(body));
        } else if (setting.tag == "sz" && body.size() >= 2 && body.front() == '"' &&
                   body.back() == '"') {
            for (std::size_t i = 1; i + 1 < body.size(); ++i) {
                char c = body[i];
                if (c == '\\') {
                    c = body[++i];
                    if (c != '\\' && c != '"')
                        ADD_FAILURE() << "escape the test does not read: " << line;
                }
                setting.text += wchar_t(static_cast<unsigned char>(c));
            }
        } else {
            ADD_FAILURE() << "type the test does not read: " << line;
            continue;
        }
        settings.push_back(setting);
    }
    return settings;
}

class RegistrySettingsTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, FKeyPath.c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, FKeyPath.c_str()); }

    bool keyExists(const std::wstring& path) const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Every value of a section, by its name as stored, read past our own code.
    std::map<std::wstring, RawValue> rawValues(const std::wstring& section) const
    {
        std::map<std::wstring, RawValue> values;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (FKeyPath + L"\\" + section).c_str(), 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            return values;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLength = 256;
            BYTE data[4096];
            DWORD size = sizeof data;
            DWORD type = 0;
            if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) !=
                ERROR_SUCCESS)
                break;
            values[std::wstring(name, nameLength)] = {type, std::vector<BYTE>(data, data + size)};
        }
        RegCloseKey(key);
        return values;
    }

    // Stores a value of any type, as someone else's program or a person with regedit might.
    void writeRaw(const std::wstring& section, const std::wstring& name, DWORD type,
                  const std::vector<BYTE>& data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (FKeyPath + L"\\" + section).c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, data.data(), DWORD(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static std::vector<BYTE> Bytes(const std::wstring& text, bool withNull)
    {
        const auto* first = reinterpret_cast<const BYTE*>(text.c_str());
        return {first, first + (text.size() + (withNull ? 1 : 0)) * sizeof(wchar_t)};
    }

    // The program's own key under Wine (whose registry is the test run's own); a key of the
    // tests' own on Windows itself.
    const std::wstring FKeyPath = win32test::ProgramOrTestName(win32::SettingsKeyPath);
};

// What closing the window writes on Linux (checked by the settings tests there), written here
// through the registry core: each value lands under HKEY_CURRENT_USER\Software\Quillmark ToDo in
// a subkey per section, with the same name, REG_SZ for sz and REG_DWORD for dword, and reads back.
TEST_F(RegistrySettingsTest, TheProgramsSettingsKeepTheirNamesAndTypes)
{
    const std::string file = win32test::ReadWholeFile(
        win32test::HostPath(QM_TEST_DATA_DIR "/platform/program_settings.conf"));
    const std::vector<FileSetting> settings = ReadSettingsFile(file);
    ASSERT_GE(settings.size(), 2u) << file;
    {
        RegistrySettings registry;
        for (const FileSetting& s : settings) {
            if (s.tag == "sz")
                registry.writeString(s.section, s.name, s.text);
            else
                registry.writeInteger(s.section, s.name, s.number);
        }
    }
    EXPECT_EQ(FKeyPath, L"Software\\Quillmark ToDo") << "under Wine the program's own key";

    std::map<std::wstring, std::map<std::wstring, RawValue>> stored;
    RegistrySettings registry;
    for (const FileSetting& s : settings) {
        const std::string where = std::string(s.section.begin(), s.section.end()) + "/" +
                                  std::string(s.name.begin(), s.name.end());
        SCOPED_TRACE(where);
        if (!stored.count(s.section))
            stored[s.section] = rawValues(s.section);
        auto& section = stored[s.section];
        const auto found = section.find(s.name);
        ASSERT_NE(found, section.end()) << "no value of exactly this name";
        const std::optional<RegistryValue> back = registry.read(s.section, s.name);
        ASSERT_TRUE(back.has_value());
        if (s.tag == "sz") {
            EXPECT_EQ(found->second.type, DWORD(REG_SZ));
            EXPECT_EQ(found->second.data, Bytes(s.text, true)) << "with its null character";
            EXPECT_EQ(back->type, RegistryValue::Type::String);
            EXPECT_TRUE(back->text == s.text);
        } else {
            EXPECT_EQ(found->second.type, DWORD(REG_DWORD));
            ASSERT_EQ(found->second.data.size(), sizeof(DWORD));
            DWORD number = 0;
            std::memcpy(&number, found->second.data.data(), sizeof number);
            EXPECT_EQ(number, DWORD(s.number));
            EXPECT_EQ(back->type, RegistryValue::Type::Integer);
            EXPECT_EQ(back->number, s.number);
        }
        section.erase(found);
    }
    for (const auto& [section, left] : stored)
        EXPECT_TRUE(left.empty()) << "values the file does not have";
}

// A value of a type the program does not write reads as missing, whoever stored it.
TEST_F(RegistrySettingsTest, AValueOfAnUnexpectedTypeReadsAsMissing)
{
    const struct {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    } cases[] = {
        {"binary", REG_BINARY, {4, 0, 0, 0}},
        {"qword", REG_QWORD, {4, 0, 0, 0, 0, 0, 0, 0}},
        {"short dword", REG_DWORD, {4, 0}},
        {"long dword", REG_DWORD, {4, 0, 0, 0, 0}},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 4}},
        {"multi-string", REG_MULTI_SZ, Bytes(std::wstring(L"a\0b\0", 4), true)},
        {"none", REG_NONE, {}},
    };
    RegistrySettings registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeRaw(L"Settings", L"FTaskSortMode", c.type, c.data);
        EXPECT_FALSE(registry.read(L"Settings", L"FTaskSortMode").has_value());
    }
}

TEST_F(RegistrySettingsTest, StringsAreReadAsTheRegistryMayHoldThem)
{
    const struct {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::wstring text;
    } cases[] = {
        {"with its null", REG_SZ, Bytes(L"Verdana", true), L"Verdana"},
        {"without a null", REG_SZ, Bytes(L"Verdana", false), L"Verdana"},
        {"empty, no bytes", REG_SZ, {}, L""},
        {"expandable, not expanded", REG_EXPAND_SZ, Bytes(L"%TEMP%\\a.qmtd", true),
         L"%TEMP%\\a.qmtd"},
        {"beyond Latin-1", REG_SZ, Bytes(L"C:\\\u65e5\u8a18\\\u00e9t\u00e9.qmtd", true),
         L"C:\\\u65e5\u8a18\\\u00e9t\u00e9.qmtd"},
        {"longer than a first guess", REG_SZ, Bytes(std::wstring(3000, L'x'), true),
         std::wstring(3000, L'x')},
    };
    RegistrySettings registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeRaw(L"Settings", L"LastOpenFile", c.type, c.data);
        const std::optional<RegistryValue> value = registry.read(L"Settings", L"LastOpenFile");
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->type, RegistryValue::Type::String);
        EXPECT_TRUE(value->text == c.text) << "length " << value->text.size();
    }
}

TEST_F(RegistrySettingsTest, TheKeyIsMadeAtTheFirstAccessAndMissingValuesAreNothing)
{
    RegistrySettings registry;
    EXPECT_FALSE(keyExists(FKeyPath));
    EXPECT_FALSE(registry.read(L"Settings", L"RecentOpenFiles").has_value()) << "no section";
    EXPECT_TRUE(keyExists(FKeyPath)) << "a read creates the base key";
    EXPECT_FALSE(keyExists(FKeyPath + L"\\Settings")) << "but not the section";

    registry.writeInteger(L"Settings", L"DisplayFontSize", 14);
    EXPECT_FALSE(registry.read(L"Settings", L"DisplayFont").has_value()) << "no value";
    EXPECT_FALSE(registry.read(L"MainFormState", L"DisplayFontSize").has_value());
    // Names are the registry's: found whatever their case.
    const std::optional<RegistryValue> any = registry.read(L"SETTINGS", L"displayfontsize");
    ASSERT_TRUE(any.has_value());
    EXPECT_EQ(any->number, 14);
}

TEST_F(RegistrySettingsTest, IntegersKeepAllTheirBitsAndAWriteReplacesTheType)
{
    RegistrySettings registry;
    for (const std::int32_t number : {0, 2, 258, -1, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(number);
        registry.writeInteger(L"MainFormState", L"Left", number);
        const std::optional<RegistryValue> back = registry.read(L"MainFormState", L"Left");
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->type, RegistryValue::Type::Integer);
        EXPECT_EQ(back->number, number);
    }
    registry.writeString(L"MainFormState", L"Left", L"12");
    EXPECT_EQ(rawValues(L"MainFormState")[L"Left"].type, DWORD(REG_SZ));
    registry.writeInteger(L"MainFormState", L"Left", 12);
    EXPECT_EQ(rawValues(L"MainFormState")[L"Left"].type, DWORD(REG_DWORD));
}

TEST_F(RegistrySettingsTest, AKeyThatCannotBeMadeThrowsWithTheSystemsReason)
{
    // A key's name has at most 255 characters.
    RegistrySettings registry;
    try {
        registry.writeString(std::wstring(300, L's'), L"LastOpenFile", L"x");
        ADD_FAILURE() << "no error";
    } catch (const win32::SystemError& error) {
        EXPECT_NE(error.code(), 0ul);
        EXPECT_NE(error.message().find(L"Failed to create key"), std::wstring::npos);
        EXPECT_GT(error.message().size(), std::wstring(L"Failed to create key ").size());
    }
}

} // namespace
