#include "protocol/MessageDecoder.h"

#include "protocol/FieldText.h"

#include <algorithm>

namespace
{

bool Fits(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges, std::int64_t value)
{
    return std::ranges::any_of(ranges, [value](const auto& range) {
        return value >= range.first && value <= range.second;
    });
}

} // namespace

MessageDecoder::MessageDecoder(std::shared_ptr<const Description> description)
    : m_description(std::move(description))
{
}

std::size_t MessageDecoder::Sent(std::size_t offset) const
{
    if (m_description->escape < 0)
        return m_mark + offset;
    return m_mark + m_unstuffed.raw[std::min(offset, m_unstuffed.raw.size() - 1)];
}

Message MessageDecoder::Decode(std::string_view bytes, Direction direction)
{
    const Description& d = *m_description;
    Message message;
    message.fields.reserve(16); // a frame's fields are a handful: one allocation, not several
    message.direction = direction;
    const std::string start = d.start();
    m_mark = d.mark >= 0 && !bytes.empty() && static_cast<unsigned char>(bytes[0]) == d.mark &&
                     bytes.substr(1).starts_with(start)
                 ? 1
                 : 0;
    std::string_view frame = bytes.substr(m_mark);
    if (d.escape >= 0) {
        Unstuff(d, frame, m_unstuffed);
        frame = m_unstuffed.bytes;
    }
    m_values.Clear(d);
    m_spans.clear();
    FrameWalk walk(d, frame, m_values, &m_spans);
    std::size_t at = 0;
    if (walk.Walk(d.header, at, frame.size()) != FrameWalk::Result::Ok) {
        AddFields(m_spans, frame, -1, message);
        message.summary = "not a frame of " + d.name;
        message.notes.push_back("The bytes are no frame of " + d.name + ".");
        return message;
    }
    if (d.reply.field >= 0)
        message.direction = walk.Holds(d.reply) ? Direction::Reply : Direction::Command;
    const TrailerShape trailer = ShapeTrailer(d, walk);
    const bool room = frame.size() >= at + trailer.size;
    const std::size_t dataEnd = room ? frame.size() - trailer.size : at;
    if (!room)
        message.notes.push_back("The frame is too short for its check value.");
    const int chosen = Choose(message.direction, frame, at, dataEnd);
    const MessageSpec* fieldDef = chosen >= 0 ? &d.messages[std::size_t(chosen)] : nullptr;
    message.encrypted = d.encrypted.field >= 0 && walk.Holds(d.encrypted);
    std::size_t dataAt = at;
    if (fieldDef && !message.encrypted) {
        const FrameWalk::Result read = walk.Walk(fieldDef->items, dataAt, dataEnd);
        if (read == FrameWalk::Result::Short)
            message.notes.push_back("The data ends before " + fieldDef->name + "'s fields do.");
        else if (read == FrameWalk::Result::Bad)
            message.notes.push_back("The data cannot be read as " + fieldDef->name + ".");
    }
    AddFields(m_spans, frame, chosen, message);
    if (dataAt < dataEnd) {
        const bool extra = fieldDef && !message.encrypted;
        AddBytes(extra ? "EXTRA" : "DATA", dataAt, dataEnd, frame, message);
        if (message.encrypted)
            message.fields.back().valueName = "encrypted";
        if (extra)
            message.notes.push_back(std::to_string(dataEnd - dataAt) +
                                    (dataEnd - dataAt == 1 ? " byte" : " bytes") + " more than " +
                                    fieldDef->name + " holds.");
    }
    if (room) {
        m_spans.clear();
        walk.SetCheckSize(trailer.checkSize);
        std::size_t after = dataEnd;
        walk.Walk(d.trailer, after, frame.size());
        AddFields(m_spans, frame, chosen, message);
    }
    if (room && trailer.check) {
        const std::size_t checkAt = dataEnd + trailer.checkAt;
        const std::string_view found = frame.substr(checkAt, trailer.checkSize);
        message.check = VerifyValue(*trailer.check, found,
                                    CheckedBytes(d, frame, frame.size(), trailer, m_values));
        MessageField field;
        field.name = trailer.check->name;
        field.offset = Sent(checkAt);
        field.size = Sent(checkAt + trailer.checkSize) - field.offset;
        field.value = trailer.check->hex ? std::string(found) : HexPairs(found);
        field.valueName = message.check.ok() ? "ok" : "expected " + message.check.expected;
        message.fields.push_back(std::move(field));
    }
    if (fieldDef) {
        message.type = fieldDef->name;
        message.idle = fieldDef->idle;
    }
    message.summary = Summary(message, chosen);
    return message;
}

