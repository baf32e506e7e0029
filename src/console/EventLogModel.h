#pragma once

#include "console/LogLine.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <deque>

// The lines of the event log, newest last. They hold at most a budget of memory, counted as what
// each line really holds (its text, two bytes a character, is most of it: a reply's zeros take
// eight bytes a byte, its letters two): once more is held, the oldest lines leave, and a first
// line says how many lines and reply bytes have left since the log was last cleared. Appended lines
// are held back from the view and announced together: the list view lays out every row again after
// each insertion, so announcing each line makes a burst quadratic. A batch goes out on the next
// event-loop turn, but never sooner after the last one than four times what the last one cost the
// view, so laying out stays within a fifth of the time however long the log grows.
class EventLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // The memory the lines hold at most: a peer that floods would otherwise grow the program
    // until the system stops it.
    static constexpr qsizetype kKeptMemory = qsizetype(512) << 20;

    explicit EventLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The line's text, as its tooltip what it is and when it came, red text for a reply whose
    // check value is wrong or a line marked so, and the text shown after it.
    QVariant data(const QModelIndex& index, int role) const override;

    void append(LogLine line);
    // Puts line in place of the one numbered number (see firstNumber); false when that one has
    // left or was cleared.
    bool replace(qint64 number, LogLine line);
    // The number of the newest line; -1 before any.
    qint64 lastNumber() const { return m_goneEver + qint64(m_lines.size()) - noticeRows() - 1; }
    void clear();
    // Every line, those not yet announced to the view included.
    const std::deque<LogLine>& lines() const { return m_lines; }
    void setKeptMemory(qsizetype bytes) { m_keptMemoryAtMost = bytes; }
    // The least time between two batches, for traffic that comes many times a second (a
    // repeat): each batch costs the view a repaint. 0, the default, paces by the view's cost only.
    void setShowEveryMs(int ms) { m_showEveryMs = ms; }
    qint64 keptMemory() const { return m_keptMemory; } // what the lines kept hold
    // Since the last clear: the lines and the bytes they stood for that have left the log.
    qint64 leftLines() const { return m_leftLines; }
    qint64 leftBytes() const { return m_leftBytes; }
    // The lines that have left since the model was made, whether cleared since or not.
    qint64 leftEver() const { return m_leftEver; }
    // Appended lines are numbered from 0 in the order they came, for those who follow lines while
    // older ones leave or are cleared: the first held after the notice of lines that left (which
    // is not numbered), and the rows that notice takes (0 or 1).
    qint64 firstNumber() const { return m_goneEver; }
    int noticeRows() const { return m_noticeHeld ? 1 : 0; }

signals:
    // Emitted once the held-back lines have become rows.
    void linesShown();

private:
    void showPending();
    void keepWithinBudget();
    QString leftNotice() const;

    std::deque<LogLine> m_lines;
    qsizetype m_keptMemoryAtMost = kKeptMemory;
    qint64 m_keptMemory = 0; // the lines' footprints added up
    qint64 m_leftLines = 0;
    qint64 m_leftBytes = 0;
    qint64 m_leftEver = 0;
    qint64 m_goneEver = 0; // appended lines no longer held, left or cleared
    bool m_noticeHeld = false;
    int m_shown = 0; // the rows the view knows of: the first m_shown lines
    QTimer m_showTimer;
    QElapsedTimer m_clock;
    qint64 m_nextShowMs = 0; // on m_clock, the earliest time for the next batch
    int m_showEveryMs = 0;
};
