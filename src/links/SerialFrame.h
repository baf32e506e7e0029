#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// How each character travels on the serial line: data bits, parity and stop bits, named the way
// engineers write them ("8N1", "7E1").
struct SerialFrame {
    int dataBits = 8;
    char parity = 'n'; // n, e, o, m or s
    int stopBits = 1;

    // "8E1".
    QString name() const;
    // The line's settings at baud with this frame: "9600,e,8,1".
    QString settings(qint32 baud) const;
    // Why bytes cannot go out in this frame ("byte 80 needs 8 data bits, and the line runs
    // 7E1"); empty when the data bits carry every byte.
    QString tooWide(QByteArrayView bytes) const;

    // The frames offered, 8N1 (the default) first.
    static const QList<SerialFrame>& Offered();
    // The offered frame of that name, upper or lower case alike.
    static std::optional<SerialFrame> FromName(QStringView name);

    bool operator==(const SerialFrame&) const = default;
};
