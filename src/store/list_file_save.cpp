#include "store/list_file_save.h"

#include "platform/exclusive_file_hold.h"
#include "platform/file_names.h"
#include "shared/todo_global.h"
#include "store/datapacket_reader.h"
#include "store/task_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>
#include <memory>

namespace {

SaveFaultHook faultHook;

// The trailer behind the payload of a side file: magic, payload length, payload hash.
constexpr char TrailerMagic[8] = {'Q', 'M', 'S', 'A', 'V', 'E', '\r', '\n'};
constexpr int TrailerSize = 24;

inline quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

// A 64-bit hash in the manner of XXH64: fast enough to run over every save, strong enough that
// a side file torn by a power cut (zeroed or stale blocks) never passes for complete.
quint64 ContentHash(const char* data, qint64 length)
{
    constexpr quint64 P1 = 11400714785074694791ull, P2 = 14029467366897019727ull,
                      P3 = 1609587929392839161ull, P4 = 9650029242287828579ull,
                      P5 = 2870177450012600261ull;
    const auto round = [&](quint64 acc, quint64 input) { return rotl(acc + input * P2, 31) * P1; };
    const auto read64 = [](const char* p) { return qFromLittleEndian<quint64>(p); };
    const char* p = data;
    const char* const end = data + length;
    quint64 h;
    if (length >= 32) {
        quint64 v1 = P1 + P2, v2 = P2, v3 = 0, v4 = 0 - P1;
        const char* const limit = end - 32;
        do {
            v1 = round(v1, read64(p));
            v2 = round(v2, read64(p + 8));
            v3 = round(v3, read64(p + 16));
            v4 = round(v4, read64(p + 24));
            p += 32;
        } while (p <= limit);
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        for (quint64 v : {v1, v2, v3, v4})
            h = (h ^ round(0, v)) * P1 + P4;
    } else {
        h = P5;
    }
    h += quint64(length);
    for (; p + 8 <= end; p += 8)
        h = rotl(h ^ round(0, read64(p)), 27) * P1 + P4;
    if (p + 4 <= end) {
        h = rotl(h ^ (quint64(qFromLittleEndian<quint32>(p)) * P1), 23) * P2 + P3;
        p += 4;
    }
    for (; p < end; ++p)
        h = rotl(h ^ (quint64(static_cast<uchar>(*p)) * P5), 11) * P1;
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

QByteArray sideTrailer(const QByteArray& payload)
{
    QByteArray trailer(TrailerMagic, sizeof TrailerMagic);
    trailer.resize(TrailerSize);
    qToLittleEndian<quint64>(quint64(payload.size()), trailer.data() + 8);
    qToLittleEndian<quint64>(ContentHash(payload.constData(), payload.size()), trailer.data() + 16);
    return trailer;
}

// Only the list's holder ever touches its side file: the list's hold covers it.
bool openSide(ExclusiveFileHold& hold, const QString& name, ExclusiveFileHold::Mode mode)
{
    return hold.open(name, mode, ExclusiveFileHold::Exclusion::Covered);
}

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

void removeSide(const QString& side)
{
    if (allowed(SaveStep::RemoveSide))
        RemoveFilePath(side);
}

[[noreturn]] void saveFailed(const QString& listFileName, const QString& reason)
{
    throw TaskStoreError(QStringLiteral("%1 could not be saved: %2")
                             .arg(QDir::toNativeSeparators(listFileName), reason));
}

bool isCompleteListContent(const QByteArray& payload)
{
    if (payload.size() <= SignatureSchema2.size() || !payload.startsWith(SignatureSchema2))
        return false;
    try {
        TaskTable scratch;
        DataPacketReader::Read(payload.mid(SignatureSchema2.size()), scratch);
    } catch (const TaskStoreError&) {
        return false;
    }
    return true;
}

} // namespace

void SetSaveFaultHook(SaveFaultHook hook)
{
    faultHook = std::move(hook);
}

QString SideFileName(const QString& listFileName)
{
    return listFileName + QStringLiteral("-save");
}

QByteArray WrapSideContent(const QByteArray& payload)
{
    return payload + sideTrailer(payload);
}

bool UnwrapSideContent(const QByteArray& sideContent, QByteArray& payload)
{
    if (sideContent.size() < TrailerSize)
        return false;
    const qsizetype length = sideContent.size() - TrailerSize;
    const char* trailer = sideContent.constData() + length;
    if (std::memcmp(trailer, TrailerMagic, sizeof TrailerMagic) != 0 ||
        qFromLittleEndian<quint64>(trailer + 8) != quint64(length) ||
        qFromLittleEndian<quint64>(trailer + 16) != ContentHash(sideContent.constData(), length))
        return false;
    payload = sideContent.left(length);
    return true;
}

ListFileSaver::ListFileSaver(ExclusiveFileHold& list)
    : FList(list), FSide(std::make_unique<ExclusiveFileHold>()),
      FSideName(SideFileName(list.fileName()))
{
}

ListFileSaver::~ListFileSaver()
{
    // A side file that still holds a save the list did not get stays for the next open.
    if (FSide->isOpen()) {
        FSide->close();
        if (!FPending)
            removeSide(FSideName);
    }
}

void ListFileSaver::dropSide()
{
    FSide->close();
    removeSide(FSideName);
    FFolderSynced = false;
    FPending = false;
}

void ListFileSaver::Save(const QByteArray& oldContent, const QByteArray& newContent)
{
    QString error;
    const QByteArray trailer = sideTrailer(newContent);
    const qint64 sideSize = newContent.size() + trailer.size();
    ExclusiveFileHold& side = *FSide;
    const auto sideError = [&] { return side.errorString(); };

    // 0. The last save failed and could not even put the old content back: the side file is
    //    all there is of it. It may only be overwritten once the list is whole again.
    if (FPending) {
        QString restoreError;
        if (!rewriteInPlace(FList, oldContent, SaveStep::RestoreList, restoreError))
            saveFailed(FList.fileName(), restoreError);
        FPending = false;
    }

    // 1. The new content, complete and on disk, beside the list. Until this is done the list
    //    itself is untouched, so any failure here just drops the side file. The side file stays
    //    open between saves and is rewritten in place: a data flush of a file that keeps its
    //    size is far cheaper than creating, flushing and removing a file every time.
    bool sideDurable =
        (side.isOpen() ||
         hookedOp(
             SaveStep::CreateSide,
             [&] { return openSide(side, FSideName, ExclusiveFileHold::Mode::CreateTruncate); },
             sideError, error)) &&
        hookedWrite(
            side, SaveStep::WriteSide,
            {{newContent.constData(), newContent.size()}, {trailer.constData(), trailer.size()}},
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
        dropSide();
        saveFailed(FList.fileName(), error);
    }
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

    // 3. Done: the side file's trailer is spoilt so that it no longer reads as complete. Should
    //    that not reach the disk, the side file holds exactly the list's content, and finishing
    //    it again at the next open changes nothing.
    FPending = false;
    static const char spoilt[sizeof TrailerMagic] = {};
    if (allowed(SaveStep::SpoilSide))
        side.writeAt(newContent.size(), spoilt, sizeof spoilt);
}

bool RecoverInterruptedSave(ExclusiveFileHold& list)
{
    const QString side = SideFileName(list.fileName());
    if (!PathExists(side))
        return false;
    ExclusiveFileHold sideHold;
    QByteArray raw;
    if (!openSide(sideHold, side, ExclusiveFileHold::Mode::OpenExisting) || !sideHold.readAll(raw))
        throw TaskStoreError(
            QStringLiteral("%1 could not be opened to finish an interrupted save: %2")
                .arg(QDir::toNativeSeparators(side), sideHold.errorString()));
    QByteArray payload;
    if (!UnwrapSideContent(raw, payload) || !isCompleteListContent(payload)) {
        // Cut short before the list was touched: the list holds its old content.
        sideHold.close();
        removeSide(side);
        return false;
    }
    QString error;
    if (!rewriteInPlace(list, payload, SaveStep::WriteList, error))
        throw TaskStoreError(QStringLiteral("%1 could not be restored from %2: %3")
                                 .arg(QDir::toNativeSeparators(list.fileName()),
                                      QDir::toNativeSeparators(side), error));
    sideHold.close();
    removeSide(side);
    return true;
}

void RemoveStaleSideFile(const QString& listFileName)
{
    RemoveFilePath(SideFileName(listFileName));
}
