#include "terminal/ReadPiece.h"

QStringList ReadPiece::tooltipLines() const
{
    if (!isFrame())
        return {summary()};
    QStringList lines;
    for (const std::string& line : message.TooltipLines())
        lines << QString::fromStdString(line);
    if (gapMs >= 0)
        lines << QStringLiteral("%1 ms after the previous frame").arg(gapMs);
    return lines;
}
