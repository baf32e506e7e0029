#include "protocol/DescriptionReader.h"

#include "protocol/DescriptionBuilder.h"

#include <memory>

std::string DescriptionReading::Describe(std::string_view source) const
{
    return std::string(source) + " line " + std::to_string(line) + ": " + problem;
}

DescriptionReading ReadDescription(std::string_view text, std::string_view name)
{
    DescriptionBuilder builder(name);
    DescriptionReading reading;
    if (text.starts_with("\xEF\xBB\xBF")) // a byte order mark, as some editors write
        text.remove_prefix(3);
    int number = 0;
    bool ok = true;
    while (ok && !text.empty()) {
        const std::size_t end = text.find('\n');
        ok = builder.Line(text.substr(0, end), ++number);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (ok && !builder.Finish(std::max(number, 1))) // a text that ends in "\n" has no line after
        ok = false;
    if (!ok) {
        reading.line = builder.problemLine();
        reading.problem = builder.problem();
        return reading;
    }
    reading.description = std::make_shared<const Description>(std::move(builder.description()));
    return reading;
}
