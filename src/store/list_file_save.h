#pragma once
// Rewriting the held list file so that a crash, a power cut or a full disk at any moment leaves a
// list that opens with either its old or its new content.
//
// A save first writes the whole new content, with a trailer that proves it complete, to a side
// file beside the list ("<list>-save") and forces it to disk; only then is the list rewritten in
// place and forced to disk, and the side file's trailer spoilt. Opening a list that has a
// complete side file finishes the interrupted save from it; an incomplete side file is dropped,
// the list still being whole. The side file stays (held, like the list) while the list is open
// and is removed when it closes. Only the process that holds the list ever touches it.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class ExclusiveFileHold;

// The disk operations of a save or a recovery, in the order a save does them.
enum class SaveStep {
    CreateSide, // first save of an open list only
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

// The side file of a list file.
QString SideFileName(const QString& listFileName);

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
    // putting the old content back failed, with the new content from the side file.
    void Save(const QByteArray& oldContent, const QByteArray& newContent);

private:
    void dropSide();

    ExclusiveFileHold& FList;
    std::unique_ptr<ExclusiveFileHold> FSide;
    QString FSideName;
    bool FFolderSynced = false; // the side file's folder entry is on disk
    bool FPending = false;      // the side file holds a save the list may not have
};

// Finishes a save that was interrupted, if the held list has a complete side file; drops an
// incomplete one. Returns true when the list was rewritten. Raises TaskStoreError when the list
// could not be rewritten (the side file then stays for the next try).
bool RecoverInterruptedSave(ExclusiveFileHold& list);

// Removes the side file of a list that is being created (left from a list deleted long ago).
void RemoveStaleSideFile(const QString& listFileName);

// The side file's trailer: whether `sideContent` is complete, and its payload.
bool UnwrapSideContent(const QByteArray& sideContent, QByteArray& payload);
QByteArray WrapSideContent(const QByteArray& payload);
