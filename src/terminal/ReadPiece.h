#pragma once

#include "protocol/FrameCutter.h"
#include "protocol/ProtocolMessage.h"
#include "terminal/ReplyCheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A piece of a line's traffic cut by a protocol: a frame (its check value right or failed),
// decoded, or bytes that no frame takes. The window shows each as a line of its own and the
// shell prints each on a line of its own.
struct ReadPiece {
    using Kind = CutPiece::Kind;

    Kind kind = Kind::NotAFrame;
    QByteArray bytes;
    // A frame's message, decoded; for bytes that no frame takes, no type and the summary
    // "not a frame of osdp".
    Message message;
    // A frame's time from the last byte of the line's previous frame, received or sent, to its
    // own first byte; -1 for the first frame, and for bytes that no frame takes.
    qint64 gapMs = -1;
    // From the link's last timed write to the piece's first byte; -1 when nothing was written.
    qint64 answerMs = -1;
    QDateTime firstAt; // when its first byte came (or, for a frame sent, went), in UTC
    QDateTime lastAt;  // and its last
    // Bytes that no frame takes, going on from the piece before, which held as many as a piece
    // holds.
    bool continued = false;
    // A frame's protocol and the way it went, to decode it again.
    std::shared_ptr<const Description> protocol;
    Direction direction = Direction::Unknown;

    bool isFrame() const { return kind != Kind::NotAFrame; }
    bool failed() const { return kind == Kind::FailedFrame; }
    QString summary() const { return QString::fromStdString(message.summary); }
    // What follows the bytes on a line of text: a tab, the summary, and for a frame whose check
    // value fails the value found and the one expected.
    QString tabbedSummary() const;
    // The fields one a line, indented, the notes, then the gap to the previous frame; for bytes
    // that no frame takes, the one line that says so. As one text, and as its lines.
    QString tooltip() const;
    QStringList tooltipLines() const;
    // The tooltip, made when called: a frame's keeps its bytes and decodes them again, for a
    // line that may never be hovered.
    std::function<QString()> tooltipLater() const;
};

// A frame's own check value as a reply line shows it; nothing for bytes no frame takes, or a
// protocol without one.
ReplyCheck PieceCheck(const ReadPiece& piece);
