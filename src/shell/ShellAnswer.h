#pragma once

#include "answers/AnswerLoop.h"
#include "answers/AnswerRate.h"
#include "answers/AnswerRules.h"
#include "answers/BurstGatherer.h"
#include "links/LineSink.h"
#include "links/MSComm.h"
#include "links/TcpListener.h"
#include "links/UdpLink.h"
#include "links/Winsock.h"
#include "terminal/CheckChoice.h"
#include "terminal/TextFileRead.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

struct ShellOptions;
class ShellOutput;

// accessterm answer: a stand-in for a controller. It listens on a TCP port of its own (one
// connection at a time, as the window's TCP server takes them), opens a serial port, or takes
// datagrams on a UDP port; gathers each burst until a gap of silence (a datagram is one),
// answers it by the first rule that matches (a datagram to its sender), and prints bursts and
// answers with their local time.
class ShellAnswer : public QObject, public LineSink
{
    Q_OBJECT
public:
    ShellAnswer(const ShellOptions& options, ShellOutput& output, QObject* parent = nullptr);

    // Reads the rules, refusing them whole for one bad line, then listens; Finished follows.
    // Answers the peer sends back are answered a few times, then their rules pause (AnswerLoop).
    void Start();
    // Ends answering (exit status 0), whatever the signal.
    void Stop(int signalNumber = 0);

    // The listener's lines ("Connected H:P" …), printed with their time.
    void AddLine(const QString& text) override { print(text); }

signals:
    // 0 at the time given or a stop, 2 for refused rules, a port in use or a device lost.
    void Finished(int status);

private:
    bool readRules(const TextFileRead& read);
    bool open();
    void taken(qintptr descriptor);
    void peerGone();
    void burst(const QByteArray& bytes, bool whole);
    void print(const QString& line);
    void finish(int status);

    const ShellOptions& m_options;
    ShellOutput& m_output;
    QString m_rulesPath;
    AnswerRules m_rules;
    AnswerRate m_rate;
    AnswerLoop m_loop;
    QElapsedTimer m_clock;
    BurstGatherer m_gatherer;
    TcpListener m_listener{*this};
    Winsock m_socket; // the one connection served
    UdpLink m_udp{*this};
    QHostAddress m_sender; // of the datagram being answered
    quint16 m_senderPort = 0;
    MSComm m_serial;
    CheckChoice m_checks; // added to every answer; a burst that fails it is not answered
    QTimer m_for;
    bool m_finished = false;
};
