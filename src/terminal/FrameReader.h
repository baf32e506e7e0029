#pragma once

#include "protocol/FrameComposer.h"
#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"
#include "protocol/ProtocolSession.h"
#include "terminal/ReadPiece.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

// Reads one link's traffic by a protocol, for the window and the shell alike: the bytes the link
// hands on as it reads them go in (Feed), pieces come out (PieceRead) in the order of their
// bytes, and the pieces' bytes joined are exactly the bytes fed.
//
// How it works:
// - FrameCutter cuts the frames; a frame is handed on, decoded by MessageDecoder, as soon as its
//   last byte is there. The bytes that may still begin a frame wait for the protocol's gap; a
//   single-shot timer gives them up when it passes, without waiting inside the event loop.
// - Bytes that no frame takes are gathered into one piece, handed on 300 ms after the first of
//   them (the settle wait the terminal reads a burst with), or at once when a frame follows them,
//   so that they come before it.
// - The reader keeps the link's ProtocolSession: each good frame received is observed, and
//   Compose completes what the operator typed with the sequence number it gives.
class FrameReader : public QObject
{
    Q_OBJECT
public:
    // Bytes that no frame takes wait this long after the first of them to be joined by more.
    static constexpr qint64 kNotAFrameMs = 300;
    // And a piece of them holds at most this many; what follows goes on in the next.
    static constexpr qsizetype kLongestPiece = qsizetype(16) << 20;

    // direction: which way the bytes received go, when the protocol's messages overlap by
    // direction (Reply for a terminal that commands, Command for one that stands in as the
    // device, Unknown for a tap that hears both).
    FrameReader(std::shared_ptr<const Description> description, Direction direction,
                QObject* parent = nullptr);

    // The clock of Feed's times: milliseconds that never go back.
    static qint64 Now();

    // Bytes read at atMs, as the link hands them on with BytesRead; sinceWriteMs as it gives it.
    void Feed(const QByteArray& bytes, qint64 sinceWriteMs = -1, qint64 atMs = Now());
    // Bytes that are one whole read of their own (a datagram): no frame goes on past them, so
    // what no frame takes is handed on at once; the sequences go on.
    void FeedWhole(const QByteArray& bytes, qint64 sinceWriteMs = -1, qint64 atMs = Now());
    // The link closed: what waits is handed on now, and the next command to each address
    // starts its sequence afresh.
    void Flush();
    // Bytes no piece has taken yet.
    qsizetype waiting() const;
    void SetLongestPiece(qsizetype bytes) { m_longestPiece = std::max<qsizetype>(1, bytes); }

    // What the operator typed, completed into the command to send (the length, the sequence
    // number, the check value …), or why it cannot be.
    Composed Compose(const QByteArray& typed);
    // A frame as it went out (at atMs), decoded as the other side reads it, for the line that
    // shows what was sent; it is the line's latest frame for the next one's gap. Bytes that are
    // not one whole frame of the protocol come as bytes that no frame takes.
    ReadPiece Sent(const QByteArray& bytes, qint64 atMs = Now());

    // A description read again, taken up at the next frame: at once when no bytes wait to be
    // cut, else once those have been cut by the one before. Every address starts afresh.
    void SetDescription(std::shared_ptr<const Description> description);

    const Description& description() const { return *m_description; }
    std::shared_ptr<const Description> shared() const { return m_description; }
    Direction direction() const { return m_direction; }
    ProtocolSession& session() { return m_session; }

signals:
    void PieceRead(const ReadPiece& piece);

private:
    void OnTimer();
    // Gives up what is due at nowMs and hands on what the cutter cut.
    void Expire(qint64 nowMs);
    void TakeCut();
    void HandOnWaiting();
    void HandOnNotAFrame();
    void HandOnFrame(const CutPiece& cut);
    void Arm();
    void TakeUp();
    qint64 AnswerMs(qint64 firstMs);
    QDateTime At(qint64 ms) const;

    std::shared_ptr<const Description> m_description;
    std::shared_ptr<const Description> m_next; // to take up once nothing waits to be cut
    Direction m_direction;
    FrameCutter m_cutter;
    MessageDecoder m_decoder;
    ProtocolSession m_session;
    QTimer m_timer;
    std::vector<CutPiece> m_cut;
    qint64 m_wallOffset; // Now() to ms since the epoch

    // Bytes that no frame takes, waiting to be handed on.
    QByteArray m_notAFrame;
    qint64 m_notAFrameFirst = 0, m_notAFrameLast = 0;
    qint64 m_notAFrameAnswer = -1;
    bool m_continues = false;
    qsizetype m_longestPiece = kLongestPiece;

    // Each feed's end (bytes fed so far) and the time of the write before it, while a piece may
    // still begin in it, for the pieces' answer times.
    struct Read {
        qint64 end;
        qint64 writtenMs;
        bool written;
    };
    std::deque<Read> m_reads;
    qint64 m_fed = 0, m_taken = 0;
    qint64 m_lastFeedMs = 0;
    qint64 m_previousFrameEnd = -1;
    bool m_anyFrame = false;
};
