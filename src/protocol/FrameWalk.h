#pragma once

#include "protocol/ProtocolDescription.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The fields' values while one frame is read, kept by each field's slot. Bits are not kept:
// they are read from the field they are bits of, when asked for.
class FieldValues
{
public:
    // Forgets every value, for a frame of description.
    void Clear(const Description& description);
    void Set(const FieldSpec& field, std::int64_t number, std::size_t offset, std::size_t size);
    bool Has(const FieldSpec& field) const { return m_present[Kept(field).slot] != 0; }
    std::int64_t Number(const FieldSpec& field) const
    {
        const std::int64_t number = m_number[Kept(field).slot];
        if (field.type != FieldType::Bits)
            return number;
        const std::uint64_t mask = (std::uint64_t(2) << (field.high - field.low)) - 1;
        return std::int64_t((std::uint64_t(number) >> field.low) & mask);
    }
    std::size_t Offset(const FieldSpec& field) const { return m_offset[Kept(field).slot]; }
    std::size_t End(const FieldSpec& field) const { return m_end[Kept(field).slot]; }

private:
    const FieldSpec& Kept(const FieldSpec& field) const
    {
        return field.type == FieldType::Bits ? (*m_fields)[std::size_t(field.parent)] : field;
    }

    const std::vector<FieldSpec>* m_fields = nullptr;
    std::vector<std::int64_t> m_number;
    std::vector<std::size_t> m_offset, m_end;
    std::vector<unsigned char> m_present;
};

// Where a field was found in a frame, for the decoder.
struct FieldSpan {
    int field;
    std::size_t offset, size;
    int depth;           // 1 for bits and for a group's fields, more when groups nest
    std::int64_t number; // the field's value, or a group item's number counting from 1
};

// Reads the items of a frame's layout or of a message's data from a frame's bytes, one after
// another, keeping each field's value for the items that follow.
class FrameWalk
{
public:
    enum class Result {
        Ok,
        Short, // the bytes (or the message's data) end before the items do
        Bad    // the bytes cannot be this layout: a constant differs, a count is impossible
    };

    // spans, when given, gets every field read.
    FrameWalk(const Description& description, std::string_view frame, FieldValues& values,
              std::vector<FieldSpan>* spans = nullptr);

    // The check value's size, for walking the items after the data.
    void SetCheckSize(std::size_t size) { m_checkSize = size; }
    // Reads items from at, which moves past them; "rest" runs up to limit.
    Result Walk(const std::vector<Item>& items, std::size_t& at, std::size_t limit, int depth = 0);
    bool Holds(const Condition& condition) const;

private:
    Result ReadField(const FieldSpec& field, std::size_t& at, std::size_t limit, int depth);
    Result ReadGroup(const FieldSpec& group, const std::vector<Item>& items, std::size_t& at,
                     std::size_t limit, int depth);
    // How many (bytes, or times for a group); -1 when the count cannot be had.
    std::int64_t CountOf(const Count& count, std::size_t at, std::size_t limit) const;

    const Description& m_description;
    std::string_view m_frame;
    FieldValues& m_values;
    std::vector<FieldSpan>* m_spans;
    std::size_t m_checkSize = 0;
};

// The number a field's bytes hold, when they hold one.
bool ReadNumber(const FieldSpec& field, std::string_view bytes, std::int64_t& number);
