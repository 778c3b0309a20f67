// The settings file reader. Whatever the bytes, reading gives a file that, once written, reads
// whole, gives the same values and is written the same again; a string of any code units that
// is stored comes back unchanged.

#include "fuzz_support.h"
#include "platform/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using fuzz::check;
    SettingsFileContent content = SettingsFileContent::parse(fuzz::bytesOf(data, size));
    const QByteArray written = content.bytes();
    const SettingsFileContent again = SettingsFileContent::parse(written);
    check(again.problems().isEmpty(), "a written file reads whole", again.problems().join('\n'));
    check(again.bytes() == written, "a written file is written the same again");
    for (const auto& [section, name] : content.valueNames()) {
        const std::optional<SettingsValue> before = content.value(section, name);
        const std::optional<SettingsValue> after = again.value(section, name);
        check(before && after, "a value read is read again", section + u'/' + name);
        check(before->type == after->type && before->number == after->number,
              "a value keeps its type and number", section + u'/' + name);
        check(before->type != SettingsValue::Type::String || before->text == after->text,
              "a string keeps its text", section + u'/' + name);
    }

    // The input as a string value and as names: stored and read back exactly.
    const QString text = fuzz::utf16Of(data, size);
    SettingsValue value;
    value.type = SettingsValue::Type::String;
    value.text = text;
    content.setValue(QStringLiteral("Settings"), QStringLiteral("RecentOpenFiles"), value);
    content.setValue(text, text, value);
    const SettingsFileContent stored = SettingsFileContent::parse(content.bytes());
    for (const auto& [section, name] :
         {std::pair(QStringLiteral("Settings"), QStringLiteral("RecentOpenFiles")),
          std::pair(text, text)}) {
        const std::optional<SettingsValue> back = stored.value(section, name);
        check(back && back->type == SettingsValue::Type::String && back->text == text,
              "a stored string comes back unchanged", text);
    }
    return 0;
}
