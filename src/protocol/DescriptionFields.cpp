#include "protocol/DescriptionBuilder.h"

#include <algorithm>

namespace
{

bool HoldsNumber(const FieldSpec& field)
{
    return field.numeric() && field.type != FieldType::Bits && field.type != FieldType::Group;
}

} // namespace

std::vector<Item>& DescriptionBuilder::Items()
{
    if (!m_open.empty())
        return m_open.back().item->items;
    if (m_message >= 0)
        return m_d.messages[std::size_t(m_message)].items;
    return m_dataLine ? m_d.trailer : m_d.header;
}

int DescriptionBuilder::AddField(FieldSpec fieldDef)
{
    fieldDef.message = m_message;
    fieldDef.line = m_line;
    m_d.fields.push_back(std::move(fieldDef));
    return int(m_d.fields.size()) - 1;
}

int DescriptionBuilder::FieldNamed(std::string_view name, bool numeric)
{
    const MessageSpec* message = m_message >= 0 ? &m_d.messages[std::size_t(m_message)] : nullptr;
    const int field = m_d.FindField(name, message);
    if (field < 0)
        return Refuse(Quoted(name) + " is not a field"), -1;
    if (numeric && !m_d.fields[std::size_t(field)].numeric())
        return Refuse(Quoted(name) + " holds no number"), -1;
    return field;
}

bool DescriptionBuilder::ReadCountWord(std::string_view word, Count& count)
{
    if (word == "rest") {
        count.kind = Count::Kind::Rest;
        return m_message >= 0 || Refuse("\"rest\" belongs to a message's data");
    }
    if (const std::optional<std::int64_t> n = ReadCount(word)) {
        count.number = std::min<std::int64_t>(*n, 1 << 20);
        return true;
    }
    const std::size_t sign = word.find_first_of("+-");
    count.kind = Count::Kind::Field;
    if ((count.field = FieldNamed(word.substr(0, sign), true)) < 0)
        return false;
    if (sign == std::string_view::npos)
        return true;
    const std::optional<std::int64_t> adjust = ReadCount(word.substr(sign + 1));
    if (!adjust)
        return Refuse(Quoted(word) + " is not a count: say a number, FIELD, FIELD-2 or rest");
    count.number = word[sign] == '-' ? -*adjust : *adjust;
    return true;
}

bool DescriptionBuilder::ReadCondition(Words words, Condition& condition, int message)
{
    const int own = m_message;
    m_message = message;
    condition.field = words.empty() ? -1 : FieldNamed(words[0], true);
    m_message = own;
    if (words.empty())
        return Refuse("a condition names a field, as \"SCB\" or \"TYPE = 15-18\"");
    if (condition.field < 0)
        return false;
    if (words.size() == 1)
        return true;
    std::string values;
    for (const std::string_view word : words.subspan(2))
        values += std::string(word) + ' ';
    if (words[1] != "=" || words.size() < 3)
        return Refuse("say a condition as \"FIELD\" or \"FIELD = 1, 4-6\"");
    const bool hex = m_d.fields[std::size_t(condition.field)].hex;
    return ReadRanges(values, hex, condition.ranges, m_problem) || Refuse(m_problem);
}

