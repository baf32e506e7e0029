#pragma once

#include "app/PollHider.h"
#include "console/LineMarks.h"

#include <QObject>
#include <QString>

#include <memory>

class CommandLine;
struct Description;
class EventLog;
class FrameReader;
class LinkChoice;
class ProtocolCatalogue;
class ProtocolMenu;
class QAction;
class QFileSystemWatcher;
class QMenu;
class QTimer;
class RepeatControl;
class frmMain;
struct CommandBytes;
struct Description;
struct ReadPiece;

// The protocol the window reads its links by: "Protocol" in the log's menu (None, the protocols
// built in, then the engineer's own from the folder Protocols; "Hide Polls"), and "Send As Typed"
// in the command line's. With None the window is as it always was. The folder is read again as
// the menu is about to show, and the chosen description whenever its file changes: read again
// without a mistake, it is taken up from the next frame; refused, the one read before stays. While
// one is chosen, the serial port and the TCP connection hand their bytes on as read to a
// FrameReader each: every frame is a line of its own at once, its summary after it, its fields in
// its tooltip, red when its check value fails; bytes no frame takes are one line 300 ms after the
// first. "Output Command" completes what is typed into the protocol's frame (the reader's sequence
// numbers, reset as the link opens again); the Checksum menu shows the protocol's check value
// instead of the choice. While a repeat or a check file runs, it reads the link its own way, by
// the same protocol's frames, and the protocol waits.
class ProtocolControl : public QObject
{
    Q_OBJECT
public:
    ProtocolControl(frmMain& window, CommandLine& commandLine, RepeatControl& repeats);
    ~ProtocolControl() override;

    QMenu& menu() const;
    ProtocolMenu& protocolMenu() const { return *m_protocols; }
    QAction& hidePollsAction() const { return *m_hidePolls; }
    QAction& sendAsTypedAction() const { return *m_sendAsTyped; }

    // A protocol by name, built in or the engineer's; none for a name not read ("" included);
    // logged.
    void Choose(const QString& name);
    QString chosen() const { return m_name; }
    // The chosen protocol's description; null for none.
    std::shared_ptr<const Description> description() const { return m_description; }
    // "Output Command" with the bytes exactly as typed: no completion, no check value.
    void SendAsTyped();

private:
    struct Reading;
    // Reads the folder again, and takes up the chosen description if it was read anew.
    void readAgain();
    void watch();
    void read(Reading& reading, bool serial);
    void show(const ReadPiece& piece, bool serial);
    CommandBytes compose(const QString& text, QString& shown, LineMarks& marks);
    // Hands on as read while a protocol is chosen and nothing runs that reads otherwise.
    void handOn();
    LinkChoice& links() const;
    void flush(Reading* reading);

    frmMain& m_window;
    EventLog& m_log;
    CommandLine& m_commandLine;
    RepeatControl& m_repeats;
    ProtocolCatalogue* m_catalogue = nullptr;
    ProtocolMenu* m_protocols = nullptr;
    QFileSystemWatcher* m_watcher = nullptr; // the chosen description's file
    QTimer* m_settle = nullptr;              // lets an editor finish writing it
    QAction* m_hidePolls = nullptr;
    QAction* m_sendAsTyped = nullptr;
    QString m_name;
    QString m_file; // the chosen description's, when the engineer's
    std::shared_ptr<const Description> m_description;
    QString m_text; // its text as read
    std::unique_ptr<Reading> m_serial, m_tcp;
    bool m_asTyped = false;
    LineMarks m_from;         // the sender of the datagram being read
    bool m_running = false;   // a repeat or a check file
    qint64 m_hidden = 0;      // polls hidden, all links
    qint64 m_hiddenLine = -1; // the line that counts them
};
