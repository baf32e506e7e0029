#include "terminal/SessionDecoder.h"

#include "terminal/TrafficLines.h"

namespace
{

std::size_t Index(SessionStream stream)
{
    return std::size_t(stream);
}

} // namespace

QString DecodedPiece::Line(bool hex) const
{
    const QString& marker = stream == SessionStream::Output ? kOutputMarker : kInputMarker;
    const QByteArrayView bytes(piece.bytes.data(), qsizetype(piece.bytes.size()));
    QString line = hex ? marker + QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper())
                       : InputLine(bytes, marker);
    if (piece.kind != CutPiece::Kind::NotAFrame)
        line += QLatin1Char('\t') + QString::fromUtf8(summary.data(), qsizetype(summary.size()));
    return line;
}

SessionDecoder::SessionDecoder(std::shared_ptr<const Description> description)
    : m_directions{Direction::Command, Direction::Unknown, Direction::Unknown},
      m_decoder(description)
{
    for (std::size_t at = 0; at < m_cutters.size(); ++at)
        m_cutters[at].emplace(description, m_directions[at]);
}

void SessionDecoder::Feed(SessionStream stream, std::string_view bytes, std::int64_t nowMs,
                          std::vector<DecodedPiece>& out)
{
    m_cutters[Index(stream)]->Feed(bytes, nowMs, m_pieces);
    Hand(stream, m_pieces, out);
}

void SessionDecoder::Flush(std::vector<DecodedPiece>& out)
{
    for (SessionStream stream :
         {SessionStream::Output, SessionStream::Input, SessionStream::Trace}) {
        m_cutters[Index(stream)]->Flush(m_pieces);
        Hand(stream, m_pieces, out);
    }
}

void SessionDecoder::Hand(SessionStream stream, std::vector<CutPiece>& pieces,
                          std::vector<DecodedPiece>& out)
{
    for (CutPiece& piece : pieces) {
        DecodedPiece decoded{stream, std::move(piece), {}};
        if (decoded.piece.kind != CutPiece::Kind::NotAFrame) {
            const Message message =
                m_decoder.Decode(decoded.piece.bytes, m_directions[Index(stream)]);
            decoded.summary = message.summary;
            if (message.check.outcome == CheckVerdict::Outcome::Failed)
                decoded.summary += "  " + message.check.Describe();
        }
        out.push_back(std::move(decoded));
    }
    pieces.clear();
}
