#include "protocol/ByteStuffing.h"

std::string_view EndBytes(const Description& description)
{
    for (const Item& item : description.trailer) {
        if (item.kind == Item::Kind::Constant)
            return item.bytes;
    }
    return {};
}

void Unstuff(const Description& description, std::string_view sent, Unstuffed& out)
{
    out.bytes.clear();
    out.raw.clear();
    out.ended = false;
    const std::string_view end = EndBytes(description);
    const std::size_t lead = std::min(description.start().size(), sent.size());
    std::size_t at = 0;
    const auto take = [&](std::size_t from, std::size_t to) {
        for (at = from; at < to; ++at) {
            out.bytes += sent[at];
            out.raw.push_back(at);
        }
    };
    take(0, lead);
    while (at < sent.size()) {
        const std::string_view left = sent.substr(at);
        if (!end.empty() && left.starts_with(end)) {
            out.ended = true;
            out.endAt = out.bytes.size();
            take(at, sent.size());
            break;
        }
        if (!end.empty() && left.size() < end.size() && end.starts_with(left))
            break;
        if (static_cast<unsigned char>(sent[at]) != unsigned(description.escape)) {
            take(at, at + 1);
            continue;
        }
        if (left.size() < 2)
            break;
        out.bytes += char(static_cast<unsigned char>(sent[at + 1]) ^ description.escapeXor);
        out.raw.push_back(at);
        at += 2;
    }
    out.raw.push_back(at);
}

ByteText Stuff(const Description& description, std::string_view frame, std::size_t lead,
               std::size_t tail)
{
    ByteText sent(frame.substr(0, lead));
    for (std::size_t at = lead; at + tail < frame.size(); ++at) {
        if (description.escaped.find(frame[at]) != std::string::npos) {
            sent += char(description.escape);
            sent += char(static_cast<unsigned char>(frame[at]) ^ description.escapeXor);
        } else {
            sent += frame[at];
        }
    }
    sent += frame.substr(frame.size() - std::min(tail, frame.size() - lead));
    return sent;
}
