#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

struct Description;
class ByteDumpWindow;
class QAction;
class EventLog;

// What the operator can do with the event log's lines, as actions on the log that carry their
// keys (so the context menu shows them) and act while the log has the focus: copy the selected
// lines whole (Ctrl+C) or their bytes as hex (Ctrl+Shift+C), select all, show the current line's
// bytes in a window of their own (Ctrl+B), and save the whole log to a file (Ctrl+S). The log
// itself knows nothing of them.
class LogActions : public QObject
{
    Q_OBJECT
public:
    explicit LogActions(EventLog& log);

    // The selected lines, whole and in log order, one per line of the text.
    QString selectedText() const;
    // Copies nothing, and says so in a log line, past the characters a copy takes.
    void copySelection() const;
    // The selected lines' bytes as upper-case hex pairs, one line each; status lines left out.
    QString selectedHex() const;
    void copySelectionAsHex() const;
    // The characters a copy puts on the clipboard at most; tests set fewer.
    static constexpr qint64 kCopiedAtMost = qint64(64) << 20;
    void setCopiedAtMost(qint64 characters) { m_copiedAtMost = characters; }
    // Opens a window on the current line's bytes; none when the line stands for no bytes. With
    // replies selected (or a reply current), the window names the check values that fit them.
    // A line that is one frame of the protocol the window reads by lists its fields too.
    ByteDumpWindow* showBytes();
    // Gives the protocol the window reads by, null for none.
    void setProtocol(std::function<std::shared_ptr<const Description>()> protocol)
    {
        m_protocol = std::move(protocol);
    }
    // Asks where to save the log, proposing a new file in the folder last used, then saves; the
    // dialog's "OSDP trace (*.osdpcap)" names the file so.
    void saveLogAs();
    // Writes every line to path, between the window's other events; a log line tells how it went.
    // A path ending ".osdpcap" gets an OSDP trace: a record for each line of traffic.
    void saveLog(const QString& path);
    // Replaces the save dialog: given the proposed path, returns the chosen one (empty: none).
    void setSavePathAsker(std::function<QString(const QString&)> ask) { m_askPath = ask; }
    // "Answer Automatically": checkable, off at start.
    QAction& answerAutomatically() const { return *m_answerAutomatically; }

private:
    bool fitsClipboard(qint64 characters) const;

    EventLog& m_log;
    qint64 m_copiedAtMost = kCopiedAtMost;
    QString m_saveFolder; // where the last save went, for this run only
    std::function<QString(const QString&)> m_askPath;
    std::function<std::shared_ptr<const Description>()> m_protocol;
    QAction* m_answerAutomatically = nullptr;
};
