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
