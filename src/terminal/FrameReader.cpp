#include "terminal/FrameReader.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <string_view>

namespace
{

std::string_view View(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

Direction Opposite(Direction direction)
{
    switch (direction) {
    case Direction::Command:
        return Direction::Reply;
    case Direction::Reply:
        return Direction::Command;
    case Direction::Unknown:
        break;
    }
    return Direction::Unknown;
}

} // namespace

FrameReader::FrameReader(std::shared_ptr<const Description> description, Direction direction,
                         QObject* parent)
    : QObject(parent), m_description(std::move(description)), m_direction(direction),
      m_cutter(m_description, direction), m_decoder(m_description), m_session(m_description),
      m_wallOffset(QDateTime::currentMSecsSinceEpoch() - Now())
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FrameReader::OnTimer);
}

qint64 FrameReader::Now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void FrameReader::Feed(const QByteArray& bytes, qint64 sinceWriteMs, qint64 atMs)
{
    atMs = m_lastFeedMs = std::max(atMs, m_lastFeedMs); // the cutter's clock never goes back
    Expire(atMs);
    if (!bytes.isEmpty()) {
        m_fed += bytes.size();
        m_reads.push_back({m_fed, atMs - sinceWriteMs, sinceWriteMs >= 0});
        m_cutter.Feed(View(bytes), atMs, m_cut);
        TakeCut();
        TakeUp();
    }
    Arm();
}

void FrameReader::FeedWhole(const QByteArray& bytes, qint64 sinceWriteMs, qint64 atMs)
{
    Feed(bytes, sinceWriteMs, atMs);
    HandOnWaiting();
    TakeUp();
}

void FrameReader::Flush()
{
    HandOnWaiting();
    m_continues = false;
    m_anyFrame = false;
    m_session.Reset();
    TakeUp();
}

void FrameReader::HandOnWaiting()
{
    m_cutter.Flush(m_cut);
    TakeCut();
    if (!m_notAFrame.isEmpty())
        HandOnNotAFrame();
    m_timer.stop();
}

qsizetype FrameReader::waiting() const
{
    return qsizetype(m_cutter.waiting()) + m_notAFrame.size();
}

Composed FrameReader::Compose(const QByteArray& typed)
{
    return ComposeCommand(*m_description, m_session, View(typed));
}

ReadPiece FrameReader::Sent(const QByteArray& bytes, qint64 atMs)
{
    const Direction direction = Opposite(m_direction);
    FrameCutter cutter(m_description, direction);
    std::vector<CutPiece> cut;
    cutter.Feed(View(bytes), atMs, cut);
    cutter.Flush(cut);
    ReadPiece piece;
    piece.bytes = bytes;
    piece.firstAt = piece.lastAt = At(atMs);
    if (cut.size() != 1 || cut.front().kind == ReadPiece::Kind::NotAFrame) {
        piece.message.summary = "not a frame of " + m_description->name;
        return piece;
    }
    piece.kind = cut.front().kind;
    piece.message = m_decoder.Decode(View(bytes), direction);
    piece.protocol = m_description;
    piece.direction = direction;
    piece.gapMs = m_anyFrame ? atMs - m_previousFrameEnd : -1;
    m_previousFrameEnd = atMs;
    m_anyFrame = true;
    return piece;
}

void FrameReader::SetDescription(std::shared_ptr<const Description> description)
{
    m_next = std::move(description);
    TakeUp();
}

void FrameReader::TakeUp()
{
    if (!m_next || m_cutter.waiting() != 0)
        return;
    m_description = std::move(m_next);
    m_cutter = FrameCutter(m_description, m_direction);
    m_decoder = MessageDecoder(m_description);
    m_session = ProtocolSession(m_description);
}

void FrameReader::OnTimer()
{
    Expire(Now());
    Arm();
}

void FrameReader::Expire(qint64 nowMs)
{
    m_cutter.Expire(nowMs, m_cut);
    TakeCut();
    TakeUp();
    if (!m_notAFrame.isEmpty() && nowMs >= m_notAFrameFirst + kNotAFrameMs)
        HandOnNotAFrame();
}

