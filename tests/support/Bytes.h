#pragma once

#include <QByteArray>
#include <QSignalSpy>

// Every reply a spy on ReplyArrived caught, joined in order.
inline QByteArray Joined(const QSignalSpy& spy)
{
    QByteArray all;
    for (const QList<QVariant>& call : spy)
        all += call.at(0).toByteArray();
    return all;
}

// The bytes 0 to 255, in order.
inline QByteArray AllByteValues()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes;
}
