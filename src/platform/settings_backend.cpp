#include "platform/settings_backend.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <cstring>
#include <vector>
#include <windows.h>
#ifdef _MSC_VER
#pragma comment(lib, "advapi32")
#endif
#else
#include "platform/settings_file.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <utility>
#endif

QString DefaultSettingsFilePath()
{
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(folder) + QStringLiteral("/Quillmark/Quillmark ToDo.conf");
}

#ifdef Q_OS_WIN

namespace {

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString systemMessage(LONG code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, length).trimmed()
                          : QStringLiteral("error %1").arg(code);
    if (buffer)
        LocalFree(buffer);
    return text;
}

// Closes a subkey when it goes out of scope.
struct KeyHolder {
    HKEY key = nullptr;
    ~KeyHolder()
    {
        if (key)
            RegCloseKey(key);
    }
};

} // namespace

struct SettingsBackend::Impl {
    QString location;
    HKEY base = nullptr;

    ~Impl()
    {
        if (base)
            RegCloseKey(base);
    }

    HKEY createSection(const QString& section)
    {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExW(base, wide(section), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            throw SettingsError(QStringLiteral("Failed to create key %1\\%2: %3")
                                    .arg(location, section, systemMessage(rc)));
        return key;
    }

    void setValue(const QString& section, const QString& name, DWORD type, const BYTE* data,
                  DWORD size)
    {
        KeyHolder sub{createSection(section)};
        const LONG rc = RegSetValueExW(sub.key, wide(name), 0, type, data, size);
        if (rc != ERROR_SUCCESS)
            throw SettingsError(
                QStringLiteral("Failed to set data for '%1': %2").arg(name, systemMessage(rc)));
    }
};

SettingsBackend::SettingsBackend() : SettingsBackend(QStringLiteral("Software\\Quillmark ToDo"))
{
}

SettingsBackend::SettingsBackend(const QString& location) : FImpl(std::make_unique<Impl>())
{
    FImpl->location = location;
}

SettingsBackend::~SettingsBackend() = default;

QString SettingsBackend::location() const
{
    return FImpl->location;
}

void SettingsBackend::open()
{
    if (FImpl->base)
        return;
    const LONG rc =
        RegCreateKeyExW(HKEY_CURRENT_USER, wide(FImpl->location), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &FImpl->base, nullptr);
    if (rc != ERROR_SUCCESS) {
        FImpl->base = nullptr;
        throw SettingsError(
            QStringLiteral("Failed to create key %1: %2").arg(FImpl->location, systemMessage(rc)));
    }
}

std::optional<SettingsValue> SettingsBackend::read(const QString& section, const QString& name)
{
    open();
    KeyHolder sub;
    LONG rc = RegOpenKeyExW(FImpl->base, wide(section), 0, KEY_READ, &sub.key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (rc != ERROR_SUCCESS)
        throw SettingsError(QStringLiteral("Failed to open key %1\\%2: %3")
                                .arg(FImpl->location, section, systemMessage(rc)));

    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    for (;;) {
        rc = RegQueryValueExW(sub.key, wide(name), nullptr, &type,
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
            throw SettingsError(
                QStringLiteral("Failed to get data for '%1': %2").arg(name, systemMessage(rc)));
        break;
    }

    SettingsValue value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // Stored strings need not end with a null character; read what is there, without
        // expanding variables.
        qsizetype length = static_cast<qsizetype>(size / sizeof(wchar_t));
        const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
        while (length > 0 && chars[length - 1] == L'\0')
            --length;
        value.type = SettingsValue::Type::String;
        value.text = QString::fromWCharArray(chars, length);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof number);
        value.type = SettingsValue::Type::Integer;
        value.number = static_cast<qint32>(number);
    }
    return value;
}

void SettingsBackend::writeString(const QString& section, const QString& name, const QString& text)
{
    open();
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    FImpl->setValue(section, name, REG_SZ, reinterpret_cast<const BYTE*>(wide(text)), size);
}

void SettingsBackend::writeInteger(const QString& section, const QString& name, qint32 number)
{
    open();
    const DWORD data = static_cast<DWORD>(number);
    FImpl->setValue(section, name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

std::optional<SettingsDamage> SettingsBackend::takeDamage()
{
    return std::nullopt; // the registry keeps its values typed: nothing to misread
}

#else // a settings file

struct SettingsBackend::Impl {
    QString location;
    bool opened = false;
    // A file that could not be read whole is copied aside once per run, before any rewrite.
    bool copied = false;
    QString copyError;
    std::optional<SettingsDamage> damage;

    SettingsFileContent load()
    {
        QFile file(location);
        if (!file.exists())
            return {};
        if (!file.open(QIODevice::ReadOnly))
            throw SettingsError(QStringLiteral("Cannot read the settings file %1: %2")
                                    .arg(QDir::toNativeSeparators(location), file.errorString()));
        const QByteArray bytes = file.readAll();
        SettingsFileContent content = SettingsFileContent::parse(bytes);
        if (!content.problems().isEmpty() && !copied && copyError.isEmpty())
            keepCopy(bytes, content.problems());
        return content;
    }

    void keepCopy(const QByteArray& bytes, const QStringList& problems)
    {
        const QFileInfo info(location);
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
        QString error;
        for (int n = 1; n < 100; ++n) {
            const QString name =
                QStringLiteral("%1 (unreadable %2%3).%4")
                    .arg(info.completeBaseName(), stamp,
                         n > 1 ? QStringLiteral(" %1").arg(n) : QString(), info.suffix());
            QFile copy(info.absoluteDir().filePath(name));
            if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                error = copy.errorString();
                if (copy.exists())
                    continue;
                break;
            }
            if (copy.write(bytes) != bytes.size() || !copy.flush()) {
                error = copy.errorString();
                copy.remove();
                break;
            }
            copied = true;
            damage = SettingsDamage{location, copy.fileName(), problems};
            return;
        }
        copyError = QStringLiteral("The settings file %1 could not be read whole, and no copy of "
                                   "it could be kept (%2); it is left as it is.")
                        .arg(QDir::toNativeSeparators(location), error);
        damage = SettingsDamage{location, QString(), problems};
    }

    void save(const SettingsFileContent& content) const
    {
        // What could not be read stays on disk as it was until a copy of it is kept.
        if (!content.problems().isEmpty() && !copied)
            throw SettingsError(copyError);
        QSaveFile file(location);
        if (!file.open(QIODevice::WriteOnly) || file.write(content.bytes()) < 0 || !file.commit())
            throw SettingsError(QStringLiteral("Cannot write the settings file %1: %2")
                                    .arg(QDir::toNativeSeparators(location), file.errorString()));
    }

    // Reads the file afresh before each change, so values written meanwhile by another
    // instance of the program are kept, as they would be in the registry.
    void write(const QString& section, const QString& name, const SettingsValue& value)
    {
        SettingsFileContent content = load();
        content.setValue(section, name, value);
        save(content);
    }
};

SettingsBackend::SettingsBackend() : SettingsBackend(QString())
{
}

SettingsBackend::SettingsBackend(const QString& location) : FImpl(std::make_unique<Impl>())
{
    FImpl->location = location;
}

SettingsBackend::~SettingsBackend() = default;

QString SettingsBackend::location() const
{
    return FImpl->location.isEmpty() ? DefaultSettingsFilePath() : FImpl->location;
}

void SettingsBackend::open()
{
    if (FImpl->opened)
        return;
    if (FImpl->location.isEmpty())
        FImpl->location = DefaultSettingsFilePath();
    const QFileInfo info(FImpl->location);
    if (!QDir().mkpath(info.absolutePath()))
        throw SettingsError(QStringLiteral("Cannot create the settings folder %1")
                                .arg(QDir::toNativeSeparators(info.absolutePath())));
    if (!info.exists()) {
        QFile file(FImpl->location);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !file.exists())
            throw SettingsError(
                QStringLiteral("Cannot create the settings file %1: %2")
                    .arg(QDir::toNativeSeparators(FImpl->location), file.errorString()));
    }
    FImpl->opened = true;
}

std::optional<SettingsValue> SettingsBackend::read(const QString& section, const QString& name)
{
    open();
    return FImpl->load().value(section, name);
}

void SettingsBackend::writeString(const QString& section, const QString& name, const QString& text)
{
    open();
    SettingsValue value;
    value.type = SettingsValue::Type::String;
    value.text = text;
    FImpl->write(section, name, value);
}

void SettingsBackend::writeInteger(const QString& section, const QString& name, qint32 number)
{
    open();
    SettingsValue value;
    value.type = SettingsValue::Type::Integer;
    value.number = number;
    FImpl->write(section, name, value);
}

std::optional<SettingsDamage> SettingsBackend::takeDamage()
{
    return std::exchange(FImpl->damage, std::nullopt);
}

#endif
