#include "protocol/DescriptionBuilder.h"

#include "checks/CheckCatalogue.h"

#include <algorithm>

namespace
{

// The statements that describe the frame, said before the first message.
constexpr std::string_view FrameOnly[] = {"title", "mark",     "start",    "escape",
                                          "gap",   "shortest", "longest",  "data",
                                          "check", "reply",    "sequence", "restart"};

} // namespace

DescriptionBuilder::DescriptionBuilder(std::string_view name)
{
    m_d.name = name;
}

bool DescriptionBuilder::Refuse(std::string why, int line)
{
    m_problem = std::move(why);
    m_problemLine = line ? line : m_line;
    return false;
}

bool DescriptionBuilder::Line(std::string_view line, int number)
{
    m_line = number;
    line = WithoutComment(line);
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty())
        return true;
    return Statement(line, words);
}

bool DescriptionBuilder::Statement(std::string_view line, Words words)
{
    const std::string_view first = words[0];
    if (words.size() >= 2 && words[1] == "=")
        return ValueNameLine(line, words);
    if (first == "field")
        return Field(words);
    if (first == "bits" || first == "bit")
        return Bits(words);
    if (first == "group")
        return Group(words);
    if (first == "if")
        return If(words);
    if (first == "end" && words.size() == 2 && (words[1] == "if" || words[1] == "group"))
        return Close(words);
    if (first == "summary") {
        m_summaries.push_back({m_line, std::string(AfterWords(line, 1)), m_message});
        return true;
    }
    if (first == "message")
        return Message(words);
    const bool frameOnly =
        std::ranges::find(FrameOnly, first) != std::end(FrameOnly) || first == "end";
    if (frameOnly && m_message >= 0)
        return Refuse(Quoted(first) + " describes the frame: say it before the first message");
    if (frameOnly && !m_open.empty() && first != "end")
        return Refuse(Quoted(first) + " cannot stand inside \"if\"");
    if (frameOnly)
        return FrameStatement(line, words);
    return Refuse(Quoted(first) + " is not a statement");
}

bool DescriptionBuilder::FrameStatement(std::string_view line, Words words)
{
    const std::string_view first = words[0];
    if (first == "title") {
        m_d.title = AfterWords(line, 1);
        return true;
    }
    if (first == "mark")
        return Mark(words);
    if (first == "start" || first == "end")
        return Bytes(words, first == "start");
    if (first == "escape")
        return Escape(words);
    if (first == "gap")
        return Number(words, m_d.gapMs, 1, 60000);
    if (first == "shortest")
        return Number(words, m_d.shortest, 1, 1 << 20);
    if (first == "longest")
        return Number(words, m_d.longest, 1, 1 << 20);
    if (first == "data")
        return Data(words);
    if (first == "check")
        return Check(words);
    if (first == "reply") {
        if (words.size() < 3 || words[1] != "if")
            return Refuse("say which frames are replies as \"reply if FIELD = VALUE\"");
        return ReadCondition(words.subspan(2), m_d.reply, -1);
    }
    if (first == "sequence")
        return Sequence(words);
    if (words.size() < 3 || words[1] != "on")
        return Refuse("say it as \"restart on MESSAGE [if FIELD = VALUE]\"");
    m_restarts.push_back({m_line, std::string(AfterWords(line, 2)), -1});
    return true;
}

bool DescriptionBuilder::Mark(Words words)
{
    std::string byte;
    const bool sent = words.size() == 3 && words[2] == "sent";
    if (words.size() != 2 && !sent)
        return Refuse("say it as \"mark FF\" or \"mark FF sent\"");
    if (!ReadBytes(words.subspan(1, 1), byte, m_problem))
        return Refuse(m_problem);
    m_markLine = m_line;
    m_d.mark = static_cast<unsigned char>(byte[0]);
    m_d.markSent = sent;
    return true;
}

bool DescriptionBuilder::Bytes(Words words, bool start)
{
    Item item;
    item.kind = Item::Kind::Constant;
    item.line = m_line;
    if (!ReadBytes(words.subspan(1), item.bytes, m_problem))
        return Refuse(m_problem);
    if (start == (m_dataLine != 0))
        return Refuse(start ? "the start bytes come before \"data\""
                            : "the end bytes come after \"data\"");
    const bool hasEnd = std::ranges::any_of(
        m_d.trailer, [](const Item& i) { return i.kind == Item::Kind::Constant; });
    if (!start && hasEnd)
        return Refuse("a frame has one end");
    Items().push_back(std::move(item));
    return true;
}

bool DescriptionBuilder::Escape(Words words)
{
    std::string bytes;
    if (words.size() < 4 || words[2] != "xor" || (words.size() > 4 && words[4] != "for") ||
        words.size() == 5)
        return Refuse("say it as \"escape 7D xor 20\" or \"escape 7D xor 20 for 7E 7D\"");
    if (!ReadBytes(words.subspan(1, 1), bytes, m_problem) ||
        !ReadBytes(words.subspan(3, 1), bytes, m_problem))
        return Refuse(m_problem);
    m_escapeLine = m_line;
    m_d.escape = static_cast<unsigned char>(bytes[0]);
    m_d.escapeXor = static_cast<unsigned char>(bytes[1]);
    if (words.size() > 5 && !ReadBytes(words.subspan(5), m_d.escaped, m_problem))
        return Refuse(m_problem);
    return true;
}

