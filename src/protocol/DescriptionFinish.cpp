#include "protocol/DescriptionBuilder.h"

#include <algorithm>

bool DescriptionBuilder::Finish(int lines)
{
    if (!m_open.empty())
        return Refuse(Quoted(m_open.back().item->kind == Item::Kind::If ? "if" : "group") +
                          " is not closed by \"end\"",
                      m_open.back().line);
    if (!FinishLayout(lines) || !FinishSummaries() || !FinishRestarts())
        return false;
    for (MessageSpec& message : m_d.messages)
        MeasureMessage(message);
    AssignSlots();
    return true;
}

bool DescriptionBuilder::FinishLayout(int lines)
{
    if (!m_dataLine)
        return Refuse("no \"data\" says where a message's data goes", lines);
    if (m_d.mark >= 0 && m_d.start().empty())
        return Refuse("a mark goes before start bytes, and there are none", m_markLine);
    if (m_d.escape >= 0 && m_d.start().empty())
        return Refuse("byte stuffing needs start bytes, and there are none", m_escapeLine);
    if (m_d.escape >= 0 && m_d.escaped.empty()) {
        // By default the bytes stuffed are those that frame a frame, and the escape itself.
        m_d.escaped = char(m_d.escape);
        for (const std::string& framing : {m_d.start(), std::string(m_d.mark >= 0, char(m_d.mark))})
            m_d.escaped += framing;
        for (const Item& item : m_d.trailer) {
            if (item.kind == Item::Kind::Constant)
                m_d.escaped += item.bytes;
        }
    }
    const bool end = std::ranges::any_of(
        m_d.trailer, [](const Item& item) { return item.kind == Item::Kind::Constant; });
    if (m_d.lengthField < 0 && !end && !m_checkLine)
        return Refuse("nothing tells where a frame ends: give a length field (\"counts\"), end "
                      "bytes or a check value",
                      m_dataLine);
    if (m_d.longest < m_d.shortest)
        return Refuse("the longest frame is shorter than the shortest", lines);
    const SequenceRule& sequence = m_d.sequence;
    if (sequence.per >= 0 && sequence.per > sequence.field)
        return Refuse("the sequence is counted per a field that comes before it",
                      m_d.fields[std::size_t(sequence.field)].line);
    return true;
}

bool DescriptionBuilder::ReadSummary(const std::string& text, int message,
                                     std::vector<MessageSpec::SummaryPart>& parts)
{
    std::string literal;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t close = text[at] == '{' ? text.find('}', at) : std::string::npos;
        std::string_view name =
            close == std::string::npos ? "" : std::string_view(text).substr(at + 1, close - at - 1);
        const bool number = name.ends_with('#');
        if (number)
            name.remove_suffix(1);
        if (!IsName(name)) {
            literal += text[at++];
            continue;
        }
        m_message = message;
        const int field = FieldNamed(name, false);
        if (field < 0)
            return false;
        if (!literal.empty())
            parts.push_back({std::move(literal), -1, false});
        literal.clear();
        parts.push_back({{}, field, number});
        at = close + 1;
    }
    if (!literal.empty())
        parts.push_back({std::move(literal), -1, false});
    return true;
}

bool DescriptionBuilder::FinishSummaries()
{
    std::vector<bool> said(m_d.messages.size() + 1, false);
    for (const Later& summary : m_summaries) {
        m_line = summary.line;
        if (said[std::size_t(summary.message + 1)])
            return Refuse("a summary is said once for the frame and once for each message");
        said[std::size_t(summary.message + 1)] = true;
        auto& parts =
            summary.message < 0 ? m_d.summary : m_d.messages[std::size_t(summary.message)].summary;
        if (!ReadSummary(summary.text, summary.message, parts))
            return false;
    }
    return true;
}

bool DescriptionBuilder::FinishRestarts()
{
    for (const Later& restart : m_restarts) {
        m_line = restart.line;
        const std::vector<std::string_view> words = SplitWords(restart.text);
        Restart rule;
        rule.message = words.empty() ? -1 : m_d.FindMessage(words[0]);
        if (rule.message < 0)
            return Refuse(Quoted(words.empty() ? "" : words[0]) + " is not a message");
        if (words.size() > 1 && words[1] != "if")
            return Refuse("say it as \"restart on MESSAGE [if FIELD = VALUE]\"");
        if (words.size() > 1 && !ReadCondition(Words(words).subspan(2), rule.when, rule.message))
            return false;
        m_d.restarts.push_back(std::move(rule));
    }
    return true;
}

void DescriptionBuilder::MeasureMessage(MessageSpec& message) const
{
    int size = 0;
    for (const Item& item : message.items) {
        if (item.kind != Item::Kind::Field) {
            size = -1;
            break;
        }
        const FieldSpec& field = m_d.fields[std::size_t(item.field)];
        if (field.length != LengthRule::None && message.lengthField < 0) {
            message.lengthField = item.field;
            message.lengthAt = size;
        }
        if (field.fixedSize() < 0) {
            size = -1;
            break;
        }
        size += field.fixedSize();
    }
    message.fixedSize = size;
}

void DescriptionBuilder::AssignSlots()
{
    int frame = 0;
    for (const FieldSpec& field : m_d.fields)
        frame += field.message < 0;
    std::vector<int> next(m_d.messages.size(), frame);
    int own = 0;
    for (FieldSpec& field : m_d.fields) {
        field.slot = field.message < 0 ? own++ : next[std::size_t(field.message)]++;
        m_d.slotCount = std::max(m_d.slotCount, field.slot + 1);
    }
}
