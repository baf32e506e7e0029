#include "links/PeerName.h"

QHostAddress PlainAddress(const QHostAddress& address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : address;
}

QString PeerName(const QHostAddress& address, quint16 port)
{
    const QString host = PlainAddress(address).toString();
    return (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host) +
           QLatin1Char(':') + QString::number(port);
}
