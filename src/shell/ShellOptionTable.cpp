#include "shell/ShellOptionTable.h"

#include "shell/ShellOptions.h"

namespace
{

const char kSynopsis[] =
    "  accessterm send (--tcp HOST:PORT | --serial PORT [--baud RATE] [--frame FRAME])\n"
    "                  [--wait MS] [--max-reply BYTES] [--checksum NAME] [--hex]\n"
    "                  [--expect PATTERN]... COMMAND...\n"
    "  accessterm send ... --repeat N --every MS|reply [--wait MS] [--stop-on-failure] COMMAND...\n"
    "  accessterm listen (--tcp HOST:PORT | --serial PORT [--baud RATE] [--frame FRAME])\n"
    "                  [--for SECONDS] [--hex] [--trace FILE]\n"
    "  accessterm check (--tcp HOST:PORT | --serial PORT [--baud RATE] [--frame FRAME])\n"
    "                   [--repeat N] [--commands FILE] [--checksum NAME] FILE\n"
    "  accessterm answer (--listen [HOST:]PORT | --serial PORT [--baud RATE] [--frame FRAME])\n"
    "                    [--answers FILE] [--gap MS] [--for SECONDS] [--checksum NAME]\n"
    "  accessterm checksum (NAME | --all) COMMAND...\n"
    "  accessterm protocol (list | show NAME | check FILE)\n"
    "  accessterm decode (--protocol NAME|FILE [--raw] | --osdpcap) [--hex] [FILE]\n"
    "  accessterm                 (no arguments) opens the window\n"
    "  send, listen, check and answer also take --protocol NAME|FILE (not with --checksum).\n"
    "  For --tcp HOST:PORT: --tcp-listen [HOST:]PORT [--accept-wait MS] (the controller calls)\n"
    "  or --udp HOST:PORT [--local-port PORT]; answer also takes --udp [HOST:]PORT.\n";

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
    "With --expect, a reply its PATTERN does not find is named on standard error (exit 1).\n"
    "With --repeat, the COMMANDs go N times in turn, every MS apart or each once the last\n"
    "reply is complete; a reply is what comes before the next send, and one missing within\n"
    "--wait (default 1000), failing its check value or not matched fails; the verdict line\n"
    "comes last (exit 1 when a send failed).\n"
    "checksum prints each COMMAND with the value of NAME where it goes, as send --checksum sends\n"
    "it; with --all, per command a line for each name: the value, and \"fits\" when the command\n"
    "already carries it.\n"
    "protocol list names the protocols, one a line: the name, what it is, where it comes from\n"
    "(built in, or a file NAME.txt in the folder Protocols beside Commands.TXT); show prints\n"
    "one's description; check reads a description file and names its mistake and line (exit 2).\n"
    "decode cuts the frames of a saved session (FILE, or standard input) by the protocol and\n"
    "prints them one a line, a tab and the summary after each; bytes that are no frame as they\n"
    "are. It reads the bytes themselves (--raw), an OSDP trace (--osdpcap, OSDP unless told), or\n"
    "the [Output]/[Input] lines of a saved log or of this program's output, or a SaveFile.TXT.\n"
    "Text is read back through the notation, lossy where the text was (a reply's own \"<0D>\"\n"
    "reads as the byte 0D; 80-9F print as <hh>): --raw and --hex output are exact. A line not\n"
    "read back is named on standard error (exit 1).\n"
    "listen prints every reply burst with its local time until SECONDS have passed, the peer\n"
    "closes, or SIGINT or SIGTERM comes (exit 0); with --trace, each burst is also a record of\n"
    "an OSDP trace in FILE (io \"trace\").\n"
    "check runs the steps of FILE (send, use, expect, wait) and prints ok or not ok for each\n"
    "expect (exit 1 when one failed). answer stands in for a controller: each burst that an\n"
    "Answers.TXT rule (PATTERN = REPLY) finds is answered. With --checksum, check and answer\n"
    "add the value to what they send, and a reply that fails it matches nothing (check exits 1;\n"
    "answer leaves it unanswered). PATTERNs are regular expressions\n"
    "searched in the bytes written as printable ASCII and <hh> tokens.\n"
    "PORT is a port number 1 to 16, mapped as the window maps it (ACCESSTERM_COM<n> included),\n"
    "or a device path. Nothing is written to SaveFile.TXT: this output is the record.\n"
    "With --tcp-listen the controller connects: nobody within --accept-wait exits 1, and listen\n"
    "goes on after it closes. With --udp each datagram is one reply, at once; one from another\n"
    "sender ends \"  (from HOST:PORT)\"; answer --udp answers each to its sender.\n"
    "With --protocol NAME (see protocol list) what is read is cut into the protocol's frames as\n"
    "it comes, each printed at once on a line of its own, a tab and its summary after it; bytes\n"
    "no frame takes are one line 300 ms after the first of them. send and check complete what\n"
    "they send (for osdp: the address, code and data typed; the mark, length, sequence number\n"
    "and CRC added), a reply is the first frame that follows, and a pattern matches a frame's\n"
    "bytes or, separately, its summary; answer stands in for the device, completing each\n"
    "REPLY with the command's sequence number.";

} // namespace

ShellOptionTable::ShellOptionTable()
{
    parser.setApplicationDescription(
        QString::fromLatin1(kDescription).arg(QString::fromLatin1(kSynopsis)));
    parser.addOptions({tcp, serial, baud, frame, wait, maxReply, forTime, checksum, all, hex,
                       expect, repeat, every, stopOnFailure, commands, listen, answers, gap});
    parser.addOptions({protocol, raw, osdpcap, trace});
    // Named short: the parser cuts a name wider than its column in the middle of a word.
    parser.addPositionalArgument(
        QStringLiteral("MODE"), QStringLiteral("send, listen, check, answer, checksum, protocol or "
                                               "decode."));
    parser.addOptions({tcpListen, acceptWait, udp, localPort});
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("send: a command in the notation, such as "
                                                "\"AB<02>C<0D>\"."),
                                 QStringLiteral("[COMMAND...]"));
}

QString ShellHelpText()
{
    // The parser names the program by the path it was started with.
    const QString text = ShellOptionTable().parser.helpText();
    return QStringLiteral("Usage: accessterm [options] send|listen|check|answer|checksum|protocol|"
                          "decode [COMMAND...|FILE|list]\n") +
           text.section(QLatin1Char('\n'), 1);
}

QString ShellUsage()
{
    return QStringLiteral("Usage:\n") + QString::fromLatin1(kSynopsis) +
           QStringLiteral("See accessterm --help.\n");
}
