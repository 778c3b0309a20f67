#include "app/settings.h"

#include "app/comma_text.h"
#include "app/settings_store.h"
#include "platform/file_names.h"
#include "shared/todo_global.h"

namespace {
const QString& SettingsSection = SettingsNames::SettingsSection;
const QString RecentOpenFilesValue = QStringLiteral("RecentOpenFiles");
const QString LastOpenFileValue = QStringLiteral("LastOpenFile");
const QString TaskSortModeValue = QStringLiteral("FTaskSortMode");
const QString DisplayFontValue = QStringLiteral("DisplayFont");
const QString DisplayFontSizeValue = QStringLiteral("DisplayFontSize");
} // namespace

void LoadSettings(SettingsStore& store, const QStringList& arguments, quint8& taskSortMode)
{
    RecentFiles =
        ParseCommaText(store.ReadString(SettingsSection, RecentOpenFilesValue, QString()));

    // A relative name is resolved against the current folder; the name is kept as typed.
    if (!arguments.isEmpty() && !arguments.front().isEmpty() && PathIsFile(arguments.front()))
        LastOpenFileName = arguments.front();
    else
        LastOpenFileName = store.ReadString(SettingsSection, LastOpenFileValue, QString());

    taskSortMode =
        quint8(store.ReadInteger(SettingsSection, TaskSortModeValue, DefaultSortMode) & 0xFF);
    DisplayFontName = store.ReadString(SettingsSection, DisplayFontValue, DefaultDisplayFontName);
    DisplayFontSize =
        store.ReadInteger(SettingsSection, DisplayFontSizeValue, DefaultDisplayFontSize);
}

void SaveSettings(SettingsStore& store, quint8 taskSortMode)
{
    store.WriteString(SettingsSection, RecentOpenFilesValue, CommaText(RecentFiles));
    store.WriteString(SettingsSection, LastOpenFileValue, LastOpenFileName);
    store.WriteInteger(SettingsSection, TaskSortModeValue, taskSortMode);
    store.WriteString(SettingsSection, DisplayFontValue, DisplayFontName);
    store.WriteInteger(SettingsSection, DisplayFontSizeValue, DisplayFontSize);
}
