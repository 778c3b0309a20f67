#include "store/list_file_save.h"

#include "platform/exclusive_file_hold.h"
#include "platform/file_names.h"
#include "platform/safe_files.h"
#include "shared/todo_global.h"
#include "store/store_warnings.h"
#include "store/task_table.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

SaveFaultHook faultHook;

const QString SideSuffix = QStringLiteral(".quillmark-save");

const QString injectedFailure = QStringLiteral("Simulated device failure");

// Asks the test hook whether an operation that writes nothing may run.
bool allowed(SaveStep step)
{
    return !faultHook || faultHook(step, 0) >= 0;
}

// Writes `pieces` one after the other from offset 0, as one operation of the test hook.
bool hookedWrite(ExclusiveFileHold& file, SaveStep step,
                 std::initializer_list<std::pair<const char*, qint64>> pieces, QString& error)
{
    qint64 total = 0;
    for (const auto& piece : pieces)
        total += piece.second;
    qint64 allowedBytes = faultHook ? faultHook(step, total) : total;
    qint64 offset = 0;
    for (const auto& [data, length] : pieces) {
        const qint64 n = qMax<qint64>(0, qMin(length, allowedBytes - offset));
        if (n > 0 && !file.writeAt(offset, data, n)) {
            error = file.errorString();
            return false;
        }
        offset += n;
        if (n < length) {
            error = injectedFailure;
            return false;
        }
    }
    return true;
}

bool hookedWrite(ExclusiveFileHold& file, SaveStep step, const QByteArray& data, QString& error)
{
    return hookedWrite(file, step, {{data.constData(), data.size()}}, error);
}

bool hookedOp(SaveStep step, const std::function<bool()>& op, const std::function<QString()>& why,
              QString& error)
{
    if (!allowed(step)) {
        error = injectedFailure;
        return false;
    }
    if (!op()) {
        error = why();
        return false;
    }
    return true;
}

// Writes `content` over the whole held file and forces it to disk.
bool rewriteInPlace(ExclusiveFileHold& file, const QByteArray& content, SaveStep writeStep,
                    QString& error)
{
    const auto why = [&] { return file.errorString(); };
    return hookedWrite(file, writeStep, content, error) &&
           hookedOp(
               SaveStep::ResizeList, [&] { return file.resize(content.size()); }, why, error) &&
           hookedOp(
               SaveStep::FlushList, [&] { return file.flush(); }, why, error);
}

// Removes a side file found at open, provided the file at that name (now) starts as one does.
void removeSide(const QString& side)
{
    if (allowed(SaveStep::RemoveSide))
        RemoveFileStartingWith(side, SideFileStart());
}

[[noreturn]] void saveFailed(const QString& listFileName, const QString& reason)
{
    throw TaskStoreError(QStringLiteral("%1 could not be saved: %2")
                             .arg(QDir::toNativeSeparators(listFileName), reason));
}

