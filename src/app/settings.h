#pragma once
// Reading the program's settings at start-up and writing them at close, section "Settings".
//
//     void TFormMain::LoadSettings()   // from FormCreate
//     {
//         ::LoadSettings(FSettings, QCoreApplication::arguments().mid(1), FTaskSortMode);
//     }
//     void TFormMain::SaveSettings()   // from FormClose, after the placement
//     {
//         ::SaveSettings(FSettings, FTaskSortMode);
//     }
//
// (Inside TFormMain the members of the same name hide these, hence the ::.)
//
// LoadSettings fills RecentFiles, LastOpenFileName, DisplayFontName and DisplayFontSize
// (shared/todo_global.h) and the sort mode. `arguments` are the command-line arguments without
// the program name: when the first one names an existing file (a relative name taken against
// the current folder) it becomes LastOpenFileName as typed; further ones are ignored. The stored
// sort mode keeps only its low 8 bits and is not checked against the six orders.
// Both throw SettingsError when the store fails.
//
// SettingsDamageNotice gives, once, the message that tells the user the settings file could not
// be read whole (what was wrong, and where the file as it was is kept); show it after
// LoadSettings.

#include <QStringList>
#include <QtGlobal>
#include <optional>

class SettingsStore;

void LoadSettings(SettingsStore& store, const QStringList& arguments, quint8& taskSortMode);
void SaveSettings(SettingsStore& store, quint8 taskSortMode);
std::optional<QString> SettingsDamageNotice(SettingsStore& store);
