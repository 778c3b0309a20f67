#include "app/settings_store.h"

#include <limits>

namespace {

// Decimal text with an optional sign, within 32 bits; nothing else.
std::optional<int> parseDecimal(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 number = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        number = number * 10 + (c - u'0');
        if (number > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        number = -number;
    if (number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

} // namespace

SettingsStore::SettingsStore() : FBackend(std::make_unique<SettingsBackend>())
{
}

SettingsStore::SettingsStore(const QString& location)
    : FBackend(std::make_unique<SettingsBackend>(location))
{
}

QString SettingsStore::ReadString(const QString& section, const QString& name,
                                  const QString& defaultValue)
{
    const std::optional<SettingsValue> value = FBackend->read(section, name);
    if (!value || value->type != SettingsValue::Type::String)
        return defaultValue;
    return value->text;
}

int SettingsStore::ReadInteger(const QString& section, const QString& name, int defaultValue)
{
    const std::optional<SettingsValue> value = FBackend->read(section, name);
    if (!value)
        return defaultValue;
    switch (value->type) {
    case SettingsValue::Type::Integer:
        return value->number;
    case SettingsValue::Type::String:
        return parseDecimal(value->text).value_or(defaultValue);
    case SettingsValue::Type::Other:
        break;
    }
    return defaultValue;
}

bool SettingsStore::ReadBool(const QString& section, const QString& name, bool defaultValue)
{
    return ReadInteger(section, name, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::WriteString(const QString& section, const QString& name, const QString& value)
{
    FBackend->writeString(section, name, value);
}

void SettingsStore::WriteInteger(const QString& section, const QString& name, int value)
{
    const std::optional<SettingsValue> existing = FBackend->read(section, name);
    if (existing && existing->type == SettingsValue::Type::String)
        FBackend->writeString(section, name, QString::number(value));
    else
        FBackend->writeInteger(section, name, value);
}

void SettingsStore::WriteBool(const QString& section, const QString& name, bool value)
{
    FBackend->writeString(section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
}
