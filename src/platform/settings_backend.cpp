#include "platform/settings_backend.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "platform/win32/registry_settings.h"
#include "platform/win32/system_error.h"
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

// Runs a call into the registry, its errors turned into the program's own.
template <typename Call> auto Translated(Call call)
{
    try {
        return call();
    } catch (const win32::SystemError& error) {
        throw SettingsError(QString::fromStdWString(error.message()));
    }
}

} // namespace

struct SettingsBackend::Impl {
    win32::RegistrySettings registry;
    explicit Impl(const QString& location) : registry(location.toStdWString()) {}
};

SettingsBackend::SettingsBackend()
    : SettingsBackend(QString::fromWCharArray(win32::SettingsKeyPath))
{
}

SettingsBackend::SettingsBackend(const QString& location) : FImpl(std::make_unique<Impl>(location))
{
}

SettingsBackend::~SettingsBackend() = default;

QString SettingsBackend::location() const
{
    return QString::fromStdWString(FImpl->registry.keyPath());
}

void SettingsBackend::open()
{
    Translated([&] { FImpl->registry.open(); });
}

std::optional<SettingsValue> SettingsBackend::read(const QString& section, const QString& name)
{
    const std::optional<win32::RegistryValue> stored = Translated(
        [&] { return FImpl->registry.read(section.toStdWString(), name.toStdWString()); });
    if (!stored)
        return std::nullopt; // missing, or of a type the program does not read
    SettingsValue value;
    if (stored->type == win32::RegistryValue::Type::String) {
        value.type = SettingsValue::Type::String;
        value.text = QString::fromStdWString(stored->text);
    } else {
        value.type = SettingsValue::Type::Integer;
        value.number = stored->number;
    }
    return value;
}

void SettingsBackend::writeString(const QString& section, const QString& name, const QString& text)
{
    Translated([&] {
        FImpl->registry.writeString(section.toStdWString(), name.toStdWString(),
                                    text.toStdWString());
    });
}

void SettingsBackend::writeInteger(const QString& section, const QString& name, qint32 number)
{
    Translated(
        [&] { FImpl->registry.writeInteger(section.toStdWString(), name.toStdWString(), number); });
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
