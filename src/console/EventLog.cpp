#include "console/EventLog.h"

#include "console/EventLogDelegate.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>

#include <algorithm>

EventLogModel::EventLogModel(QObject* parent) : QAbstractListModel(parent)
{
    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(0);
    connect(&m_showTimer, &QTimer::timeout, this, &EventLogModel::showPending);
    m_clock.start();
}

int EventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    if (role == Qt::DisplayRole)
        return m_lines.at(index.row());
    return {};
}

void EventLogModel::append(const QString& line)
{
    m_lines.append(line);
    if (!m_showTimer.isActive())
        m_showTimer.start(int(qMax<qint64>(0, m_nextShowMs - m_clock.elapsed())));
}

void EventLogModel::clear()
{
    m_showTimer.stop();
    beginResetModel();
    m_lines.clear();
    m_shown = 0;
    endResetModel();
}

void EventLogModel::showPending()
{
    const int total = int(m_lines.size());
    if (total == m_shown)
        return;
    const qint64 start = m_clock.elapsed();
    beginInsertRows(QModelIndex(), m_shown, total - 1);
    m_shown = total;
    endInsertRows();
    emit linesShown();
    const qint64 end = m_clock.elapsed();
    m_nextShowMs = end + 4 * (end - start);
}

EventLog::EventLog(QWidget* parent) : QListView(parent), m_model(this)
{
    setModel(&m_model);
    setItemDelegate(new EventLogDelegate(this));
    // Every line is one row of one font: uniform sizes keep an append from re-laying out the rest.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The actions carry the keys, so the context menu shows them; they act while the log has
    // the focus.
    auto* copy = new QAction(tr("Copy"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &EventLog::copySelection);
    auto* all = new QAction(tr("Select All"), this);
    all->setShortcut(QKeySequence::SelectAll);
    all->setShortcutContext(Qt::WidgetShortcut);
    connect(all, &QAction::triggered, this, &QAbstractItemView::selectAll);
    addActions({copy, all});
    setContextMenuPolicy(Qt::ActionsContextMenu);
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
    m_model.append(text);
}

void EventLog::Clear()
{
    m_model.clear();
}

QString EventLog::selectedText() const
{
    // From the selection's row ranges, not an index per row: Ctrl+A on a long log is one range.
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList selected;
    for (int row : rows)
        selected << m_model.lines().at(row);
    return selected.join(QLatin1Char('\n'));
}

void EventLog::copySelection() const
{
    if (selectionModel()->hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}
