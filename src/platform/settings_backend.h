#pragma once
// The per-user key/value store under the program's settings: sections holding named values,
// each either a string or a 32-bit integer (or some other type written by someone else).
//
// On Windows it is the registry key HKEY_CURRENT_USER\Software\Quillmark ToDo, one subkey per
// section (platform/win32/registry_settings.h; a value of another type reads as missing there).
// Elsewhere it is one text file, $XDG_CONFIG_HOME/Quillmark/Quillmark ToDo.conf
// (XDG_CONFIG_HOME defaulting to ~/.config), rewritten atomically on every write:
//
//     [Settings]
//     RecentOpenFiles=sz:"/home/me/Work.qmtd,\"/home/me/a,b.qmtd\""
//     FTaskSortMode=dword:2
//
// The file's grammar, and how a damaged one is read, are in platform/settings_file.h. Section and
// value names are matched without regard to case, as the registry does.
//
// Usage: SettingsBackend backend; backend.read("Settings", "LastOpenFile") ... Failures throw
// SettingsError. Most code wants the typed reads and writes of app/settings_store.h instead.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>

class SettingsError : public std::runtime_error {
public:
    explicit SettingsError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};

struct SettingsValue {
    enum class Type { String, Integer, Other };
    Type type = Type::Other;
    QString text;      // Type::String
    qint32 number = 0; // Type::Integer
};

// A settings file that could not be read whole: the values that could be read are used, and
// the file as it was is kept beside it before it is ever rewritten.
struct SettingsDamage {
    QString file;
    QString copy; // empty when no copy could be made; the file is then never rewritten
    QStringList problems;
};

class SettingsBackend {
public:
    // The program's own store: the registry key on Windows, the file under the user's
    // configuration folder elsewhere (resolved at the first access).
    SettingsBackend();
    // A store at `location`: a key path under HKEY_CURRENT_USER on Windows, a file path elsewhere.
    explicit SettingsBackend(const QString& location);
    ~SettingsBackend();
    SettingsBackend(const SettingsBackend&) = delete;
    SettingsBackend& operator=(const SettingsBackend&) = delete;

    // Where the store lives (resolved at the first access when the default was asked for).
    QString location() const;

    // Opens the base key or file, creating it when missing. Every read and write calls it, so
    // the first access of the run creates the store even if nothing is ever written.
    void open();

    // The value, or nothing when the section or the value does not exist.
    std::optional<SettingsValue> read(const QString& section, const QString& name);
    // Create the section when needed and replace the value.
    void writeString(const QString& section, const QString& name, const QString& text);
    void writeInteger(const QString& section, const QString& name, qint32 number);

    // What was wrong with the store when it was read, once: the first call after the damage was
    // found gives it, later calls give nothing.
    std::optional<SettingsDamage> takeDamage();

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// The settings file used when no location is given (not used on Windows).
QString DefaultSettingsFilePath();
