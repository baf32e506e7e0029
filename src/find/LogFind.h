#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class EventLog;
class FindBar;
class FindHighlight;
class LogSearch;
class MatchingLines;
class QWidget;

// Finding in the event log, for the whole window: Ctrl+F opens the find bar over the foot of the
// log, Escape closes it (before any other use of Escape while it is open) and gives the focus
// back; F3 and Ctrl+G go to the next match, opening the bar again with the last search when it is
// closed, Shift+F3 to the previous; Ctrl+T goes to a time of day. While the bar is open the
// matches in view are marked and the log can show only the matching lines.
class LogFind : public QObject
{
    Q_OBJECT
public:
    LogFind(EventLog& log, QWidget& window);

    // Whether the bar is open: it then takes Escape first.
    bool isOpen() const { return m_open; }
    FindBar& bar() const { return *m_bar; }
    LogSearch& search() const { return *m_search; }
    MatchingLines& matching() const { return *m_matching; }

    // Opens the bar, its words taking the focus (or the time, or nothing: none).
    void open(QWidget* focus);
    void close();
    void step(bool forward);
    void goToTime(const QString& text);

signals:
    void openChanged(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restart();
    qint64 anchor() const;
    void showCurrent(qint64 number, bool wrapped);
    void goToRow(int row, bool atTop);
    void showStatus();
    void applyShowing();
    void placeBar();

    EventLog& m_log;
    // The log's viewport, kept rather than asked of a log that may be going: the filter hears
    // every event of the window, its last ones too.
    const QObject* m_viewport;
    FindBar* m_bar;
    LogSearch* m_search;
    MatchingLines* m_matching;
    FindHighlight* m_highlight;
    bool m_open = false;
    QPointer<QWidget> m_returnFocus;
    QString m_why;  // why the words search for nothing
    QString m_note; // what the last Go to time did, until the next search or step
    bool m_wrapped = false;
    QTimer m_refresh; // shows progress at most a few times a second
};
