#include "protocol/FrameWalk.h"

#include <algorithm>

namespace
{

unsigned Byte(std::string_view bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]);
}

bool ReadDigits(std::string_view bytes, int base, std::int64_t& number)
{
    if (bytes.empty() || bytes.size() > 15)
        return false;
    number = 0;
    for (const char c : bytes) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return false;
        number = number * base + digit;
    }
    return true;
}

} // namespace

void FieldValues::Clear(const Description& description)
{
    m_fields = &description.fields;
    const int count = description.slotCount;
    if (m_present.size() < std::size_t(count)) {
        m_number.resize(count);
        m_offset.resize(count);
        m_end.resize(count);
    }
    m_present.assign(count, 0);
}

void FieldValues::Set(const FieldSpec& field, std::int64_t number, std::size_t offset,
                      std::size_t size)
{
    m_number[field.slot] = number;
    m_offset[field.slot] = offset;
    m_end[field.slot] = offset + size;
    m_present[field.slot] = 1;
}

bool ReadNumber(const FieldSpec& field, std::string_view bytes, std::int64_t& number)
{
    switch (field.type) {
    case FieldType::Unsigned:
    case FieldType::Signed: {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            value |= std::uint64_t(Byte(bytes, i))
                     << (8 * (field.bigEndian ? bytes.size() - 1 - i : i));
        const unsigned bits = unsigned(8 * bytes.size());
        if (field.type == FieldType::Signed && bits < 64 && (value >> (bits - 1)) != 0)
            value |= ~std::uint64_t(0) << bits;
        number = std::int64_t(value);
        return true;
    }
    case FieldType::Bcd: {
        std::string digits; // a nibble above 9 is no digit, and the number is none
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            digits += char('0' + (Byte(bytes, i) >> 4));
            digits += char('0' + (Byte(bytes, i) & 0xFu));
        }
        return ReadDigits(digits, 10, number);
    }
    case FieldType::Decimal:
        return ReadDigits(bytes, 10, number);
    case FieldType::HexDigits:
        return ReadDigits(bytes, 16, number);
    default:
        return false;
    }
}

FrameWalk::FrameWalk(const Description& description, std::string_view frame, FieldValues& values,
                     std::vector<FieldSpan>* spans)
    : m_description(description), m_frame(frame), m_values(values), m_spans(spans)
{
}

bool FrameWalk::Holds(const Condition& condition) const
{
    if (condition.field < 0)
        return true;
    const FieldSpec& field = m_description.fields[condition.field];
    if (!m_values.Has(field))
        return false;
    const std::int64_t value = m_values.Number(field);
    if (condition.ranges.empty())
        return value != 0;
    if (condition.ranges.size() == 1)
        return value >= condition.ranges[0].first && value <= condition.ranges[0].second;
    return std::ranges::any_of(condition.ranges, [value](const auto& range) {
        return value >= range.first && value <= range.second;
    });
}

std::int64_t FrameWalk::CountOf(const Count& count, std::size_t at, std::size_t limit) const
{
    switch (count.kind) {
    case Count::Kind::Fixed:
        return count.number;
    case Count::Kind::Rest:
        return at < limit ? std::int64_t(limit - at) : 0;
    case Count::Kind::Field:
        break;
    }
    const FieldSpec& field = m_description.fields[count.field];
    if (!m_values.Has(field))
        return -1;
    const std::int64_t n = m_values.Number(field) + count.number;
    return n < 0 || n > (std::int64_t(1) << 30) ? -1 : n;
}

