#include "shell/ShellOptions.h"

#include "checks/CheckCatalogue.h"
#include "terminal/TrafficLines.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace
{

const char kSynopsis[] =
    "  accessterm send (--tcp HOST:PORT | --serial PORT [--baud RATE]) [--wait MS]\n"
    "                  [--max-reply BYTES] [--checksum NAME] [--hex] COMMAND...\n"
    "  accessterm listen (--tcp HOST:PORT | --serial PORT [--baud RATE]) [--for SECONDS] [--hex]\n"
    "  accessterm checksum (NAME | --all) COMMAND...\n"
    "  accessterm                 (no arguments) opens the window\n";

const char kDescription[] =
    "Sends commands in the bracketed hex notation and prints the replies, as the window does,\n"
    "without a window.\n\n"
    "%1\n"
    "send writes each COMMAND in turn, prints \"[Output]------\" and the command, waits up to MS\n"
    "milliseconds for the reply's first byte, gathers the burst for 300 ms and prints\n"
    "\"[Input]------\" and the reply. Exit status: 0 when every command got a reply, 1 when one\n"
    "got none or one longer than BYTES (then nothing more is sent), 2 for a usage error, a\n"
    "command the notation refuses, a port or connection that does not open, a peer that closes\n"
    "before the last reply, or standard output that cannot be written.\n"
    "checksum prints each COMMAND with the value of NAME where it goes, as send --checksum sends\n"
    "it; with --all, per command a line for each name: the value, and \"fits\" when the command\n"
    "already carries it.\n"
    "listen prints every reply burst with its local time until SECONDS have passed, the peer\n"
    "closes, or SIGINT or SIGTERM comes (exit 0).\n"
    "PORT is a port number 1 to 16, mapped as the window maps it (ACCESSTERM_COM<n> included),\n"
    "or a device path. Nothing is written to SaveFile.TXT: this output is the record.";

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption tcp{QStringLiteral("tcp"), QStringLiteral("The TCP peer to connect to."),
                           QStringLiteral("HOST:PORT")};
    QCommandLineOption serial{QStringLiteral("serial"),
                              QStringLiteral("The serial port: 1 to 16, or a device path."),
                              QStringLiteral("PORT")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("The serial line's baud rate, 8N1 (default 4800)."),
                            QStringLiteral("RATE")};
    QCommandLineOption wait{QStringLiteral("wait"),
                            QStringLiteral("send: how long to wait for a reply (default 2000)."),
                            QStringLiteral("MS")};
    QCommandLineOption maxReply{QStringLiteral("max-reply"),
                                QStringLiteral("send: cut a longer reply and stop (default "
                                               "67108864)."),
                                QStringLiteral("BYTES")};
    QCommandLineOption forTime{QStringLiteral("for"),
                               QStringLiteral("listen: how long to listen (default: until "
                                              "stopped)."),
                               QStringLiteral("SECONDS")};
    QCommandLineOption checksum{QStringLiteral("checksum"),
                                QStringLiteral("send: add this check value to every command and "
                                               "check every reply."),
                                QStringLiteral("NAME")};
    QCommandLineOption all{QStringLiteral("all"),
                           QStringLiteral("checksum: every check value of the catalogue.")};
    QCommandLineOption hex{QStringLiteral("hex"),
                           QStringLiteral("Print replies as upper-case hex pairs.")};

    Parser()
    {
        parser.setApplicationDescription(
            QString::fromLatin1(kDescription).arg(QString::fromLatin1(kSynopsis)));
        parser.addOptions({tcp, serial, baud, wait, maxReply, forTime, checksum, all, hex});
        parser.addPositionalArgument(QStringLiteral("send|listen|checksum"),
                                     QStringLiteral("The mode."));
        parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                     QStringLiteral("send: a command in the notation, such as "
                                                    "\"AB<02>C<0D>\"."),
                                     QStringLiteral("[COMMAND...]"));
    }
};

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
    for (const char* word :
         {"send", "listen", "checksum", "--help", "-h", "-?", "--help-all", "--version", "-v"}) {
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
    Parser p;
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
    if (mode == QLatin1String("send"))
        options.mode = ShellOptions::Mode::Send;
    else if (mode == QLatin1String("listen"))
        options.mode = ShellOptions::Mode::Listen;
    else if (mode == QLatin1String("checksum"))
        options.mode = ShellOptions::Mode::Checksum;
    else
        return refuse(QStringLiteral("send, listen or checksum comes first"));
    const bool send = options.mode == ShellOptions::Mode::Send;
    if (options.mode == ShellOptions::Mode::Checksum) {
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
    if (parser.isSet(p.checksum)) {
        options.check = parser.value(p.checksum);
        if (!send)
            return refuse(QStringLiteral("--checksum is for send"));
        if (!KnownCheck(options.check))
            return refuse(UnknownCheck(options.check));
    }

    if (parser.isSet(p.tcp) == parser.isSet(p.serial))
        return refuse(QStringLiteral("give one of --tcp and --serial"));
    if (parser.isSet(p.tcp) && !ReadTcp(parser.value(p.tcp), options))
        return refuse(QStringLiteral("--tcp wants HOST:PORT, such as 192.168.1.20:4001"));
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
    bool ok = true;
    if (parser.isSet(p.wait)) {
        options.waitMs = parser.value(p.wait).toInt(&ok);
        if (!send || !ok || options.waitMs < 0)
            return refuse(QStringLiteral("--wait wants milliseconds, for send"));
    }
    if (parser.isSet(p.maxReply)) {
        options.maxReplyBytes = parser.value(p.maxReply).toLongLong(&ok);
        if (!send || !ok || options.maxReplyBytes < 1)
            return refuse(QStringLiteral("--max-reply wants a number of bytes, for send"));
    }
    if (parser.isSet(p.forTime)) {
        const double seconds = parser.value(p.forTime).toDouble(&ok);
        if (send || !ok || seconds < 0 || seconds > 2e6)
            return refuse(QStringLiteral("--for wants seconds, for listen"));
        options.forMs = int(seconds * 1000);
    }
    options.hex = parser.isSet(p.hex);
    options.commands = words;
    if (send && words.isEmpty())
        return refuse(QStringLiteral("send wants at least one COMMAND"));
    if (!send && !words.isEmpty())
        return refuse(QStringLiteral("listen takes no COMMAND"));
    return true;
}

QString ShellHelpText()
{
    // The parser names the program by the path it was started with.
    const QString text = Parser().parser.helpText();
    return QStringLiteral("Usage: accessterm [options] send|listen|checksum [COMMAND...]\n") +
           text.section(QLatin1Char('\n'), 1);
}

QString ShellUsage()
{
    return QStringLiteral("Usage:\n") + QString::fromLatin1(kSynopsis) +
           QStringLiteral("See accessterm --help.\n");
}
