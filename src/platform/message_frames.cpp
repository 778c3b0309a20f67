#include "platform/message_frames.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr qint64 HeaderSize = 4;

} // namespace

QByteArray FramedMessage(const QByteArray& payload)
{
    QByteArray framed(HeaderSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), framed.data());
    framed.append(payload);
    return framed;
}

MessageFrameReader::State MessageFrameReader::consume(const char* data, qint64 size, qint64* used)
{
    qint64 at = 0;
    if (!FHaveLength) {
        const qint64 take = std::min(size, HeaderSize - FHeader.size());
        FHeader.append(data, take);
        at += take;
        if (FHeader.size() < HeaderSize) {
            *used = at;
            return FState;
        }
        FLength = qFromBigEndian<quint32>(FHeader.constData());
        FHaveLength = true;
        if (FLength > FLimit) {
            *used = at;
            return FState = State::TooLarge;
        }
        // A sender may announce more than it sends: memory grows with what arrives.
        FMessage.reserve(qsizetype(std::min<quint32>(FLength, 1u << 20)));
    }
    const qint64 take = std::min(size - at, qint64(FLength) - FMessage.size());
    FMessage.append(data + at, take);
    at += take;
    *used = at;
    if (FMessage.size() == qsizetype(FLength))
        FState = State::Complete;
    return FState;
}

MessageFrameReader::State MessageFrameReader::feed(const QByteArray& bytes)
{
    if (FState != State::Incomplete)
        return FState;
    qint64 used = 0;
    return consume(bytes.constData(), bytes.size(), &used);
}

MessageFrameReader::State MessageFrameReader::readFrom(QIODevice& device)
{
    char buffer[64 * 1024];
    while (FState == State::Incomplete) {
        // Never past this message: what follows it is not ours to read.
        const qint64 wanted =
            FHaveLength ? qint64(FLength) - FMessage.size() : HeaderSize - FHeader.size();
        const qint64 got = device.read(buffer, std::min<qint64>(wanted, sizeof(buffer)));
        if (got <= 0)
            break;
        qint64 used = 0;
        consume(buffer, got, &used);
    }
    return FState;
}