bool DescriptionBuilder::FieldOptions(FieldSpec& fieldDef, Words words)
{
    fieldDef.hex = std::ranges::find(words, std::string_view("hex")) != words.end();
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        const bool more = i + 1 < words.size();
        if (word == "hex") {
            if (!fieldDef.numeric())
                return Refuse("\"hex\" is for fields that hold a number");
        } else if (word == "code") {
            if (m_message >= 0 || m_dataLine || m_d.codeField >= 0 || !HoldsNumber(fieldDef))
                return Refuse("the code is one number field of the frame, before \"data\"");
            m_d.codeField = int(m_d.fields.size());
        } else if (word == "counts" && more) {
            const std::string_view what = words[++i];
            fieldDef.length = what == "frame"   ? LengthRule::Frame
                              : what == "after" ? LengthRule::After
                              : what == "check" ? LengthRule::Check
                                                : LengthRule::None;
            if (fieldDef.length == LengthRule::None)
                return Refuse("a length counts \"frame\", \"after\" or \"check\"");
            if (i + 1 < words.size() && (words[i + 1][0] == '+' || words[i + 1][0] == '-')) {
                const std::optional<std::int64_t> n = ReadCount(words[++i].substr(1));
                if (!n)
                    return Refuse(Quoted(words[i]) + " is not an adjustment, such as +2 or -1");
                fieldDef.lengthAdjust = words[i][0] == '-' ? -*n : *n;
            }
            if (fieldDef.type != FieldType::Unsigned || !m_open.empty() ||
                (m_message < 0 && (m_dataLine || m_d.lengthField >= 0)))
                return Refuse("a length is one unsigned field, outside \"if\" and \"group\", "
                              "before \"data\" for the frame's");
            if (m_message < 0)
                m_d.lengthField = int(m_d.fields.size());
        } else if (word == "fill" && more) {
            const std::optional<std::int64_t> fill = ReadValue(words[++i], fieldDef.hex);
            if (!fill || m_message >= 0 || !fieldDef.numeric())
                return Refuse("\"fill\" wants a value, for a number field of the frame");
            fieldDef.filled = true;
            fieldDef.fill = *fill;
        } else if (word == "names" && i + 2 < words.size() && words[i + 1] == "as") {
            if ((fieldDef.namesOf = FieldNamed(words[i + 2], true)) < 0)
                return false;
            i += 2;
        } else if (word == "of" && more && fieldDef.type == FieldType::Bits) {
            if ((fieldDef.parent = FieldNamed(words[++i], true)) < 0)
                return false;
        } else {
            return Refuse(Quoted(word) + " is not an option here: the options are hex, code, "
                                         "counts, fill, names as and, for bits, of");
        }
    }
    return true;
}

bool DescriptionBuilder::Field(Words words)
{
    // field NAME TYPE [COUNT] [options]
    FieldSpec fieldDef;
    if (words.size() < 3)
        return Refuse("say a field as \"field NAME TYPE\", such as \"field ADDR u8\"");
    if (!IsName(words[1]))
        return Refuse(Quoted(words[1]) + " is not a name: a letter, then letters, digits or _");
    if (m_d.FindField(words[1], m_message >= 0 ? &m_d.messages[std::size_t(m_message)] : nullptr) >=
        0)
        return Refuse(Quoted(words[1]) + " is already a field");
    fieldDef.name = words[1];
    TypeWord type;
    if (!ReadType(words[2], type, m_problem))
        return Refuse(m_problem);
    fieldDef.type = type.type;
    fieldDef.width = type.width;
    fieldDef.bigEndian = type.bigEndian;
    std::size_t options = 3;
    if (type.counted) {
        if (words.size() < 4)
            return Refuse(Quoted(words[2]) + " wants a count: a number, a FIELD or rest");
        if (!ReadCountWord(words[3], fieldDef.count))
            return false;
        options = 4;
    }
    if (!FieldOptions(fieldDef, words.subspan(options)))
        return false;
    if (m_dataLine && m_message < 0 && fieldDef.fixedSize() < 0)
        return Refuse("a field after \"data\" has a size of its own, as \"bytes 4\"");
    const int field = AddField(std::move(fieldDef));
    Items().push_back({Item::Kind::Field, field, {}, {}, {}, m_line, false});
    m_lastField = m_lastNamed = field;
    return true;
}

