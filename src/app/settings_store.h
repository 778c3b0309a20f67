#pragma once
// The settings store of the main window (the `RzRegIniFile` role): typed reads and writes of
// values in named sections, over the registry on Windows and a settings file elsewhere
// (platform/settings_backend.h).
//
//     SettingsStore store;                      // the program's own store
//     int order = store.ReadInteger("Settings", "FTaskSortMode", 2);
//     store.WriteBool("MainFormState", "Saved", true);
//
// Encodings: a string is a string value; an integer is a 32-bit number value, except that it is
// written as decimal text into a value that already exists as a string (a value keeps its type),
// and a string value read as an integer is parsed as decimal (invalid text gives the default); a
// boolean is written as the string "1" or "0" and read as an integer, any value but 0 being true.
// A value found with a type other than these is treated as missing.
//
// The store is opened (and created) at its first access. Failures of the underlying store throw
// SettingsError (platform/settings_backend.h).

#include "platform/settings_backend.h"

#include <QString>
#include <memory>

class SettingsStore {
public:
    SettingsStore();
    // A store at `location` (see SettingsBackend); tests use a file of their own.
    explicit SettingsStore(const QString& location);

    QString ReadString(const QString& section, const QString& name, const QString& defaultValue);
    int ReadInteger(const QString& section, const QString& name, int defaultValue);
    bool ReadBool(const QString& section, const QString& name, bool defaultValue);

    void WriteString(const QString& section, const QString& name, const QString& value);
    void WriteInteger(const QString& section, const QString& name, int value);
    void WriteBool(const QString& section, const QString& name, bool value);

    SettingsBackend& backend() { return *FBackend; }

private:
    std::unique_ptr<SettingsBackend> FBackend;
};

// Section and value names shared by the settings code.
namespace SettingsNames {
inline const QString SettingsSection = QStringLiteral("Settings");
inline const QString MainFormStateSection = QStringLiteral("MainFormState");
} // namespace SettingsNames
