#include "shell/ShellOptions.h"

#include "shell/ShellOptionTable.h"

#include "checks/CheckCatalogue.h"
#include "repeat/RepeatPlan.h"
#include "terminal/Pattern.h"
#include "terminal/TrafficLines.h"

#include <algorithm>
#include <cstring>

namespace
{

bool ReadTcp(const QString& text, ShellOptions& options)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    // An IPv6 address is written in brackets, so that its colons are not the port's.
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    options.tcpPort = text.mid(colon + 1).toInt(&ok);
    options.host = host;
    return ok && !host.isEmpty();
}

// An unknown name, and the names there are.
QString UnknownCheck(const QString& name)
{
    QStringList names;
    for (const CheckEntry& entry : CheckCatalogue())
        names << QString::fromLatin1(entry.name.data(), qsizetype(entry.name.size()));
    const QString what = name.isEmpty()
                             ? QStringLiteral("checksum wants a NAME or --all")
                             : QStringLiteral("no check value is called \"%1\"").arg(name);
    return what + QStringLiteral("; the names are: ") + names.join(QStringLiteral(", "));
}

bool KnownCheck(const QString& name)
{
    return FindCheck(name.toStdString()) != nullptr;
}

bool ReadSerial(const QString& text, ShellOptions& options)
{
    bool number = false;
    const int port = text.toInt(&number);
    if (number) {
        options.serialPort = port;
        return port >= 1 && port <= 16;
    }
    options.serialDevice = text;
    return !text.isEmpty();
}

} // namespace

bool IsShellCommand(int argc, char* argv[])
{
    if (argc < 2)
        return false;
    for (const char* word : {"send", "listen", "check", "answer", "checksum", "protocol", "decode",
                             "--help", "-h", "-?", "--help-all", "--version", "-v"}) {
        if (std::strcmp(argv[1], word) == 0)
            return true;
    }
    return false;
}

