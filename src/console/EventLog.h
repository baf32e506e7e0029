#pragma once

#include "console/LogLine.h"
#include "links/LineSink.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QListView>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class ByteDumpWindow;
class QItemSelectionModel;

// The lines of the event log, newest last. They keep at most a budget of reply (and command)
// bytes: once more have come, the oldest lines leave, and a first line says how many lines and
// bytes have left since the log was last cleared. Appended lines are held back from the view and
// announced together: the list view lays out every row again after each insertion, so
// announcing each line makes a burst quadratic. A batch goes out on the next event-loop turn,
// but never sooner after the last one than four times what the last one cost the view, so
// laying out stays within a fifth of the time however long the log grows.
class EventLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // The bytes the lines keep at most: a peer that floods would otherwise grow the program
    // until the system stops it. A line of the log takes two to eight bytes a byte.
    static constexpr qsizetype kKeptBytes = qsizetype(256) << 20;

    explicit EventLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The line's text, and as its tooltip what it is and when it came.
    QVariant data(const QModelIndex& index, int role) const override;

    void append(LogLine line);
    void clear();
    // Every line, those not yet announced to the view included.
    const std::deque<LogLine>& lines() const { return m_lines; }
    void setKeptBytes(qsizetype bytes) { m_keptBytesAtMost = bytes; }
    // Since the last clear: the lines and the bytes they stood for that have left the log.
    qint64 leftLines() const { return m_leftLines; }
    qint64 leftBytes() const { return m_leftBytes; }
    // The lines that have left since the model was made, whether cleared since or not.
    qint64 leftEver() const { return m_leftEver; }

signals:
    // Emitted once the held-back lines have become rows.
    void linesShown();

private:
    void showPending();
    void keepWithinBudget();
    QString leftNotice() const;

    std::deque<LogLine> m_lines;
    qsizetype m_keptBytesAtMost = kKeptBytes;
    qint64 m_keptBytes = 0; // the bytes the lines stand for
    qint64 m_leftLines = 0;
    qint64 m_leftBytes = 0;
    qint64 m_leftEver = 0;
    int m_shown = 0; // the rows the view knows of: the first m_shown lines
    QTimer m_showTimer;
    QElapsedTimer m_clock;
    qint64 m_nextShowMs = 0; // on m_clock, the earliest time for the next batch
};

// The event log list: plain text lines, the newest kept in view while the operator has not
// scrolled up to read. The operator selects lines (click, Shift, Ctrl, Ctrl+A) and copies them
// whole with Ctrl+C, or their bytes as hex with Ctrl+Shift+C; Ctrl+B shows the current line's
// bytes in a window of their own, and Ctrl+S saves the whole log to a file. The context menu
// offers each of them.
class EventLog : public QListView, public LineSink
{
    Q_OBJECT
public:
    explicit EventLog(QWidget* parent = nullptr);

    // A status line.
    void AddLine(const QString& text) override;
    // A command's line, with the bytes it encodes to (none when it could not be encoded).
    void AddCommand(const QString& text, const QByteArray& bytes);
    // A reply's line, rendered, with its bytes and the time it took to come (-1 for none). A
    // reply longer than the longest line goes on in further lines, each of the next bytes and
    // begun with kContinuedMarker, so that no line is beyond what the window draws and copies;
    // so does the first when the reply continues the one before.
    void AddReply(QByteArrayView reply, qint64 answerMs, bool continued = false);
    void Clear();

    // The reply bytes a line holds at most.
    static constexpr qsizetype kLineBytes = qsizetype(16) << 20;
    // For tests: a smaller budget of kept bytes and a shorter longest line.
    void setLimits(qsizetype keptBytes, qsizetype lineBytes)
    {
        m_model.setKeptBytes(keptBytes);
        m_lineBytes = qMax<qsizetype>(1, lineBytes);
    }
    const EventLogModel& logModel() const { return m_model; }

    // The lines, those not yet shown included: how many, one's text (empty past the end), one's
    // whole record, and every text in order.
    int count() const { return int(m_model.lines().size()); }
    QString line(int row) const
    {
        return row >= 0 && row < count() ? record(row).text() : QString();
    }
    const LogLine& record(int row) const { return m_model.lines().at(size_t(row)); }
    QStringList lines() const;

    // The selected lines, whole and in log order, one per line of the text.
    QString selectedText() const;
    void copySelection() const;
    // The selected lines' bytes as upper-case hex pairs, one line each; status lines left out.
    QString selectedHex() const;
    void copySelectionAsHex() const;
    // Opens a window on the current line's bytes; none when the line stands for no bytes.
    ByteDumpWindow* showBytes();
    // Asks where to save the log, proposing a new file in the folder last used, then saves.
    void saveLogAs();
    // Writes every line to path, between the window's other events; a log line tells how it went.
    void saveLog(const QString& path);
    // Replaces the save dialog: given the proposed path, returns the chosen one (empty: none).
    void setSavePathAsker(std::function<QString(const QString&)> ask) { m_askPath = ask; }

private:
    EventLogModel m_model;
    qsizetype m_lineBytes = kLineBytes;
    bool m_followNewest = true; // whether the last row was in view when rows came
    QString m_saveFolder;       // where the last save went, for this run only
    std::function<QString(const QString&)> m_askPath;
};

// The rows of a selection, in order and each once, taken from its ranges rather than an index
// per row: Ctrl+A on a long list is one range.
QList<int> SelectedRows(const QItemSelectionModel& selection);
