#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

// The shell's options, each with its help line, and the parser that reads them.
struct ShellOptionTable {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption tcp{QStringLiteral("tcp"), QStringLiteral("The TCP peer to connect to."),
                           QStringLiteral("HOST:PORT")};
    QCommandLineOption tcpListen{QStringLiteral("tcp-listen"),
                                 QStringLiteral("Listen for the controller to connect (host "
                                                "127.0.0.1 unless given)."),
                                 QStringLiteral("[HOST:]PORT")};
    QCommandLineOption acceptWait{QStringLiteral("accept-wait"),
                                  QStringLiteral("--tcp-listen: how long to wait for the "
                                                 "controller (default: no limit)."),
                                  QStringLiteral("MS")};
    QCommandLineOption udp{QStringLiteral("udp"),
                           QStringLiteral("The controller's UDP address; answer: the address "
                                          "to answer on (host 127.0.0.1 unless given)."),
                           QStringLiteral("HOST:PORT")};
    QCommandLineOption localPort{QStringLiteral("local-port"),
                                 QStringLiteral("--udp: the local port (default: any free one)."),
                                 QStringLiteral("PORT")};
    QCommandLineOption serial{QStringLiteral("serial"),
                              QStringLiteral("The serial port: 1 to 16, or a device path."),
                              QStringLiteral("PORT")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("The serial line's baud rate (default 4800)."),
                            QStringLiteral("RATE")};
    QCommandLineOption frame{QStringLiteral("frame"),
                             QStringLiteral("The serial line's frame: 8N1 (default), 8E1, 8O1, "
                                            "8M1, 8S1, 7E1, 7O1 or 8N2."),
                             QStringLiteral("FRAME")};
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
    QCommandLineOption expect{QStringLiteral("expect"),
                              QStringLiteral("send: a pattern the reply must match; once, or "
                                             "once per command."),
                              QStringLiteral("PATTERN")};
    QCommandLineOption repeat{QStringLiteral("repeat"),
                              QStringLiteral("check: run the file N times (default 1); send: "
                                             "send the COMMANDs N times, with --every."),
                              QStringLiteral("N")};
    QCommandLineOption every{QStringLiteral("every"),
                             QStringLiteral("send --repeat: send every MS milliseconds (10 to "
                                            "3600000), or \"reply\": once the last reply is "
                                            "complete."),
                             QStringLiteral("MS|reply")};
    QCommandLineOption stopOnFailure{QStringLiteral("stop-on-failure"),
                                     QStringLiteral("send --repeat: stop at the first send that "
                                                    "fails.")};
    QCommandLineOption commands{QStringLiteral("commands"),
                                QStringLiteral("check: the command list for use (default: "
                                               "the window's Commands.TXT)."),
                                QStringLiteral("FILE")};
    QCommandLineOption listen{QStringLiteral("listen"),
                              QStringLiteral("answer: the TCP port to listen on (host "
                                             "127.0.0.1 unless given)."),
                              QStringLiteral("[HOST:]PORT")};
    QCommandLineOption answers{QStringLiteral("answers"),
                               QStringLiteral("answer: the rules (default: Answers.TXT beside "
                                              "Commands.TXT)."),
                               QStringLiteral("FILE")};
    QCommandLineOption gap{QStringLiteral("gap"),
                           QStringLiteral("answer: the silence that ends a burst (default 30)."),
                           QStringLiteral("MS")};
    QCommandLineOption checksum{QStringLiteral("checksum"),
                                QStringLiteral("send, check, answer: add this check value to "
                                               "what is sent and check every reply."),
                                QStringLiteral("NAME")};
    QCommandLineOption all{QStringLiteral("all"),
                           QStringLiteral("checksum: every check value of the catalogue.")};
    QCommandLineOption protocol{QStringLiteral("protocol"),
                                QStringLiteral("send, listen, check, answer: cut what is read "
                                               "into this protocol's frames, each on a line with "
                                               "its summary, and complete what is sent; decode: "
                                               "the protocol. A name or a description file."),
                                QStringLiteral("NAME|FILE")};
    QCommandLineOption raw{QStringLiteral("raw"),
                           QStringLiteral("decode: the input is the bytes themselves.")};
    QCommandLineOption osdpcap{QStringLiteral("osdpcap"),
                               QStringLiteral("decode: the input is an OSDP trace (OSDPCAP).")};
    QCommandLineOption trace{QStringLiteral("trace"),
                             QStringLiteral("listen: also write what is heard as an OSDP trace "
                                            "(OSDPCAP)."),
                             QStringLiteral("FILE")};
    QCommandLineOption hex{QStringLiteral("hex"),
                           QStringLiteral("Print replies as upper-case hex pairs.")};

    ShellOptionTable();
};
