// The list file commands: new, open, open recent, and the caption that names the open list.

#include "app/access_keys.h"
#include "app/error_handler.h"
#include "app/form_main.h"
#include "app/list_file_names.h"
#include "platform/exclusive_file_hold.h"
#include "store/store_warnings.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace {

const QString UnableToRemoveMessage = QStringLiteral("Unable to remove existing file.");

// Deletes the file at `path`, unless a list holds it: this instance, another instance or qmtd.
// The hold is taken before the deletion and kept through it, so no holder can slip in between.
bool RemoveUnheldFile(const QString& path)
{
    if (!CurrentListFileName().isEmpty() && SameFile(CurrentListFileName(), path))
        return false;
#ifdef Q_OS_WIN
    // The open list is held without sharing, which the system itself refuses to delete.
    return QFile::remove(path);
#else
    ExclusiveFileHold hold;
    if (hold.open(path, ExclusiveFileHold::Mode::OpenExisting)) {
        const bool removed = QFile::remove(path);
        hold.close();
        return removed;
    }
    if (hold.heldElsewhere())
        return false;
    // Not a file we can open for writing (read-only, for one): the folder decides.
    return QFile::remove(path);
#endif
}

} // namespace

bool TFormMain::OpenToDoList(const QString& fileName, bool showError)
{
    bool result = true;
    try {
        try {
            OpenTaskTable(fileName, ClientDataSetMain);
        } catch (const ListHeldElsewhereError& error) {
            // Held from another computer: it can still be shown. At start-up nobody is asked,
            // so it opens read-only at once and the caption says so.
            if (showError &&
                !Prompts::confirm(this, error.message() + QStringLiteral("\n\nOpen it read-only?")))
                throw;
            OpenTaskTable(fileName, ClientDataSetMain, TOpenAccess::ReadOnly);
        }
    } catch (const std::exception& error) {
        result = false;
        if (showError && !dynamic_cast<const ListHeldElsewhereError*>(&error))
            Prompts::message(this, ErrorMessage(error));
    }
    // A save that was set aside rather than applied, and the like: shown even at start-up, when
    // a failed open is not.
    for (const QString& warning : TakeStoreWarnings())
        Prompts::warning(this, warning);
    SetCaption();
    UpdateRecentFilesMenu();
    ClearFilter(); // a filter belongs to the list it was typed for
    try {
        // Changing the filter rebuilds the page itself; otherwise it is built here, once.
        if (FTaskViewFilter == tvfUncompleted)
            LoadTaskView(false);
        else
            SetTaskViewFilter(tvfUncompleted);
    } catch (const std::bad_alloc&) {
        // The page of this list does not fit in memory: the window goes on without the list.
        const QString name = CurrentListFileName();
        CloseTaskStore(ClientDataSetMain);
        SetCaption();
        UpdateRecentFilesMenu();
        LoadTaskView(false);
        if (showError)
            Prompts::message(this, ListTooLargeMessage(name));
        result = false;
    }
    emit openListChanged();
    return result;
}

void TFormMain::ActionNewListExecute()
{
    const std::optional<QString> chosen = Prompts::saveFileName(*SaveDialog);
    if (!chosen)
        return;
    QString fileName = *chosen;
    // The existence test and the deletion use the name as chosen, before the extension is added.
    const QFileInfo existing(fileName);
    if (existing.exists() || existing.isSymLink()) {
        if (existing.isDir() || !RemoveUnheldFile(fileName)) {
            Prompts::message(this, UnableToRemoveMessage);
            return;
        }
    }
    if (!fileName.endsWith(ListFileExtension, Qt::CaseInsensitive)) {
        fileName += ListFileExtension;
        SaveDialog->selectFile(fileName);
    }
    OpenToDoList(fileName, true);
}

void TFormMain::ActionOpenExecute()
{
    const std::optional<QString> chosen = Prompts::openFileName(*OpenDialog);
    if (chosen)
        OpenToDoList(*chosen, true);
}

void TFormMain::UpdateRecentFilesMenu()
{
    // Later deletion: this may run inside the click handler of one of these items.
    for (QAction* item : OpenRecent1->actions()) {
        OpenRecent1->removeAction(item);
        item->deleteLater();
    }
    const QString openList = CurrentListFileName();
    for (int i = 0; i < RecentFiles.size(); ++i) {
        const QString& entry = RecentFiles[i];
        if (!openList.isEmpty() && entry == openList)
            continue;
        if (!ListFileExists(entry))
            continue;
        QString caption = ListDisplayName(entry);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = OpenRecent1->addAction(caption);
        item->setData(i); // the tag: the entry's position in RecentFiles
        connect(item, &QAction::triggered, this, [this, item] {
            Guarded("OpenRecentFileClick", [this, item] { OpenRecentFileClick(item); });
        });
    }
    AssignAccessKeys(OpenRecent1);
    OpenRecent1->setEnabled(!OpenRecent1->isEmpty());
}

void TFormMain::OpenRecentFileClick(QObject* sender)
{
    auto* item = qobject_cast<QAction*>(sender);
    if (!item)
        return;
    const int tag = item->data().toInt();
    if (tag >= 0 && tag < RecentFiles.size())
        OpenToDoList(RecentFiles[tag], true);
}

void TFormMain::SetCaption()
{
    QString name = ListDisplayName(CurrentListFileName());
    if (CurrentListReadOnly())
        name += QStringLiteral(" (read-only)");
    setWindowTitle(name.isEmpty() ? ProductName : QStringLiteral("%1 - %2").arg(name, ProductName));
}