void FrameReader::TakeCut()
{
    // Taken out first: what a piece's receiver does may feed the reader again.
    std::vector<CutPiece> cut;
    cut.swap(m_cut);
    for (const CutPiece& piece : cut) {
        if (piece.kind != ReadPiece::Kind::NotAFrame) {
            if (!m_notAFrame.isEmpty())
                HandOnNotAFrame();
            HandOnFrame(piece);
            continue;
        }
        // Bytes that came once the gathered ones were due are the next piece's.
        if (!m_notAFrame.isEmpty() && piece.firstMs >= m_notAFrameFirst + kNotAFrameMs)
            HandOnNotAFrame();
        std::string_view rest = piece.bytes;
        while (!rest.empty()) {
            if (m_notAFrame.isEmpty()) {
                m_notAFrameFirst = piece.firstMs;
                m_notAFrameAnswer = AnswerMs(piece.firstMs);
            }
            const std::size_t room = std::size_t(m_longestPiece - m_notAFrame.size());
            const std::string_view part = rest.substr(0, room);
            m_notAFrame.append(part.data(), qsizetype(part.size()));
            m_notAFrameLast = piece.lastMs;
            m_taken += qsizetype(part.size());
            rest.remove_prefix(part.size());
            if (m_notAFrame.size() >= m_longestPiece) {
                HandOnNotAFrame();
                m_continues = true;
            }
        }
    }
    if (m_cut.empty()) { // the vector's room is kept for the next cut
        cut.clear();
        m_cut.swap(cut);
    }
}

void FrameReader::HandOnNotAFrame()
{
    ReadPiece piece;
    piece.bytes.swap(m_notAFrame);
    piece.message.summary = "not a frame of " + m_description->name;
    piece.answerMs = m_notAFrameAnswer;
    piece.firstAt = At(m_notAFrameFirst);
    piece.lastAt = At(m_notAFrameLast);
    piece.continued = m_continues;
    m_continues = false;
    emit PieceRead(piece);
}

void FrameReader::HandOnFrame(const CutPiece& cut)
{
    ReadPiece piece;
    piece.kind = cut.kind;
    piece.bytes = QByteArray(cut.bytes.data(), qsizetype(cut.bytes.size()));
    piece.message = m_decoder.Decode(cut.bytes, m_direction);
    piece.protocol = m_description;
    piece.direction = m_direction;
    piece.answerMs = AnswerMs(cut.firstMs);
    piece.gapMs = m_anyFrame ? cut.firstMs - m_previousFrameEnd : -1;
    piece.firstAt = At(cut.firstMs);
    piece.lastAt = At(cut.lastMs);
    m_previousFrameEnd = cut.lastMs;
    m_anyFrame = true;
    m_taken += piece.bytes.size();
    if (piece.kind == ReadPiece::Kind::Frame)
        m_session.Observe(piece.message);
    emit PieceRead(piece);
}

qint64 FrameReader::AnswerMs(qint64 firstMs)
{
    // The read that holds the piece's first byte: those before it hold no piece to come.
    while (!m_reads.empty() && m_reads.front().end <= m_taken)
        m_reads.pop_front();
    if (m_reads.empty() || !m_reads.front().written)
        return -1;
    return firstMs - m_reads.front().writtenMs;
}

void FrameReader::Arm()
{
    std::optional<qint64> due = m_cutter.Deadline();
    if (!m_notAFrame.isEmpty())
        due = std::min(due.value_or(m_notAFrameFirst + kNotAFrameMs),
                       m_notAFrameFirst + kNotAFrameMs);
    if (!due) {
        m_timer.stop();
        return;
    }
    m_timer.start(int(std::clamp<qint64>(*due - Now(), 0, std::numeric_limits<int>::max())));
}

QDateTime FrameReader::At(qint64 ms) const
{
    // In UTC: a local time reads the system's time zone again for every frame.
    return QDateTime::fromMSecsSinceEpoch(ms + m_wallOffset, Qt::UTC);
}
