#include "find/LineKinds.h"

#include "console/LogLine.h"

namespace
{

const QString kNotAFrameOf = QStringLiteral("not a frame of ");

} // namespace

std::span<const LineKind> LineKinds()
{
    using Kind = LogLine::Kind;
    static const LineKind kinds[] = {
        {QStringLiteral("every line"), [](const LogLine&) { return true; }},
        {QStringLiteral("replies"), [](const LogLine& line) { return line.kind() == Kind::Input; }},
        {QStringLiteral("commands"),
         [](const LogLine& line) { return line.kind() == Kind::Output; }},
        {QStringLiteral("status lines"),
         [](const LogLine& line) { return line.kind() == Kind::Status; }},
        {QStringLiteral("failed check values"),
         [](const LogLine& line) { return line.checkFailed(); }},
        // Bytes that the protocol read by cuts into no frame say so in their tooltip; a frame's
        // line has its summary beside it, and its tooltip is not made to be looked at.
        {QStringLiteral("not a frame"),
         [](const LogLine& line) {
             return line.kind() == Kind::Input && line.aside().isEmpty() &&
                    line.details().startsWith(kNotAFrameOf);
         }},
    };
    return kinds;
}