int MessageDecoder::Choose(Direction direction, std::string_view frame, std::size_t headerEnd,
                           std::size_t dataEnd)
{
    // The first message of the frame's code and direction whose size fits the frame; else the
    // first whose size is open; else the first of them all.
    const Description& d = *m_description;
    const FieldSpec* code = d.codeField >= 0 ? &d.fields[std::size_t(d.codeField)] : nullptr;
    int sized = -1, open = -1, any = -1;
    for (std::size_t m = 0; m < d.messages.size() && sized < 0; ++m) {
        const MessageSpec& message = d.messages[m];
        if (message.direction != Direction::Unknown && direction != Direction::Unknown &&
            message.direction != direction)
            continue;
        if (!message.codes.empty() &&
            (!code || !m_values.Has(*code) || !Fits(message.codes, m_values.Number(*code))))
            continue;
        any = any < 0 ? int(m) : any;
        if (message.fixedSize >= 0) {
            if (std::size_t(message.fixedSize) == dataEnd - headerEnd)
                sized = int(m);
            continue;
        }
        if (message.lengthField < 0) {
            open = open < 0 ? int(m) : open;
            continue;
        }
        const FieldSpec& length = d.fields[std::size_t(message.lengthField)];
        const std::size_t at = headerEnd + std::size_t(message.lengthAt);
        std::int64_t counted = 0;
        if (at + std::size_t(length.width) > dataEnd ||
            !ReadNumber(length, frame.substr(at, std::size_t(length.width)), counted))
            continue;
        m_values.Set(length, counted, at, std::size_t(length.width));
        if (SizeByLength(length, m_values, ShapeTrailer(d, FrameWalk(d, frame, m_values))) ==
            std::int64_t(frame.size()))
            sized = int(m);
    }
    return sized >= 0 ? sized : open >= 0 ? open : any;
}

std::string MessageDecoder::NameOf(const FieldSpec& field, std::int64_t value, int chosen) const
{
    const Description& d = *m_description;
    const FieldSpec& source = field.namesOf >= 0 ? d.fields[std::size_t(field.namesOf)] : field;
    for (const ValueName& name : source.names) {
        if (name.value == value)
            return name.name;
    }
    if (d.codeField < 0 || &source != &d.fields[std::size_t(d.codeField)])
        return {};
    // The code's names are its messages'.
    if (&field == &source && chosen >= 0)
        return d.messages[std::size_t(chosen)].name;
    for (const MessageSpec& message : d.messages) {
        if (Fits(message.codes, value))
            return message.name;
    }
    return {};
}

void MessageDecoder::AddFields(const std::vector<FieldSpan>& spans, std::string_view frame,
                               int chosen, Message& message) const
{
    for (const FieldSpan& span : spans) {
        const FieldSpec& fieldDef = m_description->fields[std::size_t(span.field)];
        MessageField field;
        field.fieldDef = span.field;
        field.depth = span.depth;
        field.offset = Sent(span.offset);
        field.size = Sent(span.offset + span.size) - field.offset;
        field.name = fieldDef.name;
        if (fieldDef.type == FieldType::Group) {
            field.name += ' ' + std::to_string(span.number);
            field.number = span.number;
        } else {
            const std::string_view bytes = frame.substr(span.offset, span.size);
            std::int64_t number = span.number;
            const bool numbered =
                fieldDef.type == FieldType::Bits || ReadNumber(fieldDef, bytes, number);
            field.value = FieldText(fieldDef, bytes, number);
            if (numbered) {
                field.number = number;
                field.valueName = NameOf(fieldDef, number, chosen);
            }
        }
        message.fields.push_back(std::move(field));
    }
}

void MessageDecoder::AddBytes(const char* name, std::size_t from, std::size_t to,
                              std::string_view frame, Message& message) const
{
    MessageField field;
    field.name = name;
    field.offset = Sent(from);
    field.size = Sent(to) - field.offset;
    field.value = HexPairs(frame.substr(from, to - from));
    message.fields.push_back(std::move(field));
}

std::string MessageDecoder::Summary(const Message& message, int chosen) const
{
    const Description& d = *m_description;
    const auto partsText = [&](const std::vector<MessageSpec::SummaryPart>& parts) {
        std::string text;
        for (const MessageSpec::SummaryPart& part : parts) {
            text += part.text;
            const bool group =
                part.field >= 0 && d.fields[std::size_t(part.field)].type == FieldType::Group;
            int seen = 0;
            for (const MessageField& field : message.fields) {
                if (part.field < 0 || field.fieldDef != part.field || (group && ++seen))
                    continue;
                text += seen++ ? " " : "";
                text += part.number || field.valueName.empty() ? field.value : field.valueName;
            }
            if (group) // a group says how many times it came
                text += std::to_string(seen);
        }
        return text;
    };
    std::string summary = message.type;
    if (summary.empty()) {
        const FieldSpec* code = d.codeField >= 0 ? &d.fields[std::size_t(d.codeField)] : nullptr;
        const MessageField* value = code ? message.Field(code->name) : nullptr;
        summary = value ? code->name + ' ' + value->value : d.name;
    }
    const std::string own = message.encrypted ? std::string("encrypted")
                            : chosen >= 0     ? partsText(d.messages[std::size_t(chosen)].summary)
                                              : std::string();
    for (const std::string& part : {partsText(d.summary), own}) {
        if (!part.empty())
            summary += "  " + part;
    }
    return summary;
}
