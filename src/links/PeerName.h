#pragma once

#include <QHostAddress>
#include <QString>

// An IPv4 address as itself, also when a socket open to both kinds gives it as ::ffff:a.b.c.d.
QHostAddress PlainAddress(const QHostAddress& address);

// A peer as the log names it: "10.1.2.3:53122", an IPv6 address in brackets.
QString PeerName(const QHostAddress& address, quint16 port);