bool ParseShellOptions(const QStringList& arguments, ShellOptions& options, QString& error)
{
    const auto refuse = [&error](const QString& why) {
        error = why;
        return false;
    };
    ShellOptionTable p;
    QCommandLineParser& parser = p.parser;
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(p.help) || parser.isSet(QStringLiteral("help-all"))) {
        options.mode = ShellOptions::Mode::Help;
        return true;
    }
    if (parser.isSet(p.version)) {
        options.mode = ShellOptions::Mode::Version;
        return true;
    }
    QStringList words = parser.positionalArguments();
    const QString mode = words.isEmpty() ? QString() : words.takeFirst();
    using Mode = ShellOptions::Mode;
    const QHash<QString, Mode> modes{
        {QStringLiteral("send"), Mode::Send},         {QStringLiteral("listen"), Mode::Listen},
        {QStringLiteral("check"), Mode::Check},       {QStringLiteral("answer"), Mode::Answer},
        {QStringLiteral("checksum"), Mode::Checksum}, {QStringLiteral("protocol"), Mode::Protocol},
        {QStringLiteral("decode"), Mode::Decode}};
    if (!modes.contains(mode))
        return refuse(QStringLiteral(
            "send, listen, check, answer, checksum, protocol or decode comes first"));
    options.mode = modes.value(mode);
    if (options.mode == Mode::Protocol) {
        if (!parser.optionNames().isEmpty())
            return refuse(QStringLiteral("protocol takes no options"));
        options.protocolAction = words.value(0);
        options.protocol = words.value(1);
        if (words != QStringList{QStringLiteral("list")} &&
            (words.size() != 2 || (options.protocolAction != QLatin1String("show") &&
                                   options.protocolAction != QLatin1String("check"))))
            return refuse(
                QStringLiteral("protocol wants \"list\", \"show NAME\" or \"check FILE\""));
        return true;
    }
    if (options.mode == Mode::Decode) {
        for (const QString& name : parser.optionNames()) {
            if (!QStringList{"protocol", "raw", "osdpcap", "hex"}.contains(name))
                return refuse(QStringLiteral("--%1 is not for decode").arg(name));
        }
        options.protocol = parser.value(p.protocol);
        options.raw = parser.isSet(p.raw);
        options.osdpcap = parser.isSet(p.osdpcap);
        options.hex = parser.isSet(p.hex);
        if (options.raw && options.osdpcap)
            return refuse(QStringLiteral("give one of --raw and --osdpcap"));
        if (options.protocol.isEmpty() && !options.osdpcap)
            return refuse(QStringLiteral("decode wants --protocol NAME or FILE"));
        if (words.size() > 1)
            return refuse(QStringLiteral("decode reads one FILE"));
        options.input = words.value(0);
        return true;
    }
    const bool send = options.mode == Mode::Send;
    if (options.mode == Mode::Checksum) {
        options.allChecks = parser.isSet(p.all);
        if (!options.allChecks && !words.isEmpty())
            options.check = words.takeFirst();
        if (!options.allChecks && !KnownCheck(options.check))
            return refuse(UnknownCheck(options.check));
        options.commands = words;
        if (words.isEmpty())
            return refuse(QStringLiteral("checksum wants at least one COMMAND"));
        return true;
    }
    if (parser.isSet(p.all))
        return refuse(QStringLiteral("--all is for checksum"));
    const bool answer = options.mode == Mode::Answer;
    // Each option names the modes it is for, a bit each.
    const auto bits = [](std::initializer_list<Mode> modes) {
        int mask = 0;
        for (Mode m : modes)
            mask |= 1 << int(m);
        return mask;
    };
    const std::pair<const QCommandLineOption*, int> modesOf[] = {
        {&p.tcp, bits({Mode::Send, Mode::Listen, Mode::Check})},
        {&p.listen, bits({Mode::Answer})},
        {&p.wait, bits({Mode::Send})},
        {&p.expect, bits({Mode::Send})},
        {&p.maxReply, bits({Mode::Send})},
        {&p.checksum, bits({Mode::Send, Mode::Check, Mode::Answer})},
        {&p.forTime, bits({Mode::Listen, Mode::Answer})},
        {&p.repeat, bits({Mode::Send, Mode::Check})},
        {&p.every, bits({Mode::Send})},
        {&p.stopOnFailure, bits({Mode::Send})},
        {&p.commands, bits({Mode::Check})},
        {&p.answers, bits({Mode::Answer})},
        {&p.gap, bits({Mode::Answer})},
        {&p.tcpListen, bits({Mode::Send, Mode::Listen, Mode::Check})},
        {&p.acceptWait, bits({Mode::Send, Mode::Listen, Mode::Check})},
        {&p.udp, bits({Mode::Send, Mode::Listen, Mode::Check, Mode::Answer})},
        {&p.localPort, bits({Mode::Send, Mode::Listen, Mode::Check})},
        {&p.trace, bits({Mode::Listen})},
        {&p.protocol, bits({Mode::Send, Mode::Listen, Mode::Check, Mode::Answer, Mode::Decode})},
        {&p.raw, bits({Mode::Decode})},
        {&p.osdpcap, bits({Mode::Decode})}};
    for (const auto& [option, modes] : modesOf) {
        if (parser.isSet(*option) && !(modes & (1 << int(options.mode))))
            return refuse(
                QStringLiteral("--%1 is not for %2").arg(option->names().constFirst(), mode));
    }

    if (parser.isSet(p.protocol)) {
        // Read by the mode: a name may be one of the engineer's descriptions.
        options.protocol = parser.value(p.protocol);
        // The protocol's frames carry their own check value; a round of sends counts bursts.
        if (parser.isSet(p.checksum))
            return refuse(QStringLiteral("--checksum is not for --protocol: the protocol has its "
                                         "own check value"));
    }
    if (parser.isSet(p.checksum)) {
        options.check = parser.value(p.checksum);
        if (!KnownCheck(options.check))
            return refuse(UnknownCheck(options.check));
    }

    const QList<const QCommandLineOption*> links =
        answer ? QList<const QCommandLineOption*>{&p.listen, &p.udp, &p.serial}
               : QList<const QCommandLineOption*>{&p.tcp, &p.tcpListen, &p.udp, &p.serial};
    if (std::count_if(links.begin(), links.end(), [&parser](const QCommandLineOption* link) {
            return parser.isSet(*link);
        }) != 1) {
        QStringList names;
        for (const QCommandLineOption* link : links)
            names << QStringLiteral("--") + link->names().constFirst();
        return refuse(
            QStringLiteral("give one of %1 and %2")
                .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.constLast()));
    }
    // A port to listen on or answer at is on loopback unless a host is given.
    const auto local = [](const QString& text) {
        return text.contains(QLatin1Char(':')) ? text : QStringLiteral("127.0.0.1:") + text;
    };
    if (parser.isSet(p.tcpListen)) {
        options.net = ShellOptions::Net::TcpServer;
        if (!ReadTcp(local(parser.value(p.tcpListen)), options))
            return refuse(QStringLiteral("--tcp-listen wants [HOST:]PORT, such as 4001"));
    }
    if (parser.isSet(p.udp)) {
        options.net = ShellOptions::Net::Udp;
        if (!ReadTcp(answer ? local(parser.value(p.udp)) : parser.value(p.udp), options))
            return refuse(answer ? QStringLiteral("--udp wants [HOST:]PORT, such as 60000")
                                 : QStringLiteral("--udp wants HOST:PORT, such as "
                                                  "192.168.1.20:60000"));
    }
    if (parser.isSet(p.acceptWait)) {
        bool number = false;
        options.acceptWaitMs = parser.value(p.acceptWait).toInt(&number);
        if (!parser.isSet(p.tcpListen) || !number || options.acceptWaitMs < 0)
            return refuse(QStringLiteral("--accept-wait wants milliseconds, with --tcp-listen"));
    }
    if (parser.isSet(p.localPort)) {
        bool number = false;
        options.localPort = parser.value(p.localPort).toInt(&number);
        if (!parser.isSet(p.udp) || !number || options.localPort < 0 || options.localPort > 65535)
            return refuse(QStringLiteral("--local-port wants a port 0 to 65535, with --udp"));
    }
    if (parser.isSet(p.tcp) && !ReadTcp(parser.value(p.tcp), options))
        return refuse(QStringLiteral("--tcp wants HOST:PORT, such as 192.168.1.20:4001"));
    if (parser.isSet(p.listen) &&
        !ReadTcp(parser.value(p.listen).contains(QLatin1Char(':'))
                     ? parser.value(p.listen)
                     : QStringLiteral("127.0.0.1:") + parser.value(p.listen),
                 options))
        return refuse(QStringLiteral("--listen wants [HOST:]PORT, such as 4001"));
    if (parser.isSet(p.listen))
        options.net = ShellOptions::Net::TcpServer;
    if (parser.isSet(p.serial) && !ReadSerial(parser.value(p.serial), options))
        return refuse(QStringLiteral("--serial wants a port number 1 to 16 or a device path"));
    if (parser.isSet(p.baud)) {
        if (!parser.isSet(p.serial))
            return refuse(QStringLiteral("--baud is for a serial port"));
        // Read as the window's baud box reads it.
        const std::optional<qint32> baud = RoundedValue(parser.value(p.baud));
        if (!baud || *baud <= 0)
            return refuse(QStringLiteral("Wrong Boad Rate"));
        options.baud = *baud;
    }
    if (parser.isSet(p.frame)) {
        const std::optional<SerialFrame> frame = SerialFrame::FromName(parser.value(p.frame));
        if (!parser.isSet(p.serial))
            return refuse(QStringLiteral("--frame is for a serial port"));
        if (!frame)
            return refuse(QStringLiteral("--frame wants 8N1, 8E1, 8O1, 8M1, 8S1, 7E1, 7O1 or 8N2"));
        options.frame = *frame;
    }
    bool ok = true;
    if (parser.isSet(p.wait)) {
        options.waitMs = parser.value(p.wait).toInt(&ok);
        if (!ok || options.waitMs < 0)
            return refuse(QStringLiteral("--wait wants milliseconds"));
    }
    if (parser.isSet(p.maxReply)) {
        options.maxReplyBytes = parser.value(p.maxReply).toLongLong(&ok);
        if (!send || !ok || options.maxReplyBytes < 1)
            return refuse(QStringLiteral("--max-reply wants a number of bytes, for send"));
    }
    if (parser.isSet(p.forTime)) {
        const double seconds = parser.value(p.forTime).toDouble(&ok);
        if (!ok || seconds < 0 || seconds > 2e6)
            return refuse(QStringLiteral("--for wants seconds"));
        options.forMs = int(seconds * 1000);
    }
    if (parser.isSet(p.repeat)) {
        options.repeat = parser.value(p.repeat).toInt(&ok);
        if (!ok || options.repeat < 1 || (send && options.repeat > RepeatPlan::kTimesMax))
            return refuse(
                send
                    ? QStringLiteral("--repeat wants a count of 1 to %1").arg(RepeatPlan::kTimesMax)
                    : QStringLiteral("--repeat wants a count of 1 or more"));
    }
    if (send && parser.isSet(p.repeat) != parser.isSet(p.every))
        return refuse(QStringLiteral("send wants --repeat and --every together"));
    if (parser.isSet(p.stopOnFailure) && !parser.isSet(p.repeat))
        return refuse(QStringLiteral("--stop-on-failure is for send --repeat"));
    if (parser.isSet(p.every)) {
        const QString every = parser.value(p.every);
        options.everyMs = every == QLatin1String("reply") ? 0 : every.toInt(&ok);
        if (every != QLatin1String("reply") && (!ok || options.everyMs < RepeatPlan::kEveryMinMs ||
                                                options.everyMs > RepeatPlan::kEveryMaxMs))
            return refuse(QStringLiteral("--every wants milliseconds, %1 to %2, or \"reply\"")
                              .arg(RepeatPlan::kEveryMinMs)
                              .arg(RepeatPlan::kEveryMaxMs));
        if (parser.isSet(p.maxReply))
            return refuse(QStringLiteral("--max-reply is not for send --repeat"));
        options.stopOnFailure = parser.isSet(p.stopOnFailure);
        if (!parser.isSet(p.wait))
            options.waitMs = RepeatPlan::kDefaultWaitMs;
        else if (options.waitMs < RepeatPlan::kWaitMinMs || options.waitMs > RepeatPlan::kWaitMaxMs)
            return refuse(QStringLiteral("--wait wants milliseconds, %1 to %2, with --repeat")
                              .arg(RepeatPlan::kWaitMinMs)
                              .arg(RepeatPlan::kWaitMaxMs));
    }
    if (parser.isSet(p.gap)) {
        options.gapMs = parser.value(p.gap).toInt(&ok);
        if (!ok || options.gapMs < 1 || options.gapMs > 60000)
            return refuse(QStringLiteral("--gap wants milliseconds, 1 to 60000"));
    }
    options.commandsFile = parser.value(p.commands);
    options.answersFile = parser.value(p.answers);
    options.hex = parser.isSet(p.hex);
    options.trace = parser.value(p.trace);
    options.expect = parser.values(p.expect);
    for (const QString& pattern : std::as_const(options.expect)) {
        QString why;
        if (!Pattern::Compile(pattern, why))
            return refuse(QStringLiteral("--expect \"%1\": %2").arg(pattern, why));
    }
    if (options.mode == Mode::Check) {
        if (words.size() != 1)
            return refuse(QStringLiteral("check wants one FILE"));
        options.script = words.takeFirst();
    }
    options.commands = words;
    if (send && words.isEmpty())
        return refuse(QStringLiteral("send wants at least one COMMAND"));
    if (!send && !words.isEmpty())
        return refuse(QStringLiteral("%1 takes no COMMAND").arg(mode));
    if (options.expect.size() > 1 && options.expect.size() != words.size())
        return refuse(QStringLiteral("give --expect once, or once for each COMMAND"));
    return true;
}
