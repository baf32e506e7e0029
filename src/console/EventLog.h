#pragma once

#include "console/EventLogModel.h"
#include "console/LogLine.h"
#include "console/ShownLines.h"
#include "links/LineSink.h"

#include <QListView>
#include <QString>
#include <QStringList>

// The event log list: plain text lines, the newest kept in view while the operator has not
// scrolled up to read. The operator selects lines (click, Shift, Ctrl, Ctrl+A); what can be done
// with them is offered by those who own the actions, not by the list.
class EventLog : public QListView, public LineSink
{
    Q_OBJECT
public:
    explicit EventLog(QWidget* parent = nullptr);

    // A status line.
    void AddLine(const QString& text) override;
    // A status line with what an addition marks it with.
    void AddMarkedLine(const QString& text, const LineMarks& marks);
    // A status line that says what keeps changing (a count): the first call adds it, the next
    // ones put their text in its place, until it has left the log or the log was cleared, when
    // the text comes as a new line. number keeps which line it is (-1: none yet).
    void UpdateLine(qint64& number, const QString& text);
    // A command's line, with the bytes it encodes to (none when it could not be encoded); when
    // the line shows more than was typed, the line as typed; and when the operator did not send
    // it, a note of what did, shown in the line's tooltip.
    void AddCommand(const QString& text, const QByteArray& bytes, const QString& typed = {},
                    const QString& note = {}, const LineMarks& marks = {});
    // A reply's line, rendered, with its bytes and the time it took to come (-1 for none). A
    // reply longer than the longest line goes on in further lines, each of the next bytes and
    // begun with kContinuedMarker, so that no line is beyond what the window draws and copies;
    // so does the first when the reply continues the one before. The first line keeps the
    // verdict on the reply's check value, and the marks.
    void AddReply(QByteArrayView reply, qint64 answerMs, bool continued = false,
                  const ReplyCheck& check = {}, const LineMarks& marks = {});
    void Clear();

    // The reply bytes a line holds at most.
    static constexpr qsizetype kLineBytes = qsizetype(16) << 20;
    // For tests: a smaller budget of memory and a shorter longest line.
    void setLimits(qsizetype keptMemory, qsizetype lineBytes)
    {
        m_model.setKeptMemory(keptMemory);
        m_lineBytes = qMax<qsizetype>(1, lineBytes);
    }
    const EventLogModel& logModel() const { return m_model; }
    // New lines come into view at most this often (0: as the view's cost allows).
    void SetShowEveryMs(int ms) { m_model.setShowEveryMs(ms); }

    // The lines, those not yet shown included: how many, one's text (empty past the end), one's
    // whole record, and every text in order.
    int count() const { return int(m_model.lines().size()); }
    QString line(int row) const
    {
        return row >= 0 && row < count() ? record(row).text() : QString();
    }
    const LogLine& record(int row) const { return m_model.lines().at(size_t(row)); }
    QStringList lines() const;

    // Shows only some of the lines, those of rows, in place of all (none: every line again). The
    // view's rows are then those of rows: what acts on rows of the view asks which line one is.
    void showOnly(ShownLines* rows);
    const ShownLines* shownOnly() const { return m_only; }
    qsizetype lineOfRow(int row) const { return m_only ? m_only->lineOf(row) : row; }
    int rowOfLine(qsizetype line) const { return m_only ? m_only->rowOf(line) : int(line); }
    const LogLine& shownRecord(int row) const { return record(int(lineOfRow(row))); }
    // Room at the foot of the view for a bar laid over it: rows are laid out above the bar, and
    // every one of them can be scrolled into view.
    void setFootRoom(int pixels) { setViewportMargins(0, 0, 0, pixels); }

signals:
    // The view shows other rows: all lines, or only some (with a new selection model).
    void shownChanged();

private:
    EventLogModel m_model;
    qsizetype m_lineBytes = kLineBytes;
    bool m_followNewest = true; // whether the last row was in view when rows came
    ShownLines* m_only = nullptr;
};
