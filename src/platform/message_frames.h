#pragma once
// Messages on a local endpoint: each is its length as four bytes, most significant first, and
// then that many bytes. A reader takes a message in pieces as they arrive and refuses one that
// announces more than its limit before any of it is read.

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// The framed form of `payload`.
QByteArray FramedMessage(const QByteArray& payload);

class MessageFrameReader {
public:
    enum class State {
        Incomplete, // more bytes are needed
        Complete,   // message() holds the message
        TooLarge,   // the length announced is over the limit; nothing more is read
    };

    explicit MessageFrameReader(quint32 limit) : FLimit(limit) {}

    // Reads what `device` has now, no further than the end of the message.
    State readFrom(QIODevice& device);
    // Takes bytes already in hand (tests, and readers that got them elsewhere).
    State feed(const QByteArray& bytes);

    State state() const { return FState; }
    // The length the message announced (once its first four bytes are in).
    quint32 announced() const { return FLength; }
    const QByteArray& message() const { return FMessage; }

private:
    State consume(const char* data, qint64 size, qint64* used);

    quint32 FLimit;
    State FState = State::Incomplete;
    QByteArray FHeader;
    quint32 FLength = 0;
    bool FHaveLength = false;
    QByteArray FMessage;
};
