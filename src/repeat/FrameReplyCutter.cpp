#include "repeat/FrameReplyCutter.h"

#include "terminal/FrameReader.h"

FrameReplyCutter::FrameReplyCutter(FrameReader& reader, QObject* parent)
    : QObject(parent), m_reader(reader)
{
    connect(&m_reader, &FrameReader::PieceRead, this, [this](const ReadPiece& piece) {
        if (piece.isFrame())
            m_cut.append({piece.bytes, PieceCheck(piece)});
    });
}

QList<ReplyCutter::Frame> FrameReplyCutter::Feed(QByteArrayView bytes)
{
    m_reader.Feed(bytes.toByteArray());
    return std::exchange(m_cut, {});
}