QString canonicalListPath(const QString& listFileName)
{
    const QString canonical = CanonicalPath(listFileName);
    if (!canonical.isEmpty())
        return canonical;
    // Not there (yet): the canonical folder and the name.
    const QFileInfo info(AbsoluteFileName(listFileName));
    const QString folder = CanonicalPath(info.absolutePath());
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

QString nativeName(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QByteArray fileNamePart(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

enum class Verdict {
    LeaveAlone, // not ours
    Remove,     // ours, and nothing in it the list needs
    Apply,      // finishes a save of this list
    SetAside,   // complete, but for other content or another list
};

Verdict judge(const ParsedSideFile& side, const QByteArray& list, const QString& listPath,
              bool inStateFolder, bool newList)
{
    if (side.state == ParsedSideFile::State::NotOurs)
        return Verdict::LeaveAlone;
    if (side.state == ParsedSideFile::State::Incomplete)
        return Verdict::Remove;
    // Beside the list the name is enough (a copied or moved folder keeps its saves); in the
    // state folder the whole path must match.
    const QByteArray path = EncodeFileName(listPath);
    const bool sameList =
        inStateFolder ? side.listPath == path : fileNamePart(side.listPath) == fileNamePart(path);
    QByteArray replaced;
    if (!sameList || newList || !RebuildReplaced(side, replaced))
        return Verdict::SetAside;
    if (list == side.content)
        return Verdict::Remove; // done already; only the trailer's spoiling was lost
    return IsTornRewrite(list, replaced, side.content) ? Verdict::Apply : Verdict::SetAside;
}

QString notAppliedText(const QString& listPath)
{
    return QStringLiteral("%1: a save left over from an earlier session does not belong to the "
                          "list as it is now and was not applied.")
        .arg(nativeName(listPath));
}

// Keeps the new content of a side file that must not be applied as a list file of its own, in
// the side file's folder, and removes the side file. False when nothing could be kept.
bool setAside(const QString& sidePath, const ParsedSideFile& side, const QString& listPath)
{
    const QString folder = QFileInfo(sidePath).absolutePath();
    QString base = QFileInfo(listPath).fileName();
    if (base.endsWith(ListFileExtension, Qt::CaseInsensitive))
        base.chop(ListFileExtension.size());
    QString error;
    for (int n = 1; n < 100; ++n) {
        const QString kept = folder + QLatin1Char('/') + base +
                             (n == 1 ? QStringLiteral(" (unapplied save)")
                                     : QStringLiteral(" (unapplied save %1)").arg(n)) +
                             ListFileExtension;
        bool taken = false;
        if (PublishFile(kept, side.content, PublishMode::KeepExisting, &error, &taken)) {
            removeSide(sidePath);
            ReportStoreWarning(notAppliedText(listPath) +
                               QStringLiteral(" It is kept as %1.").arg(nativeName(kept)));
            return true;
        }
        if (!taken)
            break;
    }
    ReportStoreWarning(notAppliedText(listPath) +
                       QStringLiteral(" It was left in %1 (%2).").arg(nativeName(sidePath), error));
    return false;
}

// Settles the side files of `listPath` against `list`; returns false when a complete one that
// must not be applied could not be set aside.
bool settle(ExclusiveFileHold* held, QByteArray& list, const SideFilePlaces& places,
            SideFileAccess access, bool newList)
{
    const bool readOnly = access == SideFileAccess::ReadOnly;
    bool allSettled = true;
    const std::pair<QString, bool> candidates[] = {{places.beside, false},
                                                   {places.inStateFolder, true}};
    for (const auto& [path, inStateFolder] : candidates) {
        QByteArray raw;
        QString error;
        const ReadOutcome read = ReadRegularFile(path, raw, &error);
        if (read == ReadOutcome::Failed)
            ReportStoreWarning(QStringLiteral("%1: the save side file %2 cannot be read (%3) and "
                                              "was left alone.")
                                   .arg(nativeName(places.listPath), nativeName(path), error));
        if (read != ReadOutcome::Read)
            continue; // missing, or a symbolic link or folder of someone else's
        const ParsedSideFile side = ParseSideFile(raw);
        switch (judge(side, list, places.listPath, inStateFolder, newList)) {
        case Verdict::LeaveAlone:
            break;
        case Verdict::Remove:
            if (!readOnly)
                removeSide(path);
            break;
        case Verdict::Apply:
            if (readOnly) {
                ReportStoreWarning(QStringLiteral("%1: a save of this list was interrupted; it "
                                                  "is shown as saved, and the next change to "
                                                  "the list finishes it on disk.")
                                       .arg(nativeName(places.listPath)));
            } else if (!rewriteInPlace(*held, side.content, SaveStep::WriteList, error)) {
                throw TaskStoreError(
                    QStringLiteral("%1 could not be restored from %2: %3")
                        .arg(nativeName(held->fileName()), nativeName(path), error));
            } else {
                removeSide(path);
            }
            list = side.content;
            break;
        case Verdict::SetAside:
            if (readOnly)
                ReportStoreWarning(notAppliedText(places.listPath) +
                                   QStringLiteral(" It was left in %1.").arg(nativeName(path)));
            else if (!setAside(path, side, places.listPath))
                allSettled = false;
            break;
        }
    }
    return allSettled;
}

} // namespace

void SetSaveFaultHook(SaveFaultHook hook)
{
    faultHook = std::move(hook);
}

SideFilePlaces SideFilesOf(const QString& listFileName)
{
    SideFilePlaces places;
    places.listPath = canonicalListPath(listFileName);
    const QFileInfo list(places.listPath);
    places.beside = list.absolutePath() + QStringLiteral("/.") + list.fileName() + SideSuffix;
    const QByteArray key =
        QCryptographicHash::hash(EncodeFileName(places.listPath), QCryptographicHash::Sha256)
            .toHex()
            .left(32);
    places.inStateFolder =
        UserStateFolder() + QLatin1Char('/') + QString::fromLatin1(key) + SideSuffix;
    return places;
}

ListFileSaver::ListFileSaver(ExclusiveFileHold& list)
    : FList(list), FSide(std::make_unique<ExclusiveFileHold>()),
      FPlaces(SideFilesOf(list.fileName()))
{
}

ListFileSaver::~ListFileSaver()
{
    // A side file that still holds a save the list did not get stays for the next open.
    if (FPending || !allowed(SaveStep::RemoveSide))
        FSide->close();
    else
        FSide->closeAndRemove();
}

bool ListFileSaver::openSide(QString& error)
{
    // Only the list's holder ever touches its side file: the list's hold covers it.
    constexpr auto Covered = ExclusiveFileHold::Exclusion::Covered;
    ExclusiveFileHold& side = *FSide;
    const auto sideError = [&] { return side.errorString(); };
    if (hookedOp(
            SaveStep::CreateSide,
            [&] { return side.open(FPlaces.beside, ExclusiveFileHold::Mode::CreateNew, Covered); },
            sideError, error)) {
        FSideName = FPlaces.beside;
        return true;
    }
    // The list's folder refuses it (no permission to write there, a file of someone else's at
    // the name, a name too long for the folder): the user's own state folder takes it.
    QString folderError, stateError;
    if (hookedOp(
            SaveStep::CreateSideInStateFolder,
            [&] {
                return MakePrivateFolder(QFileInfo(FPlaces.inStateFolder).absolutePath(),
                                         &folderError) &&
                       side.open(FPlaces.inStateFolder, ExclusiveFileHold::Mode::CreateNew,
                                 Covered);
            },
            [&] { return folderError.isEmpty() ? side.errorString() : folderError; }, stateError)) {
        FSideName = FPlaces.inStateFolder;
        return true;
    }
    error += QStringLiteral("; ") + stateError;
    return false;
}

void ListFileSaver::dropSide()
{
    if (allowed(SaveStep::RemoveSide))
        FSide->closeAndRemove();
    else
        FSide->close();
    FSideName.clear();
    FFolderSynced = false;
    FPending = false;
}

void ListFileSaver::Save(const QByteArray& oldContent, const QByteArray& newContent)
{
    QString error;
    ExclusiveFileHold& side = *FSide;
    const auto sideError = [&] { return side.errorString(); };

    // 0. The last save failed and could not even put the old content back: the side file is
    //    all there is of it. It may only be overwritten once the list is whole again (with the
    //    content the caller now takes as the list's).
    if (FPending) {
        QString restoreError;
        if (!rewriteInPlace(FList, oldContent, SaveStep::RestoreList, restoreError))
            saveFailed(FList.fileName(), restoreError);
        FPending = false;
    }

    // The header records what this save replaces. The digest of the content on disk is the
    // one the last save computed for its new content; only the first save of an open list
    // reads the whole old content for it.
    if (FOnDiskLength != oldContent.size()) {
        FOnDiskDigest = DigestOf(oldContent);
        FOnDiskLength = oldContent.size();
    }
    const ContentDigest newDigest = DigestOf(newContent);
    const QByteArray header =
        SideFileHeader(EncodeFileName(FPlaces.listPath),
                       DescribeReplaced(oldContent, FOnDiskDigest, newContent), newContent.size());
    const QByteArray trailer = SideFileTrailer(header, newDigest, newContent.size());
    const qint64 sideSize = header.size() + newContent.size() + trailer.size();

    // 1. The new content, complete and on disk, beside the list. Until this is done the list
    //    itself is untouched, so any failure here just drops the side file. The side file stays
    //    open between saves and is rewritten in place: a data flush of a file that keeps its
    //    size is far cheaper than creating, flushing and removing a file every time.
    bool sideDurable =
        (side.isOpen() || openSide(error)) &&
        hookedWrite(side, SaveStep::WriteSide,
                    {{header.constData(), header.size()},
                     {newContent.constData(), newContent.size()},
                     {trailer.constData(), trailer.size()}},
                    error) &&
        hookedOp(
            SaveStep::ResizeSide, [&] { return side.resize(sideSize); }, sideError, error) &&
        hookedOp(
            SaveStep::FlushSide, [&] { return side.flush(); }, sideError, error);
    if (sideDurable && !FFolderSynced) {
        QString folderError;
        sideDurable = hookedOp(
            SaveStep::FlushFolder,
            [&] { return ExclusiveFileHold::syncFolderOf(FSideName, &folderError); },
            [&] { return folderError; }, error);
        FFolderSynced = sideDurable;
    }
    if (!sideDurable) {
        if (side.isOpen())
            dropSide();
        saveFailed(FList.fileName(), error);
    }
    // Whatever happens now, the next save works out the digest of its old content afresh.
    FOnDiskLength = -1;
    FPending = true;

    // 2. The list rewritten in place. From here on an interruption is finished by the next open.
    if (!rewriteInPlace(FList, newContent, SaveStep::WriteList, error)) {
        // The old content needs no more room than it had, so putting it back usually works even
        // on a full disk. If it does not, the side file stays and the next open takes the new
        // content from it.
        QString restoreError;
        if (rewriteInPlace(FList, oldContent, SaveStep::RestoreList, restoreError))
            dropSide();
        saveFailed(FList.fileName(), error);
    }
    FOnDiskDigest = newDigest;
    FOnDiskLength = newContent.size();

    // 3. Done: the side file's trailer is spoilt so that it no longer reads as complete. Should
    //    that not reach the disk, the side file holds exactly the list's content, and the next
    //    open, finding the list already new, only removes it.
    FPending = false;
    static const char spoilt[SideTrailerMagicSize] = {};
    if (allowed(SaveStep::SpoilSide))
        side.writeAt(SideTrailerOffset(header, newContent.size()), spoilt, sizeof spoilt);
}

QByteArray SettleSideFiles(ExclusiveFileHold& list, const QByteArray& content,
                           SideFileAccess access)
{
    QByteArray settled = content;
    settle(&list, settled, SideFilesOf(list.fileName()), access, false);
    return settled;
}

void SettleSideFilesOfNewList(const QString& listFileName)
{
    QByteArray none;
    const SideFilePlaces places = SideFilesOf(listFileName);
    if (!settle(nullptr, none, places, SideFileAccess::ReadWrite, true))
        throw TaskStoreError(QStringLiteral("%1 can not be created: a save left from an earlier "
                                            "list of this name could not be set aside.")
                                 .arg(nativeName(listFileName)));
}
