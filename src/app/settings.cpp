#include "app/settings.h"

#include "app/comma_text.h"
#include "app/settings_store.h"
#include "platform/file_names.h"
#include "shared/todo_global.h"

#include <QDir>

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

std::optional<QString> SettingsDamageNotice(SettingsStore& store)
{
    const std::optional<SettingsDamage> damage = store.backend().takeDamage();
    if (!damage)
        return std::nullopt;
    constexpr int listed = 5;
    QString text = QStringLiteral("Some of the settings in %1 could not be read:\n")
                       .arg(QDir::toNativeSeparators(damage->file));
    for (int i = 0; i < damage->problems.size() && i < listed; ++i)
        text += QStringLiteral("\n") + damage->problems[i];
    if (damage->problems.size() > listed)
        text += QStringLiteral("\n(and %1 more)").arg(damage->problems.size() - listed);
    text += QStringLiteral("\n\nThe settings that could be read are used. ");
    if (damage->copy.isEmpty())
        text += QStringLiteral("No copy of the file could be kept, so it is left as it is and "
                               "your settings are not saved.");
    else
        text += QStringLiteral("The file as it was is kept as %1.")
                    .arg(QDir::toNativeSeparators(damage->copy));
    return text;
}
