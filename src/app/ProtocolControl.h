#pragma once

#include "app/PollHider.h"

#include <QObject>
#include <QString>

#include <memory>

class CommandLine;
struct Description;
class EventLog;
class FrameReader;
class QAction;
class QActionGroup;
class QMenu;
class RepeatControl;
class frmMain;
struct CommandBytes;
struct LineMarks;
struct ReadPiece;

// The protocol the window reads its links by: "Protocol" in the log's menu (None, then the
// protocols built in; "Hide Polls"), and "Send As Typed" in the command line's. With None the
// window is as it always was. While one is chosen, the serial port and the TCP connection hand
// their bytes on as read to a FrameReader each: every frame is a line of its own at once, its
// summary after it, its fields in its tooltip, red when its check value fails; bytes no frame
// takes are one line 300 ms after the first. "Output Command" completes what is typed into the
// protocol's frame (the reader's sequence numbers, reset as the link opens again); the
// Checksum menu shows the protocol's check value instead of the choice. While a repeat or a check
// file runs, it reads the link its own way, by the same protocol's frames, and the protocol waits.
class ProtocolControl : public QObject
{
    Q_OBJECT
public:
    ProtocolControl(frmMain& window, CommandLine& commandLine, RepeatControl& repeats);
    ~ProtocolControl() override;

    QMenu& menu() const { return *m_menu; }
    QAction& hidePollsAction() const { return *m_hidePolls; }
    QAction& sendAsTypedAction() const { return *m_sendAsTyped; }

    // A protocol built in by name, or none for any other name ("" included); logged.
    void Choose(const QString& name);
    QString chosen() const { return m_name; }
    // The chosen protocol's description; null for none.
    std::shared_ptr<const Description> description() const;
    // "Output Command" with the bytes exactly as typed: no completion, no check value.
    void SendAsTyped();

private:
    struct Reading;
    void read(Reading& reading, bool serial);
    void show(const ReadPiece& piece, bool serial);
    CommandBytes compose(const QString& text, QString& shown, LineMarks& marks);
    // Hands on as read while a protocol is chosen and nothing runs that reads otherwise.
    void handOn();
    void flush(Reading* reading);

    frmMain& m_window;
    EventLog& m_log;
    CommandLine& m_commandLine;
    RepeatControl& m_repeats;
    QMenu* m_menu = nullptr;
    QActionGroup* m_choices = nullptr;
    QAction* m_hidePolls = nullptr;
    QAction* m_sendAsTyped = nullptr;
    QString m_name;
    std::unique_ptr<Reading> m_serial, m_tcp;
    bool m_asTyped = false;
    bool m_running = false;   // a repeat or a check file
    qint64 m_hidden = 0;      // polls hidden, all links
    qint64 m_hiddenLine = -1; // the line that counts them
};
