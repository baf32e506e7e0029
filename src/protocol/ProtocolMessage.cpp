#include "protocol/ProtocolMessage.h"

const MessageField* Message::Field(std::string_view name) const
{
    for (const MessageField& field : fields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

std::string Message::Tooltip() const
{
    // Put together in one string: it is made for every frame read.
    std::string text;
    for (const MessageField& field : fields) {
        if (!text.empty())
            text += '\n';
        text.append(std::size_t(2 * field.depth), ' ');
        text += field.name;
        for (const std::string* part : {&field.value, &field.valueName}) {
            if (!part->empty())
                text.append(1, ' ').append(*part);
        }
    }
    for (const std::string& note : notes) {
        if (!text.empty())
            text += '\n';
        text += note;
    }
    return text;
}
