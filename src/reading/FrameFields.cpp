#include "reading/FrameFields.h"

#include "protocol/FrameCutter.h"
#include "protocol/MessageDecoder.h"

#include <algorithm>
#include <string_view>

std::optional<FrameFields> FrameFields::Read(const std::shared_ptr<const Description>& description,
                                             const QByteArray& bytes)
{
    // No frame is longer than the longest with every byte stuffed, after a mark: a 16 MiB line
    // costs nothing here. Nor is a table of fields much use past a few pages of them.
    const qsizetype longest = qMin(2 * qsizetype(description->longest) + 3, kLongestFrame);
    if (bytes.isEmpty() || bytes.size() > longest)
        return std::nullopt;
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    // Read as the window reads its links, whichever way the line went.
    FrameCutter cutter(description, Direction::Unknown);
    std::vector<CutPiece> cut;
    cutter.Feed(view, 0, cut);
    cutter.Flush(cut);
    if (cut.size() != 1 || cut.front().kind == CutPiece::Kind::NotAFrame)
        return std::nullopt;

    FrameFields frame;
    frame.m_bytes = bytes;
    frame.m_message = MessageDecoder(description).Decode(view, Direction::Unknown);
    const std::vector<MessageField>& fields = frame.m_message.fields;
    frame.m_holder.assign(std::size_t(bytes.size()), -1);
    frame.m_tint.assign(std::size_t(bytes.size()), Tint::None);
    const bool failed = frame.m_message.check.outcome == CheckVerdict::Outcome::Failed;
    int outermost = 0;
    for (int i = 0; i < int(fields.size()); ++i) {
        const MessageField& field = fields[std::size_t(i)];
        Tint tint = outermost % 2 ? Tint::Second : Tint::First;
        if (field.depth == 0)
            ++outermost;
        if (failed && field.fieldDef < 0 && field.name == frame.m_message.check.name)
            tint = Tint::Failed;
        const std::size_t end = std::min(field.offset + field.size, frame.m_holder.size());
        for (std::size_t at = field.offset; at < end; ++at) {
            int& holder = frame.m_holder[at];
            if (holder < 0 || field.depth > fields[std::size_t(holder)].depth)
                holder = i;
            // A deeper field is tinted as the outermost one that holds it.
            if (field.depth == 0)
                frame.m_tint[at] = tint;
        }
    }
    return frame;
}

int FrameFields::fieldAt(qsizetype offset) const
{
    return offset >= 0 && offset < size() ? m_holder[std::size_t(offset)] : -1;
}

FrameFields::Tint FrameFields::tintAt(qsizetype offset) const
{
    return offset >= 0 && offset < size() ? m_tint[std::size_t(offset)] : Tint::None;
}
