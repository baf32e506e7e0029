#pragma once

#include "answers/AnswerLoop.h"
#include "answers/AnswerRate.h"
#include "answers/AnswerRules.h"
#include "links/LinkResult.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

#include <functional>

class CheckChoice;
class EventLog;
class LinkChoice;
class SerialLink;
class TcpLink;

// Answers replies by the rules of an answers file while it is on: a reply that a rule matches is
// answered, once it is in the log, on the link it came from, by an "[Output]------" line whose
// tooltip names the rule, with the check value chosen for commands put in. Answers are no commands:
// they are not recalled and do not restart a reply's time after the command. The file is read again
// when it changes.
class AutoAnswer : public QObject
{
    Q_OBJECT
public:
    // checks: the check value chosen for commands, which answers carry too.
    AutoAnswer(EventLog& log, SerialLink& serial, TcpLink& tcp, const CheckChoice& checks,
               const QString& path, QObject* parent = nullptr);

    // Answers on the TCP server's peer and to each datagram's sender too.
    void AnswerOn(LinkChoice& links);

    void SetOn(bool on);
    bool isOn() const { return m_on; }

private:
    void load();
    // send: how the answer goes back on the link the reply came from.
    void answer(const QByteArray& reply, const std::function<LinkResult(const QByteArray&)>& send);

    EventLog& m_log;
    SerialLink& m_serial;
    TcpLink& m_tcp;
    const CheckChoice& m_checks;
    QString m_path;
    QString m_name; // the file's name, for the log's lines
    bool m_on = false;
    AnswerRules m_rules;
    AnswerRate m_rate;
    AnswerLoop m_loop; // answers the peer sends back are not answered for ever
    QElapsedTimer m_clock;
    QFileSystemWatcher m_watcher;
};