bool DescriptionBuilder::Number(Words words, int& into, int low, int high)
{
    const std::optional<std::int64_t> n = words.size() == 2 ? ReadCount(words[1]) : std::nullopt;
    if (!n || *n < low || *n > high)
        return Refuse(Quoted(words[0]) + " wants one number from " + std::to_string(low) + " to " +
                      std::to_string(high));
    into = int(*n);
    return true;
}

bool DescriptionBuilder::Data(Words words)
{
    if (m_dataLine)
        return Refuse("\"data\" is said once");
    m_dataLine = m_line;
    if (words.size() == 1)
        return true;
    if (words.size() < 4 || words[1] != "encrypted" || words[2] != "if")
        return Refuse("say it as \"data\" or \"data encrypted if FIELD = VALUE\"");
    return ReadCondition(words.subspan(3), m_d.encrypted, -1);
}

bool DescriptionBuilder::Check(Words words)
{
    if (m_checkLine)
        return Refuse("a frame has one check value");
    if (!m_dataLine)
        return Refuse("the check value comes after \"data\"");
    m_checkLine = m_line;
    const auto from = std::ranges::find(words, std::string_view("from"));
    if (from != words.end()) {
        if (from + 2 != words.end())
            return Refuse("say where it starts as \"from FIELD\" or \"from 1\"");
        if (const std::optional<std::int64_t> offset = ReadCount(from[1]))
            m_d.check.fromOffset = int(std::min<std::int64_t>(*offset, 1 << 20));
        else if ((m_d.check.fromField = FieldNamed(from[1], false)) < 0)
            return false;
    }
    const Words choice = words.subspan(1, std::size_t(from - words.begin()) - 1);
    const auto named = [this](std::string_view name, const CheckEntry*& entry) {
        entry = FindCheck(name);
        return entry || Refuse(Quoted(name) + " is not a check value of the catalogue");
    };
    if (choice.empty() || !named(choice[0], m_d.check.chosen))
        return choice.empty() ? Refuse("name the check value, such as crc16-osdp") : false;
    if (choice.size() == 1) {
        m_d.trailer.push_back({Item::Kind::Check, -1, {}, {}, {}, m_line, false});
        return true;
    }
    const auto otherwise = std::ranges::find(choice, std::string_view("else"));
    if (choice[1] != "if" || otherwise == choice.end() || otherwise + 2 != choice.end())
        return Refuse("say a choice as \"check crc16-osdp if CRC = 1 else lrc\"");
    if (!ReadCondition(choice.subspan(2, std::size_t(otherwise - choice.begin()) - 2),
                       m_d.check.when, -1) ||
        !named(otherwise[1], m_d.check.otherwise))
        return false;
    m_d.trailer.push_back({Item::Kind::Check, -1, {}, {}, {}, m_line, false});
    return true;
}

bool DescriptionBuilder::Sequence(Words words)
{
    // sequence FIELD first V then A to B [per FIELD] [on send]
    SequenceRule& rule = m_d.sequence;
    const bool onSend = words.size() >= 2 && words.back() == "send" && words.end()[-2] == "on";
    if (onSend)
        words = words.first(words.size() - 2);
    const bool per = words.size() == 10 && words[8] == "per";
    if ((words.size() != 8 && !per) || words[2] != "first" || words[4] != "then" ||
        words[6] != "to")
        return Refuse("say it as \"sequence SQN first 0 then 1 to 3 per PD\"");
    if ((rule.field = FieldNamed(words[1], true)) < 0 ||
        (per && (rule.per = FieldNamed(words[9], true)) < 0))
        return false;
    const bool hex = m_d.fields[rule.field].hex;
    const std::optional<std::int64_t> first = ReadValue(words[3], hex);
    const std::optional<std::int64_t> low = ReadValue(words[5], hex);
    const std::optional<std::int64_t> high = ReadValue(words[7], hex);
    if (!first || !low || !high || *high < *low)
        return Refuse("the sequence's numbers are not values of " + m_d.fields[rule.field].name);
    rule.first = *first;
    rule.low = *low;
    rule.high = *high;
    rule.onSend = onSend;
    return true;
}

bool DescriptionBuilder::Message(Words words)
{
    // message NAME [command|reply] [CODES] [idle]
    if (!m_open.empty())
        return Refuse(Quoted(m_open.back().item->kind == Item::Kind::If ? "if" : "group") +
                          " is not closed by \"end\"",
                      m_open.back().line);
    if (words.size() < 2 || !IsName(words[1]))
        return Refuse("a message wants a name, such as osdp_POLL");
    if (m_d.FindMessage(words[1]) >= 0)
        return Refuse(Quoted(words[1]) + " is already a message");
    MessageSpec message;
    message.name = words[1];
    message.line = m_line;
    Words rest = words.subspan(2);
    if (!rest.empty() && (rest[0] == "command" || rest[0] == "reply")) {
        message.direction = rest[0] == "command" ? Direction::Command : Direction::Reply;
        rest = rest.subspan(1);
    }
    if (!rest.empty() && rest.back() == "idle") {
        message.idle = true;
        rest = rest.first(rest.size() - 1);
    }
    if (!rest.empty()) {
        if (m_d.codeField < 0)
            return Refuse("no field is the message's code: mark one \"code\"");
        std::string codes;
        for (const std::string_view word : rest)
            codes += std::string(word) + ' ';
        if (!ReadRanges(codes, m_d.fields[m_d.codeField].hex, message.codes, m_problem))
            return Refuse(m_problem);
    }
    m_d.messages.push_back(std::move(message));
    m_message = int(m_d.messages.size()) - 1;
    m_lastField = m_lastNamed = -1;
    return true;
}
