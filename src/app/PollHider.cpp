#include "app/PollHider.h"

#include "terminal/FrameReader.h"

namespace
{

bool Idle(const ReadPiece& piece, Direction direction)
{
    return piece.kind == ReadPiece::Kind::Frame && piece.message.idle &&
           piece.message.direction == direction;
}

} // namespace

PollHider::PollHider(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(int(FrameReader::kNotAFrameMs));
    connect(&m_timer, &QTimer::timeout, this, &PollHider::Flush);
}

void PollHider::SetOn(bool on)
{
    m_on = on;
    if (!on)
        Flush();
}

void PollHider::Take(const ReadPiece& piece)
{
    if (m_poll && Idle(piece, Direction::Reply)) {
        m_poll.reset();
        m_timer.stop();
        emit Hidden(++m_hidden);
        return;
    }
    Flush();
    if (m_on && Idle(piece, Direction::Command)) {
        m_poll = piece;
        m_timer.start();
        return;
    }
    emit Show(piece);
}

void PollHider::Flush()
{
    m_timer.stop();
    if (!m_poll)
        return;
    const ReadPiece poll = std::move(*m_poll);
    m_poll.reset();
    emit Show(poll);
}
