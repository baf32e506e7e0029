#pragma once

#include <QString>
#include <QStringList>

#include <memory>

struct Description;

// The protocols built into the program: descriptions compiled in as resources (from
// src/protocol/builtin), read once, on first use, for the window and the shell alike.
class BuiltinProtocols
{
public:
    // Their names, in the order menus show them: osdp, modbus-rtu, stx-etx-bcc.
    static QStringList Names();
    // A protocol's title, its description's "title"; empty for a name not built in.
    static QString Title(const QString& name);
    // A protocol's description as text; empty for a name not built in.
    static QString Text(const QString& name);
    // A protocol's description, read; null for a name not built in.
    static std::shared_ptr<const Description> Find(const QString& name);
};
