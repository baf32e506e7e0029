#include "console/EventLog.h"

#include "console/EventLogDelegate.h"
#include "links/EventTurn.h"
#include "terminal/TrafficLines.h"

#include <QDateTime>
#include <QScrollBar>

EventLog::EventLog(QWidget* parent) : QListView(parent), m_model(this)
{
    setModel(&m_model);
    setItemDelegate(new EventLogDelegate(this));
    // Every line is one row of one font: uniform sizes keep an append from re-laying out the rest.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Whether to follow is decided by where the view stood before the rows came, and only then
    // is it scrolled: once per batch of lines, never once per line.
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = verticalScrollBar();
        m_followNewest = bar->value() >= bar->maximum();
    });
    connect(&m_model, &EventLogModel::linesShown, this, [this] {
        // Laid out here, not on a later turn, so the batch's cost is measured with it.
        executeDelayedItemsLayout();
        if (m_followNewest)
            scrollToBottom();
    });
}

void EventLog::AddLine(const QString& text)
{
    m_model.append(LogLine::Status(text, QDateTime::currentMSecsSinceEpoch()));
}

void EventLog::AddMarkedLine(const QString& text, const LineMarks& marks)
{
    m_model.append(LogLine::Status(text, QDateTime::currentMSecsSinceEpoch(), marks));
}

void EventLog::UpdateLine(qint64& number, const QString& text)
{
    LogLine line = LogLine::Status(text, QDateTime::currentMSecsSinceEpoch());
    if (number >= 0 && m_model.replace(number, std::move(line)))
        return;
    AddLine(text);
    number = m_model.lastNumber();
}

void EventLog::AddCommand(const QString& text, const QByteArray& bytes, const QString& typed,
                          const QString& note, const LineMarks& marks)
{
    m_model.append(
        LogLine::Output(text, bytes, QDateTime::currentMSecsSinceEpoch(), typed, note, marks));
}

void EventLog::AddReply(QByteArrayView reply, qint64 answerMs, bool continued,
                        const ReplyCheck& check, const LineMarks& marks)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qsizetype at = 0;
    do {
        const QByteArrayView piece = reply.sliced(at, qMin(m_lineBytes, reply.size() - at));
        const QString& marker = at == 0 && !continued ? kInputMarker : kContinuedMarker;
        // Rendered a slice at a time, the window's events handled between.
        m_model.append(LogLine::Input(InputLine(piece, marker, EventTurn), marker.size(), piece,
                                      at == 0 ? answerMs : -1, now, at == 0 ? check : ReplyCheck(),
                                      at == 0 ? marks : LineMarks()));
        at += piece.size();
    } while (at < reply.size());
}

void EventLog::Clear()
{
    m_model.clear();
}

void EventLog::showOnly(ShownLines* rows)
{
    if (rows == m_only)
        return;
    m_only = rows;
    // The view makes a new selection model for the new rows; the old one is of no further use.
    QItemSelectionModel* old = selectionModel();
    setModel(rows ? static_cast<QAbstractItemModel*>(rows) : &m_model);
    delete old;
    emit shownChanged();
}

QStringList EventLog::lines() const
{
    QStringList texts;
    texts.reserve(count());
    for (const LogLine& line : m_model.lines())
        texts << line.text();
    return texts;
}
