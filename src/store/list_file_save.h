#pragma once
// Rewriting the held list file so that a crash, a power cut or a full disk at any moment leaves a
// list that opens with either its old or its new content.
//
// A save first writes the whole new content to a side file, with a header that records the
// content it replaces and a trailer that proves it complete, and forces it to disk; only then is
// the list rewritten in place and forced to disk, and the side file's trailer spoilt. The side
// file is created afresh (never through a symbolic link, never over an existing file) beside the
// list as ".<list file name>.quillmark-save"; where the list's folder refuses it, in the user's
// state folder under a name taken from the list's canonical path. It stays (held, like the list)
// while the list is open and is removed when it closes. Only the process that holds the list
// ever writes it, and a file is only removed when its first bytes show it is a side file.
//
// Opening a list settles the side files it finds (see SettleSideFiles).

#include "store/side_file_format.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class ExclusiveFileHold;

// The disk operations of a save or a recovery, in the order a save does them.
enum class SaveStep {
    CreateSide,              // first save of an open list only
    CreateSideInStateFolder, // only when the list's folder refused the side file
    WriteSide,
    ResizeSide,
    FlushSide,
    FlushFolder, // first save of an open list only
    WriteList,
    ResizeList,
    FlushList,
    SpoilSide,   // the side file no longer reads as complete
    RestoreList, // putting the old content back after the list could not be rewritten
    RemoveSide,  // dropping a side file
};

// Test hook, asked before every disk operation of a save or recovery with the number of bytes
// the operation is about to write (0 for operations that write nothing). A negative answer makes
// the operation fail before it does anything; an answer smaller than `bytes` makes it write that
// many bytes and then fail. An empty hook lets everything through.
using SaveFaultHook = std::function<qint64(SaveStep step, qint64 bytes)>;
void SetSaveFaultHook(SaveFaultHook hook);

// Where the side file of a list may be: beside the list and in the user's state folder. Both
// are found from the list's canonical path, so every name of the list finds the same ones.
struct SideFilePlaces {
    QString listPath; // canonical (for a list not yet created: its folder's canonical path)
    QString beside;
    QString inStateFolder;
};
SideFilePlaces SideFilesOf(const QString& listFileName);
inline QString SideFileName(const QString& listFileName)
{
    return SideFilesOf(listFileName).beside;
}

// Saves of one open list.
class ListFileSaver {
public:
    explicit ListFileSaver(ExclusiveFileHold& list);
    // Removes the side file, unless it holds a save that did not reach the list.
    ~ListFileSaver();
    ListFileSaver(const ListFileSaver&) = delete;
    ListFileSaver& operator=(const ListFileSaver&) = delete;

    // Replaces the held list's content (`oldContent`, as on disk now) with `newContent`. Raises
    // TaskStoreError when it fails; the list then opens with its old content, or, when even
    // putting the old content back failed (pending()), with the new content from the side file.
    // After that, `oldContent` of the next save is what makes the list whole again.
    void Save(const QByteArray& oldContent, const QByteArray& newContent);

    // The side file in use, or empty before the first save.
    const QString& sideFileName() const { return FSideName; }
    // After a failed save: the list could not be put back, and the side file holds the new
    // content, which the next save (or open) writes to the list before anything else.
    bool pending() const { return FPending; }

private:
    bool openSide(QString& error);
    void dropSide();

    ExclusiveFileHold& FList;
    std::unique_ptr<ExclusiveFileHold> FSide;
    SideFilePlaces FPlaces;
    QString FSideName;
    bool FFolderSynced = false; // the side file's folder entry is on disk
    bool FPending = false;      // the side file holds a save the list may not have
    // The digest of the list's content on disk, once known (its length, -1 before): what the
    // next save replaces.
    ContentDigest FOnDiskDigest;
    qint64 FOnDiskLength = -1;
};

enum class SideFileAccess {
    ReadWrite,
    ReadOnly, // nothing is written, renamed or removed
};

// Settles the side files of the held list against `content`, the list's bytes as read, and
// returns the list's content afterwards (read-only: as it would be). A side file that is not
// ours (no side-file header, a symbolic link, a folder) is left alone. A complete side file
// whose recorded list is this one and whose replaced content the list still is, or is partly
// overwritten with the new content, is finished: the list is rewritten with its new content
// (read-only: the new content is only returned, and the user told). A complete side file for
// any other content or list is never applied: it is set aside as a list file of its own beside
// it, named "<list> (unapplied save).qmtd", and the user is told. An incomplete one (the save
// never reached the list) is removed. Raises TaskStoreError when the list could not be rewritten
// (the side file then stays for the next try). What the user is told goes to TakeStoreWarnings.
QByteArray SettleSideFiles(ExclusiveFileHold& list, const QByteArray& content,
                           SideFileAccess access);

// Before a list is created: complete side files left from an earlier list of that name are set
// aside, incomplete ones removed; none is applied to the new list. Raises TaskStoreError when a
// complete one cannot be set aside.
void SettleSideFilesOfNewList(const QString& listFileName);
