#include "protocol/FrameCutter.h"

#include "checks/CheckValue.h"

#include <algorithm>

FrameCutter::FrameCutter(std::shared_ptr<const Description> description, Direction direction)
    : m_description(std::move(description)), m_direction(direction), m_start(m_description->start())
{
}

void FrameCutter::Feed(std::string_view bytes, std::int64_t nowMs, std::vector<CutPiece>& out)
{
    Expire(nowMs, out);
    if (bytes.empty())
        return;
    m_arrivals.push_back({m_buffer.size(), nowMs});
    m_buffer.append(bytes);
    m_lastMs = nowMs;
    Cut(false, out);
}

std::optional<std::int64_t> FrameCutter::Deadline() const
{
    if (m_buffer.empty())
        return std::nullopt;
    return m_lastMs + m_description->gapMs;
}

void FrameCutter::Expire(std::int64_t nowMs, std::vector<CutPiece>& out)
{
    if (!m_buffer.empty() && nowMs >= m_lastMs + m_description->gapMs)
        Cut(true, out);
}

void FrameCutter::Flush(std::vector<CutPiece>& out)
{
    if (!m_buffer.empty())
        Cut(true, out);
}

std::size_t FrameCutter::NextStart(std::size_t from) const
{
    if (m_start.empty())
        return from;
    for (std::size_t at = m_buffer.find(m_start[0], from); at != std::string::npos;
         at = m_buffer.find(m_start[0], at + 1)) {
        const std::string_view here = std::string_view(m_buffer).substr(at, m_start.size());
        if (std::string_view(m_start).starts_with(here))
            return at;
    }
    return m_buffer.size();
}

void FrameCutter::Cut(bool final, std::vector<CutPiece>& out)
{
    const int mark = m_description->mark;
    std::size_t cursor = 0;
    m_emitted = 0;
    while (cursor < m_buffer.size()) {
        const std::size_t at = NextStart(cursor);
        if (at >= m_buffer.size()) {
            // No frame starts here; a last byte that may be the mark waits for what follows.
            const bool maybeMark = !final && mark >= 0 &&
                                   static_cast<unsigned char>(m_buffer.back()) == unsigned(mark);
            cursor = std::max(cursor, m_buffer.size() - (maybeMark ? 1 : 0));
            break;
        }
        const bool marked = at > cursor && mark >= 0 &&
                            static_cast<unsigned char>(m_buffer[at - 1]) == unsigned(mark);
        const std::size_t begin = marked ? at - 1 : at;
        Probe probe = Known(at, final);
        if (probe.result == Probe::Result::Frame && !probe.fits) {
            // A frame whose check value fails is one only when no good frame starts inside it.
            for (std::size_t inner = NextStart(at + 1); inner < at + probe.size;
                 inner = NextStart(inner + 1)) {
                const Probe other = Known(inner, final);
                if (other.result == Probe::Result::Short) {
                    probe.result = Probe::Result::Short;
                    break;
                }
                if (other.result == Probe::Result::Frame && other.fits) {
                    probe.result = Probe::Result::Bad;
                    break;
                }
            }
        }
        if (probe.result == Probe::Result::Short) {
            cursor = begin;
            break;
        }
        if (probe.result == Probe::Result::Bad) {
            cursor = at + 1;
            continue;
        }
        if (begin > m_emitted)
            Emit(CutPiece::Kind::NotAFrame, m_emitted, begin, out);
        Emit(probe.fits ? CutPiece::Kind::Frame : CutPiece::Kind::FailedFrame, begin,
             at + probe.size, out);
        cursor = at + probe.size;
    }
    m_known.clear();
    if (cursor > m_emitted)
        Emit(CutPiece::Kind::NotAFrame, m_emitted, cursor, out);
    m_buffer.erase(0, cursor);
    if (m_buffer.empty()) {
        m_arrivals.clear();
        return;
    }
    const auto kept = std::ranges::upper_bound(m_arrivals, cursor, {}, &Arrival::offset) - 1;
    m_arrivals.erase(m_arrivals.begin(), kept);
    for (Arrival& arrival : m_arrivals)
        arrival.offset = arrival.offset > cursor ? arrival.offset - cursor : 0;
}

