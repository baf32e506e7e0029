#include "protocol/ProtocolMessage.h"

const MessageField* Message::Field(std::string_view name) const
{
    for (const MessageField& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

std::vector<std::string> Message::TooltipLines() const
{
    std::vector<std::string> lines;
    for (const MessageField& field : fields) {
        std::string line(std::size_t(2 * field.depth), ' ');
        line += field.name;
        if (!field.value.empty())
            line += ' ' + field.value;
        if (!field.valueName.empty())
            line += ' ' + field.valueName;
        lines.push_back(std::move(line));
    }
    lines.insert(lines.end(), notes.begin(), notes.end());
    return lines;
}
