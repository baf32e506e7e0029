#include "links/SerialFrame.h"

QString SerialFrame::name() const
{
    return QStringLiteral("%1%2%3").arg(dataBits).arg(QChar(parity).toUpper()).arg(stopBits);
}

QString SerialFrame::settings(qint32 baud) const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

QString SerialFrame::tooWide(QByteArrayView bytes) const
{
    const unsigned limit = 1u << dataBits;
    for (const char c : bytes) {
        if (quint8(c) >= limit)
            return QStringLiteral("byte %1 needs 8 data bits, and the line runs %2")
                .arg(QString::number(quint8(c), 16).toUpper(), name());
    }
    return {};
}

const QList<SerialFrame>& SerialFrame::Offered()
{
    static const QList<SerialFrame> frames = {{8, 'n', 1}, {8, 'e', 1}, {8, 'o', 1}, {8, 'm', 1},
                                              {8, 's', 1}, {7, 'e', 1}, {7, 'o', 1}, {8, 'n', 2}};
    return frames;
}

std::optional<SerialFrame> SerialFrame::FromName(QStringView name)
{
    for (const SerialFrame& frame : Offered()) {
        if (name.compare(frame.name(), Qt::CaseInsensitive) == 0)
            return frame;
    }
    return std::nullopt;
}
