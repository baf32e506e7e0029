#include "terminal/ReadPiece.h"

#include "protocol/MessageDecoder.h"

QString ReadPiece::tooltip() const
{
    if (!isFrame())
        return summary();
    std::string text = message.Tooltip();
    if (gapMs >= 0)
        text.append(text.empty() ? "" : "\n")
            .append(std::to_string(gapMs))
            .append(" ms after the previous frame");
    return QString::fromStdString(text);
}

std::function<QString()> ReadPiece::tooltipLater() const
{
    if (!isFrame() || !protocol)
        return [text = tooltip()] { return text; };
    return [protocol = protocol, bytes = bytes, direction = direction, gapMs = gapMs] {
        ReadPiece again;
        again.kind = Kind::Frame;
        again.message = MessageDecoder(protocol).Decode(
            std::string_view(bytes.constData(), std::size_t(bytes.size())), direction);
        again.gapMs = gapMs;
        return again.tooltip();
    };
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