void FrameCutter::Emit(CutPiece::Kind kind, std::size_t from, std::size_t to,
                       std::vector<CutPiece>& out)
{
    CutPiece& piece = out.emplace_back();
    piece.kind = kind;
    piece.bytes.assign(m_buffer, from, to - from);
    piece.firstMs = ArrivalOf(from);
    piece.lastMs = ArrivalOf(to - 1);
    m_emitted = to;
}

std::int64_t FrameCutter::ArrivalOf(std::size_t offset) const
{
    if (m_arrivals.size() == 1) // fed whole since what waited was taken
        return m_arrivals.front().ms;
    const auto at = std::ranges::upper_bound(m_arrivals, offset, {}, &Arrival::offset);
    return at == m_arrivals.begin() ? m_lastMs : std::prev(at)->ms;
}

FrameCutter::Probe FrameCutter::Known(std::size_t at, bool final)
{
    if (const auto known = m_known.find(at); known != m_known.end())
        return known->second;
    const Probe probe = ProbeAt(at, final);
    // Most frames are good and are probed once; only where one fails are places probed again.
    if (probe.result != Probe::Result::Frame || !probe.fits)
        m_known.emplace(at, probe);
    return probe;
}

FrameCutter::Probe FrameCutter::ProbeAt(std::size_t at, bool final)
{
    const Description& d = *m_description;
    const std::string_view sent = std::string_view(m_buffer).substr(at);
    if (d.escape < 0)
        return Measure(sent.substr(0, std::size_t(d.longest)), final);
    Unstuff(d, sent.substr(0, 2 * std::size_t(d.longest) + 2), m_unstuffed);
    const std::string_view frame =
        std::string_view(m_unstuffed.bytes).substr(0, std::size_t(d.longest));
    Probe probe = Measure(frame, final);
    if (probe.result == Probe::Result::Frame)
        probe.size = m_unstuffed.raw[probe.size];
    return probe;
}

FrameCutter::Probe FrameCutter::Measure(std::string_view frame, bool final)
{
    const Description& d = *m_description;
    // No frame is longer than the longest: with that many bytes there, more would change nothing.
    final = final || frame.size() >= std::size_t(d.longest);
    const Probe shortOrBad{final ? Probe::Result::Bad : Probe::Result::Short};
    m_values.Clear(d);
    FrameWalk walk(d, frame, m_values);
    std::size_t at = 0;
    const FrameWalk::Result header = walk.Walk(d.header, at, frame.size());
    if (header != FrameWalk::Result::Ok)
        return header == FrameWalk::Result::Short ? shortOrBad : Probe{Probe::Result::Bad};
    const TrailerShape trailer = ShapeTrailer(d, walk);
    const std::size_t least = std::max(at + trailer.size, std::size_t(d.shortest));
    m_sizes.clear();
    if (d.lengthField >= 0) {
        const std::int64_t size =
            SizeByLength(d.fields[std::size_t(d.lengthField)], m_values, trailer);
        if (size < std::int64_t(least) || size > d.longest)
            return {Probe::Result::Bad};
        m_sizes.push_back(std::size_t(size));
        return Candidates(frame, m_sizes, trailer, final);
    }
    if (!trailer.end.empty()) {
        const std::size_t from = at + trailer.endAt;
        const std::size_t end =
            d.escape >= 0 ? (m_unstuffed.ended ? m_unstuffed.endAt : std::string_view::npos)
                          : frame.find(trailer.end, from);
        if (end == std::string_view::npos || end < from)
            return frame.size() >= std::size_t(d.longest) ? Probe{Probe::Result::Bad} : shortOrBad;
        const std::size_t size = end + trailer.size - trailer.endAt;
        if (size < least || size > std::size_t(d.longest))
            return {Probe::Result::Bad};
        m_sizes.push_back(size);
        return Candidates(frame, m_sizes, trailer, final);
    }
    return ByMessages(frame, at, trailer, final);
}

