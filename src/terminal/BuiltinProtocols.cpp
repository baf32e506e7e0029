#include "terminal/BuiltinProtocols.h"

#include "protocol/DescriptionReader.h"

#include <QFile>
#include <QtDebug>

#include <vector>

// Outside any namespace, as the resource's functions are.
static void InitProtocolResources()
{
    Q_INIT_RESOURCE(protocols);
}

namespace
{

struct Builtin {
    QString name;
    QString text;
    std::shared_ptr<const Description> description;
};

std::vector<Builtin> ReadAll()
{
    std::vector<Builtin> builtins;
    for (const char* name : {"osdp", "modbus-rtu", "stx-etx-bcc"}) {
        QFile file(QStringLiteral(":/protocols/%1.txt").arg(QLatin1String(name)));
        file.open(QIODevice::ReadOnly);
        const QByteArray text = file.readAll();
        const DescriptionReading reading =
            ReadDescription(std::string_view(text.constData(), size_t(text.size())), name);
        // The built-ins are the format's own examples: the tests read each one.
        if (!reading.ok())
            qCritical("%s", reading.Describe(name).c_str());
        builtins.push_back({QLatin1String(name), QString::fromUtf8(text), reading.description});
    }
    return builtins;
}

const std::vector<Builtin>& All()
{
    static const std::vector<Builtin> all = [] {
        InitProtocolResources();
        return ReadAll();
    }();
    return all;
}

const Builtin* Named(const QString& name)
{
    for (const Builtin& builtin : All()) {
        if (builtin.name == name)
            return &builtin;
    }
    return nullptr;
}

} // namespace

QStringList BuiltinProtocols::Names()
{
    QStringList names;
    for (const Builtin& builtin : All())
        names << builtin.name;
    return names;
}

QString BuiltinProtocols::Title(const QString& name)
{
    const Builtin* builtin = Named(name);
    return builtin && builtin->description ? QString::fromStdString(builtin->description->title)
                                           : QString();
}

QString BuiltinProtocols::Text(const QString& name)
{
    const Builtin* builtin = Named(name);
    return builtin ? builtin->text : QString();
}

std::shared_ptr<const Description> BuiltinProtocols::Find(const QString& name)
{
    const Builtin* builtin = Named(name);
    return builtin ? builtin->description : nullptr;
}
