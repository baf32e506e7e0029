#pragma once

#include "links/SerialFrame.h"

#include <QString>
#include <QStringList>

#include <memory>

struct Description;

// What a shell mode was asked to do, read from the command line.
struct ShellOptions {
    enum class Mode { Help, Version, Send, Listen, Check, Answer, Checksum, Protocol, Decode };
    Mode mode = Mode::Help;

    // The link: a TCP peer when host is set (for answer, the address to listen on), otherwise a
    // serial port by number (1-16) or, when serialPort is 0, the serial device at serialDevice.
    QString host;
    int tcpPort = 0;
    // How host and tcpPort are reached: connected to (--tcp), listened on for the controller to
    // call (--tcp-listen, answer's --listen), or sent datagrams (--udp; answer binds them).
    enum class Net { TcpClient, TcpServer, Udp };
    Net net = Net::TcpClient;
    int acceptWaitMs = -1; // --tcp-listen: how long to wait for the controller; -1 no limit
    int localPort = 0;     // --udp: the local port, 0 for any free one
    int serialPort = 0;
    QString serialDevice;
    qint32 baud = 4800;
    SerialFrame frame; // 8N1 unless --frame says otherwise

    int waitMs = 2000;                       // send: how long to wait for a reply's first byte
    qint64 maxReplyBytes = qint64(64) << 20; // send: a longer reply is cut, and the run ends
    int forMs = -1;         // listen: how long to listen; -1 until stopped or closed
    bool hex = false;       // replies as hex pairs instead of the notation
    QStringList commands;   // send, checksum: the command texts, in order
    QStringList expect;     // send: a pattern for every reply, or one for each command
    QString check;          // send, checksum: the check value's name, as given; empty for none
    bool allChecks = false; // checksum: every check value of the catalogue

    QString script;       // check: the check file, "-" for standard input
    QString commandsFile; // check: the command list (default: the window's)
    int repeat = 1;       // check: how many times to run the file; send: how many rounds
    int everyMs = -1;     // send --repeat: a round's commands this far apart, 0 each after the
                          // last reply; -1 without --repeat
    bool stopOnFailure = false; // send --repeat: end at the first send that fails

    QString answersFile; // answer: the rules (default: Answers.TXT beside the command list)
    int gapMs = 30;      // answer: the silence that ends a burst

    QString protocolAction; // protocol: list, show or check
    QString protocol;       // send, listen, check, answer, decode: a name or a description
                            // file, empty for none; protocol show and check: the one named
    // send, listen, check, answer: the protocol named, read once it is known to be readable
    std::shared_ptr<const Description> description;
    QString input;        // decode: the session's file; empty for standard input
    bool raw = false;     // decode: the input is the bytes themselves
    bool osdpcap = false; // decode: the input is an OSDP trace
    QString trace;        // listen: the OSDP trace to write
};

// Whether these arguments ask for a shell mode rather than the window: a first argument of
// "send", "listen", "check", "answer", "checksum", "protocol", "decode", or a request for help or
// the version.
bool IsShellCommand(int argc, char* argv[]);

// Reads arguments (the program's name first). false with a one-line reason in error when they
// make no sense.
bool ParseShellOptions(const QStringList& arguments, ShellOptions& options, QString& error);

// The whole help text, and the short usage that follows an error.
QString ShellHelpText();
QString ShellUsage();