bool DescriptionBuilder::Bits(Words words)
{
    // bits A-B NAME [options] or bit A NAME [options]
    FieldSpec fieldDef;
    fieldDef.type = FieldType::Bits;
    fieldDef.parent = m_lastField;
    Ranges range;
    if (words.size() < 3 || !ReadRanges(words[1], false, range, m_problem) || range.size() != 1 ||
        (words[0] == "bit" && range[0].first != range[0].second))
        return Refuse("say bits as \"bits 0-1 SQN\" or \"bit 7 REPLY\"");
    if (!IsName(words[2]))
        return Refuse(Quoted(words[2]) + " is not a name: a letter, then letters, digits or _");
    if (m_d.FindField(words[2], m_message >= 0 ? &m_d.messages[std::size_t(m_message)] : nullptr) >=
        0)
        return Refuse(Quoted(words[2]) + " is already a field");
    fieldDef.name = words[2];
    fieldDef.low = int(std::clamp<std::int64_t>(range[0].first, 0, 64));
    fieldDef.high = int(std::clamp<std::int64_t>(range[0].second, 0, 64));
    if (!FieldOptions(fieldDef, words.subspan(3)))
        return false;
    if (fieldDef.parent < 0 || !HoldsNumber(m_d.fields[std::size_t(fieldDef.parent)]))
        return Refuse("bits follow the number field they are part of, or name it with \"of\"");
    const FieldSpec& parent = m_d.fields[std::size_t(fieldDef.parent)];
    const int bits = parent.type == FieldType::Unsigned || parent.type == FieldType::Signed
                         ? 8 * parent.width
                         : 48;
    if (range[0].first < 0 || range[0].second >= bits)
        return Refuse("bit " + std::to_string(range[0].second) + " is not a bit of " + parent.name);
    const int field = AddField(std::move(fieldDef));
    Items().push_back({Item::Kind::Field, field, {}, {}, {}, m_line, true});
    m_lastNamed = field;
    return true;
}

bool DescriptionBuilder::ValueNameLine(std::string_view line, Words words)
{
    // V = NAME, for the field or bits just said
    if (m_lastNamed < 0 || !m_d.fields[std::size_t(m_lastNamed)].numeric())
        return Refuse("a value's name follows the number field or bits it names");
    FieldSpec& field = m_d.fields[std::size_t(m_lastNamed)];
    const std::optional<std::int64_t> value = ReadValue(words[0], field.hex);
    const std::string_view name = AfterWords(line, 2);
    if (!value)
        return Refuse(Quoted(words[0]) + " is not a value of " + field.name + " (" +
                      (field.hex ? "in hex)" : "in decimal)"));
    if (name.empty())
        return Refuse("the name after \"=\" is missing");
    field.names.push_back({*value, std::string(name)});
    return true;
}

bool DescriptionBuilder::Group(Words words)
{
    // group NAME COUNT
    FieldSpec fieldDef;
    fieldDef.type = FieldType::Group;
    if (m_message < 0)
        return Refuse("a group belongs to a message's data");
    if (words.size() != 3 || !IsName(words[1]))
        return Refuse("say a group as \"group NAME COUNT\", COUNT a number, a FIELD or rest");
    if (m_d.FindField(words[1], &m_d.messages[std::size_t(m_message)]) >= 0)
        return Refuse(Quoted(words[1]) + " is already a field");
    fieldDef.name = words[1];
    if (!ReadCountWord(words[2], fieldDef.count))
        return false;
    const int field = AddField(std::move(fieldDef));
    Items().push_back({Item::Kind::Group, field, {}, {}, {}, m_line, false});
    m_open.push_back({&Items().back(), m_line});
    m_lastField = m_lastNamed = -1;
    return true;
}

bool DescriptionBuilder::If(Words words)
{
    Item item;
    item.kind = Item::Kind::If;
    item.line = m_line;
    if (!ReadCondition(words.subspan(1), item.when, m_message))
        return false;
    Items().push_back(std::move(item));
    m_open.push_back({&Items().back(), m_line});
    return true;
}

bool DescriptionBuilder::Close(Words words)
{
    const Item::Kind kind = words[1] == "if" ? Item::Kind::If : Item::Kind::Group;
    if (m_open.empty() || m_open.back().item->kind != kind)
        return Refuse(Quoted("end " + std::string(words[1])) + " ends nothing open");
    m_open.pop_back();
    m_lastField = m_lastNamed = -1;
    return true;
}