FrameCutter::Probe FrameCutter::ByMessages(std::string_view frame, std::size_t headerEnd,
                                           const TrailerShape& trailer, bool final)
{
    const Description& d = *m_description;
    const FrameWalk walk(d, frame, m_values);
    const Direction direction = d.reply.field >= 0
                                    ? (walk.Holds(d.reply) ? Direction::Reply : Direction::Command)
                                    : m_direction;
    const FieldSpec* code = d.codeField >= 0 ? &d.fields[std::size_t(d.codeField)] : nullptr;
    bool unsized = false;
    for (const MessageSpec& message : d.messages) {
        if (message.direction != Direction::Unknown && direction != Direction::Unknown &&
            message.direction != direction)
            continue;
        if (!message.codes.empty() &&
            (!code || !m_values.Has(*code) ||
             std::ranges::none_of(message.codes, [n = m_values.Number(*code)](const auto& r) {
                 return n >= r.first && n <= r.second;
             })))
            continue;
        if (message.fixedSize >= 0) {
            const std::size_t size = headerEnd + std::size_t(message.fixedSize) + trailer.size;
            if (size >= std::size_t(d.shortest) && size <= std::size_t(d.longest))
                m_sizes.push_back(size);
            continue;
        }
        if (message.lengthField < 0) {
            unsized = true;
            continue;
        }
        const FieldSpec& length = d.fields[std::size_t(message.lengthField)];
        const std::size_t at = headerEnd + std::size_t(message.lengthAt);
        if (at + std::size_t(length.width) > frame.size()) {
            if (!final)
                return {Probe::Result::Short};
            continue;
        }
        std::int64_t counted = 0;
        ReadNumber(length, frame.substr(at, std::size_t(length.width)), counted);
        m_values.Set(length, counted, at, std::size_t(length.width));
        const std::int64_t size = SizeByLength(length, m_values, trailer);
        if (size >= std::int64_t(headerEnd + trailer.size) && size <= d.longest)
            m_sizes.push_back(std::size_t(size));
    }
    if (!m_sizes.empty()) {
        const Probe probe = Candidates(frame, m_sizes, trailer, final);
        if (probe.result == Probe::Result::Short || probe.fits || !unsized)
            return probe;
    }
    return Scan(frame, std::max(headerEnd + trailer.size, std::size_t(d.shortest)), trailer, final);
}

FrameCutter::Probe FrameCutter::Candidates(std::string_view frame, std::vector<std::size_t>& sizes,
                                           const TrailerShape& trailer, bool final)
{
    if (sizes.size() > 1)
        std::ranges::sort(sizes);
    std::size_t failed = 0;
    for (const std::size_t size : sizes) {
        if (size > frame.size()) {
            if (!final)
                return {Probe::Result::Short};
            continue;
        }
        if (CheckFits(*m_description, frame, size, trailer, m_values))
            return {Probe::Result::Frame, size, true};
        failed = size;
    }
    return failed ? Probe{Probe::Result::Frame, failed, false} : Probe{Probe::Result::Bad};
}

FrameCutter::Probe FrameCutter::Scan(std::string_view frame, std::size_t from,
                                     const TrailerShape& trailer, bool final)
{
    if (!trailer.check)
        return {Probe::Result::Bad};
    // The check value runs on as the frame grows a byte at a time, so that trying every size up
    // to the longest costs one pass.
    const std::size_t start = CheckStart(*m_description, m_values);
    RunningCheck running(trailer.check->kind);
    std::size_t covered = start;
    for (std::size_t size = from; size <= std::size_t(m_description->longest); ++size) {
        if (size > frame.size())
            return {final ? Probe::Result::Bad : Probe::Result::Short};
        const std::size_t checkAt = size - trailer.size + trailer.checkAt;
        if (checkAt > covered) {
            running.Add(frame.substr(covered, checkAt - covered));
            covered = checkAt;
        }
        if (IsCheckValueOf(*trailer.check, frame.substr(checkAt, trailer.checkSize),
                           running.Number()))
            return {Probe::Result::Frame, size, true};
    }
    return {Probe::Result::Bad};
}
