#pragma once

#include "links/LineSink.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QListView>
#include <QString>
#include <QStringList>
#include <QTimer>

// The lines of the event log, newest last; unbounded. Appended lines are held back from the
// view and announced together: the list view lays out every row again after each insertion, so
// announcing each line makes a burst quadratic. A batch goes out on the next event-loop turn,
// but never sooner after the last one than four times what the last one cost the view, so
// laying out stays within a fifth of the time however long the log grows.
class EventLogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit EventLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void append(const QString& line);
    void clear();
    // Every line, those not yet announced to the view included.
    const QStringList& lines() const { return m_lines; }

signals:
    // Emitted once the held-back lines have become rows.
    void linesShown();

private:
    void showPending();

    QStringList m_lines;
    int m_shown = 0; // the rows the view knows of: the first m_shown lines
    QTimer m_showTimer;
    QElapsedTimer m_clock;
    qint64 m_nextShowMs = 0; // on m_clock, the earliest time for the next batch
};

// The event log list: plain text lines, the newest kept in view while the operator has not
// scrolled up to read. The operator selects lines (click, Shift, Ctrl, Ctrl+A) and copies them
// whole with Ctrl+C or the context menu.
class EventLog : public QListView, public LineSink
{
    Q_OBJECT
public:
    explicit EventLog(QWidget* parent = nullptr);

    void AddLine(const QString& text) override;
    void Clear();

    int count() const { return int(m_model.lines().size()); }
    QString line(int row) const { return m_model.lines().value(row); }
    const QStringList& lines() const { return m_model.lines(); }

    // The selected lines, whole and in log order, one per line of the text.
    QString selectedText() const;
    void copySelection() const;

private:
    EventLogModel m_model;
    bool m_followNewest = true; // whether the last row was in view when rows came
};
