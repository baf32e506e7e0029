#pragma once

// The built-in protocols and frames written as their manuals write them ("53 01 08 00"), for
// the protocol tests.
#include "protocol/ProtocolDescription.h"
#include "terminal/BuiltinProtocols.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>
#include <string_view>

inline std::shared_ptr<const Description> Builtin(const char* name)
{
    std::shared_ptr<const Description> description =
        BuiltinProtocols::Find(QString::fromLatin1(name));
    if (!description)
        qFatal("no built-in protocol %s", name);
    return description;
}

// Hex pairs, blanks between them or not, as bytes.
inline std::string Bytes(const char* hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

inline QString Hex(std::string_view bytes)
{
    return QString::fromLatin1(
        QByteArray(bytes.data(), qsizetype(bytes.size())).toHex(' ').toUpper());
}
