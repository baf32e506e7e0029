#include "protocol/FrameComposer.h"

#include "checks/CheckValue.h"
#include "protocol/ByteStuffing.h"
#include "protocol/FrameTrailer.h"

#include <algorithm>
#include <optional>

namespace
{

// Lays a frame out item by item, taking the operator's bytes where the description fills none.
class Composer
{
public:
    Composer(const Description& d, std::string_view typed, Direction role,
             std::optional<std::int64_t> sequence)
        : m_d(d), m_typed(typed), m_role(role), m_sequence(sequence), m_walk(d, m_frame, m_values)
    {
        m_values.Clear(d);
    }

    Composed Compose(std::int64_t& key);

private:
    bool Items(const std::vector<Item>& items);
    bool Field(const FieldSpec& field);
    bool Filled(const FieldSpec& field) const;
    std::optional<std::int64_t> FilledBits(const FieldSpec& bits) const;
    void Write(const FieldSpec& field, std::int64_t value, std::size_t at, std::size_t size);
    std::string TypedFields() const;

    const Description& m_d;
    std::string_view m_typed;
    std::size_t m_taken = 0;
    bool m_afterData = false;
    Direction m_role;
    std::optional<std::int64_t> m_sequence;
    ByteText m_frame;
    FieldValues m_values;
    FrameWalk m_walk; // for its conditions, on the values laid out so far
    std::size_t m_lengthAt = 0, m_checkAt = std::string::npos, m_endAt = std::string::npos;
    const CheckEntry* m_check = nullptr;
    std::string m_refusal;
};

std::optional<std::int64_t> Composer::FilledBits(const FieldSpec& bits) const
{
    const int index = int(&bits - m_d.fields.data());
    if (bits.filled)
        return bits.fill;
    if (index == m_d.sequence.field)
        return m_sequence.value_or(m_d.sequence.first);
    if (index == m_d.reply.field && m_role == Direction::Reply)
        return m_d.reply.ranges.empty() ? 1 : m_d.reply.ranges.front().first;
    return std::nullopt;
}

bool Composer::Filled(const FieldSpec& field) const
{
    if (field.length != LengthRule::None || FilledBits(field))
        return true;
    bool bits = false;
    for (const FieldSpec& other : m_d.fields) {
        if (other.type != FieldType::Bits || other.message >= 0 ||
            &m_d.fields[std::size_t(other.parent)] != &field)
            continue;
        if (!FilledBits(other))
            return false;
        bits = true;
    }
    return bits;
}

void Composer::Write(const FieldSpec& field, std::int64_t value, std::size_t at, std::size_t size)
{
    std::uint64_t left = std::uint64_t(value);
    for (std::size_t i = size; i-- > 0;) {
        char& byte = m_frame[at + i];
        if (field.type == FieldType::Unsigned || field.type == FieldType::Signed) {
            byte =
                char((std::uint64_t(value) >> (8 * (field.bigEndian ? size - 1 - i : i))) & 0xFFu);
        } else if (field.type == FieldType::Bcd) { // two digits a byte, from the last
            byte = char(left % 10 | (left / 10 % 10) << 4);
            left /= 100;
        } else { // ASCII digits, from the last
            const unsigned base = field.type == FieldType::HexDigits ? 16 : 10;
            byte = "0123456789ABCDEF"[left % base];
            left /= base;
        }
    }
    m_values.Set(field, value, at, size);
}

bool Composer::Field(const FieldSpec& field)
{
    const std::size_t at = m_frame.size();
    if (field.type == FieldType::Bits) // read from the field when asked for
        return true;
    std::int64_t size = field.fixedSize();
    if (size < 0) { // a count from a field before it
        const FieldSpec& count = m_d.fields[std::size_t(field.count.field)];
        size = m_values.Has(count) ? m_values.Number(count) + field.count.number : -1;
        if (size < 0 || size > m_d.longest)
            return m_refusal = "the " + count.name + " typed cannot count " + field.name, false;
    }
    std::int64_t value = field.fill;
    if (m_afterData && !Filled(field)) { // nothing typed is left for it
        m_frame.append(std::size_t(size), '\0');
        m_values.Set(field, 0, at, std::size_t(size));
        return true;
    }
    if (!Filled(field)) {
        if (m_taken + std::size_t(size) > m_typed.size())
            return m_refusal = m_d.name + " wants at least " + std::to_string(m_taken + size) +
                               " bytes typed: " + TypedFields(),
                   false;
        const std::string_view bytes = m_typed.substr(m_taken, std::size_t(size));
        m_taken += std::size_t(size);
        m_frame += bytes;
        if (!ReadNumber(field, bytes, value)) {
            m_values.Set(field, 0, at, std::size_t(size));
            return true;
        }
    } else {
        m_frame.append(std::size_t(size), '\0');
    }
    // Bits the description fills go over what was typed.
    for (const FieldSpec& bits : m_d.fields) {
        if (bits.type != FieldType::Bits || bits.message >= 0 ||
            &m_d.fields[std::size_t(bits.parent)] != &field)
            continue;
        if (const std::optional<std::int64_t> filled = FilledBits(bits)) {
            const std::int64_t mask = ((std::int64_t(2) << (bits.high - bits.low)) - 1) << bits.low;
            value = (value & ~mask) | ((*filled << bits.low) & mask);
        }
    }
    if (field.length != LengthRule::None)
        m_lengthAt = at;
    Write(field, value, at, std::size_t(size));
    return true;
}

bool Composer::Items(const std::vector<Item>& items)
{
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Kind::Constant:
            if (&items == &m_d.trailer && m_endAt == std::string::npos)
                m_endAt = m_frame.size();
            m_frame += item.bytes;
            break;
        case Item::Kind::Field:
            if (!Field(m_d.fields[std::size_t(item.field)]))
                return false;
            break;
        case Item::Kind::If:
            if (m_walk.Holds(item.when) && !Items(item.items))
                return false;
            break;
        case Item::Kind::Check:
            m_check = m_walk.Holds(m_d.check.when) ? m_d.check.chosen : m_d.check.otherwise;
            m_checkAt = m_frame.size();
            m_frame.append(m_check ? CheckValueSize(*m_check) : 0, '\0');
            break;
        case Item::Kind::Group:
            break;
        }
    }
    return true;
}

