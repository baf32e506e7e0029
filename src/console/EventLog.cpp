#include "console/EventLog.h"

#include <QScrollBar>
#include <QTimer>

int EventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_lines.at(index.row());
    return {};
}

void EventLogModel::append(const QString& line)
{
    const int row = int(m_lines.size());
    beginInsertRows(QModelIndex(), row, row);
    m_lines.append(line);
    endInsertRows();
}

void EventLogModel::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

EventLog::EventLog(QWidget* parent) : QListView(parent), m_model(this)
{
    setModel(&m_model);
    // Every line is one row of one font: uniform sizes keep an append from re-laying out the rest.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void EventLog::AddLine(const QString& text)
{
    const QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    m_model.append(text);
    // Scrolling on every append is quadratic; one scroll per event-loop turn is enough, and only
    // while the operator has not scrolled up to read older lines.
    if (atBottom && !m_scrollPending) {
        m_scrollPending = true;
        QTimer::singleShot(0, this, &EventLog::followNewest);
    }
}

void EventLog::Clear()
{
    m_model.clear();
}

void EventLog::followNewest()
{
    m_scrollPending = false;
    scrollToBottom();
}