FrameWalk::Result FrameWalk::ReadField(const FieldSpec& field, std::size_t& at, std::size_t limit,
                                       int depth)
{
    if (field.type == FieldType::Bits) {
        if (!m_spans || !m_values.Has(field))
            return Result::Ok;
        const std::size_t offset = m_values.Offset(field);
        m_spans->push_back({int(&field - m_description.fields.data()), offset,
                            m_values.End(field) - offset, depth + 1, m_values.Number(field)});
        return Result::Ok;
    }
    if (field.type == FieldType::Unsigned &&
        at + std::size_t(field.width) <= std::min(limit, m_frame.size())) {
        // The commonest fields, read without the general way's turns.
        std::uint64_t number = 0;
        for (int i = 0; i < field.width; ++i)
            number |= std::uint64_t(Byte(m_frame, at + std::size_t(i)))
                      << (8 * (field.bigEndian ? field.width - 1 - i : i));
        m_values.Set(field, std::int64_t(number), at, std::size_t(field.width));
        if (m_spans)
            m_spans->push_back({int(&field - m_description.fields.data()), at,
                                std::size_t(field.width), depth, std::int64_t(number)});
        at += std::size_t(field.width);
        return Result::Ok;
    }
    const std::int64_t size = field.type == FieldType::Unsigned || field.type == FieldType::Signed
                                  ? field.width
                                  : CountOf(field.count, at, limit);
    if (size < 0)
        return Result::Bad;
    if (at + std::size_t(size) > std::min(limit, m_frame.size()))
        return Result::Short;
    std::int64_t number = 0;
    if (ReadNumber(field, m_frame.substr(at, std::size_t(size)), number))
        m_values.Set(field, number, at, std::size_t(size));
    if (m_spans)
        m_spans->push_back(
            {int(&field - m_description.fields.data()), at, std::size_t(size), depth, number});
    at += std::size_t(size);
    return Result::Ok;
}

FrameWalk::Result FrameWalk::ReadGroup(const FieldSpec& group, const std::vector<Item>& items,
                                       std::size_t& at, std::size_t limit, int depth)
{
    const std::int64_t times = CountOf(group.count, at, limit);
    if (times < 0)
        return Result::Bad;
    const bool toEnd = group.count.kind == Count::Kind::Rest;
    const int groupIndex = int(&group - m_description.fields.data());
    std::int64_t done = 0;
    for (; toEnd ? at < limit : done < times; ++done) {
        const std::size_t from = at;
        const std::size_t span = m_spans ? m_spans->size() : 0;
        if (m_spans)
            m_spans->push_back({groupIndex, from, 0, depth, done + 1});
        const Result result = Walk(items, at, limit, depth + 1);
        if (m_spans)
            (*m_spans)[span].size = at - from;
        if (result != Result::Ok)
            return result;
        if (at == from) // a group that takes no byte would repeat for ever
            break;
    }
    m_values.Set(group, done, at, 0);
    return Result::Ok;
}

FrameWalk::Result FrameWalk::Walk(const std::vector<Item>& items, std::size_t& at,
                                  std::size_t limit, int depth)
{
    for (const Item& item : items) {
        Result result = Result::Ok;
        switch (item.kind) {
        case Item::Kind::Field:
            // Bits are read from their field when asked for; only the decoder lists them.
            if (!item.bits || m_spans)
                result = ReadField(m_description.fields[std::size_t(item.field)], at, limit, depth);
            break;
        case Item::Kind::Constant: {
            const std::size_t n =
                std::min(item.bytes.size(), m_frame.size() - std::min(at, m_frame.size()));
            if (m_frame.substr(at, n) != std::string_view(item.bytes).substr(0, n))
                return Result::Bad;
            if (n < item.bytes.size())
                return Result::Short;
            at += n;
            break;
        }
        case Item::Kind::Group:
            result = ReadGroup(m_description.fields[item.field], item.items, at, limit, depth);
            break;
        case Item::Kind::If:
            if (Holds(item.when))
                result = Walk(item.items, at, limit, depth);
            break;
        case Item::Kind::Check:
            if (at + m_checkSize > m_frame.size())
                return Result::Short;
            at += m_checkSize;
            break;
        }
        if (result != Result::Ok)
            return result;
    }
    return Result::Ok;
}