std::string Composer::TypedFields() const
{
    std::string names;
    for (const Item& item : m_d.header) {
        if (item.kind == Item::Kind::Field && !Filled(m_d.fields[std::size_t(item.field)]) &&
            m_d.fields[std::size_t(item.field)].type != FieldType::Bits)
            names += (names.empty() ? "" : ", ") + m_d.fields[std::size_t(item.field)].name;
    }
    return names;
}

Composed Composer::Compose(std::int64_t& key)
{
    if (!Items(m_d.header))
        return {{}, m_refusal};
    const FieldSpec* per =
        m_d.sequence.per >= 0 ? &m_d.fields[std::size_t(m_d.sequence.per)] : nullptr;
    key = per && m_values.Has(*per) ? m_values.Number(*per) : 0;
    m_frame += m_typed.substr(m_taken);
    m_afterData = true;
    Items(m_d.trailer);
    m_checkAt = std::min(m_checkAt, m_frame.size());
    if (m_d.lengthField >= 0) {
        const FieldSpec& length = m_d.fields[std::size_t(m_d.lengthField)];
        const std::size_t after = m_lengthAt + std::size_t(length.width);
        const std::size_t counted = length.length == LengthRule::Frame   ? m_frame.size()
                                    : length.length == LengthRule::After ? m_frame.size() - after
                                                                         : m_checkAt - after;
        const std::int64_t value = std::int64_t(counted) - length.lengthAdjust;
        if (value < 0 || (length.width < 8 && value >> (8 * length.width)) != 0)
            return {{}, "the frame is too long for " + length.name};
        Write(length, value, m_lengthAt, std::size_t(length.width));
    }
    if (m_frame.size() > std::size_t(m_d.longest))
        return {{},
                "the frame would be " + std::to_string(m_frame.size()) + " bytes, and " + m_d.name +
                    "'s longest is " + std::to_string(m_d.longest)};
    if (m_check) {
        TrailerShape shape;
        shape.checkAt = 0;
        shape.size = m_frame.size() - m_checkAt;
        const std::string_view covered =
            CheckedBytes(m_d, m_frame, m_frame.size(), shape, m_values);
        const ByteText value = CheckValue(*m_check, covered);
        m_frame.replace(m_checkAt, value.size(), value);
    }
    ByteText sent = m_d.escape >= 0
                        ? Stuff(m_d, m_frame, m_d.start().size(),
                                m_endAt == std::string::npos ? 0 : m_frame.size() - m_endAt)
                        : m_frame;
    if (m_d.mark >= 0 && m_d.markSent)
        sent.insert(sent.begin(), char(m_d.mark));
    return {std::move(sent), {}};
}

} // namespace

Composed ComposeCommand(const Description& description, ProtocolSession& session,
                        std::string_view typed)
{
    // The sequence number depends on the address typed: compose once to learn it.
    std::int64_t key = 0;
    Composer(description, typed, Direction::Command, std::nullopt).Compose(key);
    Composer composer(description, typed, Direction::Command, session.Next(key));
    Composed composed = composer.Compose(key);
    if (composed.ok())
        session.Sent(key);
    return composed;
}

Composed ComposeReply(const Description& description, const Message& command,
                      std::string_view typed)
{
    std::optional<std::int64_t> sequence;
    for (const MessageField& field : command.fields) {
        if (field.fieldDef >= 0 && field.fieldDef == description.sequence.field && field.number)
            sequence = field.number;
    }
    std::int64_t key = 0;
    return Composer(description, typed, Direction::Reply, sequence).Compose(key);
}
