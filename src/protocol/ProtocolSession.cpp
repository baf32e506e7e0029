#include "protocol/ProtocolSession.h"

#include <algorithm>

namespace
{

const MessageField* FieldOf(const Message& message, int fieldDef)
{
    const auto found = std::ranges::find(message.fields, fieldDef, &MessageField::fieldDef);
    return found == message.fields.end() || !found->number ? nullptr : &*found;
}

bool Holds(const Condition& condition, const Message& message)
{
    if (condition.field < 0)
        return true;
    const MessageField* field = FieldOf(message, condition.field);
    if (!field)
        return false;
    const std::int64_t value = *field->number;
    if (condition.ranges.empty())
        return value != 0;
    return std::ranges::any_of(condition.ranges, [value](const auto& range) {
        return value >= range.first && value <= range.second;
    });
}

} // namespace

ProtocolSession::ProtocolSession(std::shared_ptr<const Description> description)
    : m_description(std::move(description))
{
}

std::int64_t ProtocolSession::Next(std::int64_t key) const
{
    const auto found = m_next.find(key);
    return found == m_next.end() ? m_description->sequence.first : found->second;
}

void ProtocolSession::Sent(std::int64_t key)
{
    const SequenceRule& rule = m_description->sequence;
    if (rule.field < 0 || !rule.onSend)
        return;
    const std::int64_t number = Next(key);
    m_next[key] = number < rule.low || number >= rule.high ? rule.low : number + 1;
}

void ProtocolSession::Observe(const Message& received)
{
    const Description& d = *m_description;
    const SequenceRule& rule = d.sequence;
    if (rule.field < 0 || received.direction == Direction::Command)
        return;
    const MessageField* per = rule.per >= 0 ? FieldOf(received, rule.per) : nullptr;
    const std::int64_t key = per ? *per->number : 0;
    for (const Restart& restart : d.restarts) {
        if (received.type == d.messages[std::size_t(restart.message)].name &&
            Holds(restart.when, received)) {
            m_next[key] = rule.first;
            return;
        }
    }
    const MessageField* number = FieldOf(received, rule.field);
    if (rule.onSend || !number || *number->number != Next(key))
        return;
    m_next[key] =
        *number->number < rule.low || *number->number >= rule.high ? rule.low : *number->number + 1;
}
