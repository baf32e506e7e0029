#include "terminal/ReadPiece.h"

QString ReadPiece::tooltip() const
{
    if (!isFrame())
        return summary();
    // Put together first and made a QString once: it is built for every frame read.
    std::string text;
    for (const std::string& line : message.TooltipLines()) {
        text += line;
        text += '\n';
    }
    if (gapMs >= 0)
        text += std::to_string(gapMs) + " ms after the previous frame";
    else if (!text.empty())
        text.pop_back();
    return QString::fromStdString(text);
}

QStringList ReadPiece::tooltipLines() const
{
    return tooltip().split(QLatin1Char('\n'));
}

QString ReadPiece::tabbedSummary() const
{
    QString text = QLatin1Char('\t') + summary();
    if (failed())
        text += QStringLiteral("  ") + QString::fromLatin1(message.check.Describe());
    return text;
}

ReplyCheck PieceCheck(const ReadPiece& piece)
{
    ReplyCheck check;
    if (piece.isFrame() && piece.message.check.outcome != CheckVerdict::Outcome::NotChecked) {
        check.verdict = QString::fromLatin1(piece.message.check.Describe());
        check.failed = piece.failed();
    }
    return check;
}
