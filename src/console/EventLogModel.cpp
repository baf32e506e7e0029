#include "console/EventLogModel.h"

#include "console/EventLogDelegate.h"

#include <QColor>
#include <QDateTime>

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
    const LogLine& line = m_lines[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return line.text();
    case Qt::ToolTipRole:
        return line.tooltip();
    // A reply whose check value is wrong, or a line marked so, stands out without hovering.
    case Qt::ForegroundRole:
        return line.checkFailed() || line.flagged() ? QVariant(QColor(Qt::red)) : QVariant();
    case Qt::AccessibleDescriptionRole:
    case EventLogDelegate::AsideRole:
        return line.aside().isEmpty() ? QVariant() : QVariant(line.aside());
    case EventLogDelegate::InCodePageRole:
        return line.inCodePage();
    default:
        return {};
    }
}

void EventLogModel::append(LogLine line)
{
    m_keptMemory += line.footprint();
    m_lines.push_back(std::move(line));
    keepWithinBudget();
    if (!m_showTimer.isActive())
        m_showTimer.start(int(qMax<qint64>(0, m_nextShowMs - m_clock.elapsed())));
}

bool EventLogModel::replace(qint64 number, LogLine line)
{
    const qint64 row = number - m_goneEver + noticeRows();
    if (number < m_goneEver || row >= qint64(m_lines.size()))
        return false;
    m_keptMemory += line.footprint() - m_lines[size_t(row)].footprint();
    m_lines[size_t(row)] = std::move(line);
    if (row < m_shown)
        emit dataChanged(index(int(row)), index(int(row)));
    return true;
}

void EventLogModel::keepWithinBudget()
{
    if (m_keptMemory <= m_keptMemoryAtMost)
        return;
    // The oldest lines after the notice go, the newest line never.
    const qsizetype first = m_leftLines > 0 ? 1 : 0;
    qsizetype end = first;
    for (; m_keptMemory > m_keptMemoryAtMost && end + 1 < qsizetype(m_lines.size()); ++end) {
        m_keptMemory -= m_lines[size_t(end)].footprint();
        m_leftBytes += m_lines[size_t(end)].byteCount();
    }
    if (end == first)
        return;
    m_leftLines += end - first;
    m_leftEver += end - first;
    m_goneEver += end - first;
    // Rows the view knows of are removed as rows; lines it has not been shown yet just go.
    const qsizetype shownGone = qBound(qsizetype(0), qsizetype(m_shown) - first, end - first);
    if (shownGone > 0)
        beginRemoveRows(QModelIndex(), int(first), int(first + shownGone - 1));
    m_lines.erase(m_lines.begin() + first, m_lines.begin() + end);
    m_shown -= int(shownGone);
    if (shownGone > 0)
        endRemoveRows();
    if (first == 1) {
        m_keptMemory -= m_lines.front().footprint();
        m_lines.front() = LogLine::Status(leftNotice(), QDateTime::currentMSecsSinceEpoch());
        m_keptMemory += m_lines.front().footprint();
        if (m_shown > 0)
            emit dataChanged(index(0), index(0));
        return;
    }
    // The notice comes in as a row at once, at the top, ahead of the lines held back.
    beginInsertRows(QModelIndex(), 0, 0);
    m_lines.push_front(LogLine::Status(leftNotice(), QDateTime::currentMSecsSinceEpoch()));
    m_noticeHeld = true;
    m_keptMemory += m_lines.front().footprint();
    ++m_shown;
    endInsertRows();
}

QString EventLogModel::leftNotice() const
{
    const qint64 kib = m_keptMemoryAtMost >> 10;
    const QString budget =
        m_keptMemoryAtMost % (1 << 20) == 0   ? QStringLiteral("%1 MiB").arg(kib >> 10)
        : m_keptMemoryAtMost % (1 << 10) == 0 ? QStringLiteral("%1 KiB").arg(kib)
                                              : QStringLiteral("%1 bytes").arg(m_keptMemoryAtMost);
    return QStringLiteral("%1 %2 (%3 bytes) left the log since it was last cleared, to keep it "
                          "within %4 of memory")
        .arg(m_leftLines)
        .arg(m_leftLines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(m_leftBytes)
        .arg(budget);
}

void EventLogModel::clear()
{
    m_showTimer.stop();
    beginResetModel();
    m_goneEver += qint64(m_lines.size()) - noticeRows();
    m_noticeHeld = false;
    m_lines.clear();
    m_shown = 0;
    m_keptMemory = 0;
    m_leftLines = 0;
    m_leftBytes = 0;
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
    m_nextShowMs = qMax(end + 4 * (end - start), start + m_showEveryMs);
}
