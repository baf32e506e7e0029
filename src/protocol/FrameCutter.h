#pragma once

#include "notation/ByteText.h"
#include "protocol/ByteStuffing.h"
#include "protocol/FrameTrailer.h"
#include "protocol/ProtocolDescription.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// A piece of the byte stream as the cutter hands it on: a frame, a frame whose check value fails
// (when no good frame starts inside it), or bytes that no frame takes. Pieces come in the order
// of their bytes, and their bytes joined are the bytes fed; a run of bytes that no frame takes
// may come as more than one piece.
struct CutPiece {
    enum class Kind { Frame, FailedFrame, NotAFrame };
    Kind kind = Kind::NotAFrame;
    ByteText bytes;
    std::int64_t firstMs = 0; // when its first byte arrived
    std::int64_t lastMs = 0;  // and its last
};

// Cuts frames out of a byte stream by a protocol's description, whatever pieces the bytes arrive
// in: fed one at a time, all at once or in any split, the same frames come out. A frame is taken
// as soon as its last byte is there. Bytes that may still begin a frame wait for more; the caller
// keeps the time: after Deadline() (the protocol's gap after the last byte) it calls Expire(),
// and what waits is given up as bytes that no frame takes. What waits is bounded by about twice
// the protocol's longest frame, whatever is fed.
class FrameCutter
{
public:
    // direction: which way the bytes go, when the protocol's messages overlap by direction.
    explicit FrameCutter(std::shared_ptr<const Description> description,
                         Direction direction = Direction::Unknown);

    // Bytes that arrived at nowMs (any clock in ms that does not go back); the pieces they
    // complete are appended to out. Bytes waiting from before the gap are first given up.
    void Feed(std::string_view bytes, std::int64_t nowMs, std::vector<CutPiece>& out);
    // When what waits is given up; none when nothing waits.
    std::optional<std::int64_t> Deadline() const;
    // Gives up what waits when nowMs has reached the deadline.
    void Expire(std::int64_t nowMs, std::vector<CutPiece>& out);
    // Gives up what waits now: the link closed.
    void Flush(std::vector<CutPiece>& out);
    // How many bytes wait.
    std::size_t waiting() const { return m_buffer.size(); }

private:
    struct Probe {
        enum class Result { Frame, Short, Bad } result;
        std::size_t size = 0; // as sent, mark not included
        bool fits = false;    // its check value is right
    };
    void Cut(bool final, std::vector<CutPiece>& out);
    Probe ProbeAt(std::size_t at, bool final);
    // The same, each place probed once in a cut: looking for good frames inside failed ones
    // would otherwise probe the same places again and again.
    Probe Known(std::size_t at, bool final);
    Probe Measure(std::string_view frame, bool final);
    Probe ByMessages(std::string_view frame, std::size_t headerEnd, const TrailerShape& trailer,
                     bool final);
    Probe Candidates(std::string_view frame, std::vector<std::size_t>& sizes,
                     const TrailerShape& trailer, bool final);
    Probe Scan(std::string_view frame, std::size_t from, const TrailerShape& trailer, bool final);
    // The first place at or after from where a frame may start (or the bytes may end in the
    // beginning of its start bytes); the buffer's size when none.
    std::size_t NextStart(std::size_t from) const;
    void Emit(CutPiece::Kind kind, std::size_t from, std::size_t to, std::vector<CutPiece>& out);
    std::int64_t ArrivalOf(std::size_t offset) const;

    std::shared_ptr<const Description> m_description;
    Direction m_direction;
    std::string m_start;
    ByteText m_buffer;         // bytes that wait, from the first one no piece has taken
    std::size_t m_emitted = 0; // bytes of m_buffer handed on (during a cut)
    struct Arrival {
        std::size_t offset; // in m_buffer
        std::int64_t ms;
    };
    std::vector<Arrival> m_arrivals;
    std::int64_t m_lastMs = 0;
    FieldValues m_values;
    Unstuffed m_unstuffed;
    std::vector<std::size_t> m_sizes;
    std::map<std::size_t, Probe> m_known; // during a cut
};
