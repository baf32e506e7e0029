#include "protocol/FrameTrailer.h"

#include "checks/CheckValue.h"

#include <algorithm>
#include <cctype>

namespace
{

// Adds the items that are there to the shape, the ifs that hold opened.
void Add(const Description& description, const std::vector<Item>& items, const FrameWalk& walk,
         TrailerShape& shape, bool& checked)
{
    for (const Item& item : items) {
        switch (item.kind) {
        case Item::Kind::If:
            if (walk.Holds(item.when))
                Add(description, item.items, walk, shape, checked);
            break;
        case Item::Kind::Check:
            shape.check = walk.Holds(description.check.when) ? description.check.chosen
                                                             : description.check.otherwise;
            shape.checkAt = shape.size;
            checked = true;
            shape.checkSize = shape.check ? CheckValueSize(*shape.check) : 0;
            shape.size += shape.checkSize;
            break;
        case Item::Kind::Constant:
            if (shape.end.empty()) {
                shape.end = item.bytes;
                shape.endAt = shape.size;
            }
            shape.size += item.bytes.size();
            break;
        default: // fields of a fixed size: the reader allows no other
            shape.size += std::size_t(description.fields[std::size_t(item.field)].fixedSize());
            break;
        }
    }
}

} // namespace

TrailerShape ShapeTrailer(const Description& description, const FrameWalk& walk)
{
    TrailerShape shape;
    bool checked = false;
    Add(description, description.trailer, walk, shape, checked);
    if (!checked) // a length that counts "up to the check value" then counts to the end
        shape.checkAt = shape.size;
    return shape;
}

std::int64_t SizeByLength(const FieldSpec& length, const FieldValues& values,
                          const TrailerShape& trailer)
{
    if (!values.Has(length))
        return -1;
    const std::int64_t counted = values.Number(length) + length.lengthAdjust;
    const auto after = std::int64_t(values.End(length));
    switch (length.length) {
    case LengthRule::Frame:
        return counted;
    case LengthRule::After:
        return after + counted;
    case LengthRule::Check:
        return after + counted + std::int64_t(trailer.size - trailer.checkAt);
    case LengthRule::None:
        break;
    }
    return -1;
}

std::size_t CheckStart(const Description& description, const FieldValues& values)
{
    if (description.check.fromField < 0)
        return std::size_t(description.check.fromOffset);
    const FieldSpec& field = description.fields[std::size_t(description.check.fromField)];
    return values.Has(field) ? values.Offset(field) : std::string_view::npos;
}

std::string_view CheckedBytes(const Description& description, std::string_view frame,
                              std::size_t size, const TrailerShape& trailer,
                              const FieldValues& values)
{
    const std::size_t checkAt = size - trailer.size + trailer.checkAt;
    const std::size_t from = std::min(CheckStart(description, values), checkAt);
    return frame.substr(from, checkAt - from);
}

bool CheckFits(const Description& description, std::string_view frame, std::size_t size,
               const TrailerShape& trailer, const FieldValues& values)
{
    if (!trailer.check)
        return true;
    const std::size_t checkAt = size - trailer.size + trailer.checkAt;
    return IsCheckValueOf(
        *trailer.check, frame.substr(checkAt, trailer.checkSize),
        CheckNumber(trailer.check->kind, CheckedBytes(description, frame, size, trailer, values)));
}
