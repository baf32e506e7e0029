#include "console/EventLog.h"

#include "console/ByteDumpWindow.h"
#include "console/EventLogDelegate.h"
#include "console/LogSaver.h"
#include "console/TrafficLines.h"
#include "links/EventTurn.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
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
        return m_lines[size_t(index.row())].text();
    if (role == Qt::ToolTipRole)
        return m_lines[size_t(index.row())].summary();
    if (role == EventLogDelegate::InCodePageRole)
        return m_lines[size_t(index.row())].inCodePage();
    return {};
}

void EventLogModel::append(LogLine line)
{
    m_keptBytes += line.byteCount();
    m_lines.push_back(std::move(line));
    keepWithinBudget();
    if (!m_showTimer.isActive())
        m_showTimer.start(int(qMax<qint64>(0, m_nextShowMs - m_clock.elapsed())));
}

void EventLogModel::keepWithinBudget()
{
    if (m_keptBytes <= m_keptBytesAtMost)
        return;
    // The oldest lines after the notice go, the newest line never.
    const qsizetype first = m_leftLines > 0 ? 1 : 0;
    qsizetype end = first;
    for (; m_keptBytes > m_keptBytesAtMost && end + 1 < qsizetype(m_lines.size()); ++end) {
        const qsizetype bytes = m_lines[size_t(end)].byteCount();
        m_keptBytes -= bytes;
        m_leftBytes += bytes;
    }
    if (end == first)
        return;
    m_leftLines += end - first;
    m_leftEver += end - first;
    // Rows the view knows of are removed as rows; lines it has not been shown yet just go.
    const qsizetype shownGone = qBound(qsizetype(0), qsizetype(m_shown) - first, end - first);
    if (shownGone > 0)
        beginRemoveRows(QModelIndex(), int(first), int(first + shownGone - 1));
    m_lines.erase(m_lines.begin() + first, m_lines.begin() + end);
    m_shown -= int(shownGone);
    if (shownGone > 0)
        endRemoveRows();
    if (first == 1) {
        m_lines.front() = LogLine::Status(leftNotice(), QDateTime::currentMSecsSinceEpoch());
        if (m_shown > 0)
            emit dataChanged(index(0), index(0));
        return;
    }
    // The notice comes in as a row at once, at the top, ahead of the lines held back.
    beginInsertRows(QModelIndex(), 0, 0);
    m_lines.push_front(LogLine::Status(leftNotice(), QDateTime::currentMSecsSinceEpoch()));
    ++m_shown;
    endInsertRows();
}

QString EventLogModel::leftNotice() const
{
    const qint64 kib = m_keptBytesAtMost >> 10;
    const QString budget =
        m_keptBytesAtMost % (1 << 20) == 0   ? QStringLiteral("%1 MiB").arg(kib >> 10)
        : m_keptBytesAtMost % (1 << 10) == 0 ? QStringLiteral("%1 KiB").arg(kib)
                                             : QStringLiteral("%1 bytes").arg(m_keptBytesAtMost);
    return QStringLiteral("%1 %2 (%3 bytes) left the log since it was last cleared, to keep it "
                          "within %4")
        .arg(m_leftLines)
        .arg(m_leftLines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(m_leftBytes)
        .arg(budget);
}

void EventLogModel::clear()
{
    m_showTimer.stop();
    beginResetModel();
    m_lines.clear();
    m_shown = 0;
    m_keptBytes = 0;
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
    m_nextShowMs = end + 4 * (end - start);
}

EventLog::EventLog(QWidget* parent)
    : QListView(parent), m_model(this), m_saveFolder(QDir::homePath()),
      m_askPath([this](const QString& proposed) {
          return QFileDialog::getSaveFileName(this, tr("Save Log As"), proposed,
                                              tr("Log files (*.log);;All files (*)"));
      })
{
    setModel(&m_model);
    setItemDelegate(new EventLogDelegate(this));
    // Every line is one row of one font: uniform sizes keep an append from re-laying out the rest.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The actions carry the keys, so the context menu shows them; they act while the log has
    // the focus.
    const auto addAction = [this](const QString& text, const QKeySequence& key, auto slot) {
        auto* action = new QAction(text, this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        QWidget::addAction(action);
        return action;
    };
    addAction(tr("Copy"), QKeySequence::Copy, &EventLog::copySelection);
    addAction(tr("Copy as Hex"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
              &EventLog::copySelectionAsHex);
    addAction(tr("Select All"), QKeySequence::SelectAll, &QAbstractItemView::selectAll);
    QAction* show =
        addAction(tr("Show Bytes"), QKeySequence(Qt::CTRL | Qt::Key_B), &EventLog::showBytes);
    addAction(tr("Save Log As\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S), &EventLog::saveLogAs);
    // Offered only on a line that stands for bytes.
    const auto offerBytes = [this, show] {
        const QModelIndex current = currentIndex();
        show->setEnabled(current.isValid() && record(current.row()).hasBytes());
    };
    offerBytes();
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, offerBytes);
    connect(&m_model, &QAbstractItemModel::modelReset, this, offerBytes);
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
    m_model.append(LogLine::Status(text, QDateTime::currentMSecsSinceEpoch()));
}

void EventLog::AddCommand(const QString& text, const QByteArray& bytes)
{
    m_model.append(LogLine::Output(text, bytes, QDateTime::currentMSecsSinceEpoch()));
}

void EventLog::AddReply(QByteArrayView reply, qint64 answerMs, bool continued)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qsizetype at = 0;
    do {
        const QByteArrayView piece = reply.sliced(at, qMin(m_lineBytes, reply.size() - at));
        const QString& marker = at == 0 && !continued ? kInputMarker : kContinuedMarker;
        // Rendered a slice at a time, the window's events handled between.
        m_model.append(LogLine::Input(InputLine(piece, marker, EventTurn), marker.size(), piece,
                                      at == 0 ? answerMs : -1, now));
        at += piece.size();
    } while (at < reply.size());
}

void EventLog::Clear()
{
    m_model.clear();
}

QStringList EventLog::lines() const
{
    QStringList texts;
    texts.reserve(count());
    for (const LogLine& line : m_model.lines())
        texts << line.text();
    return texts;
}

QList<int> SelectedRows(const QItemSelectionModel& selection)
{
    QList<int> rows;
    for (const QItemSelectionRange& range : selection.selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QString EventLog::selectedText() const
{
    QStringList selected;
    for (int row : SelectedRows(*selectionModel()))
        selected << line(row);
    return selected.join(QLatin1Char('\n'));
}

void EventLog::copySelection() const
{
    if (selectionModel()->hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

QString EventLog::selectedHex() const
{
    QStringList selected;
    for (int row : SelectedRows(*selectionModel())) {
        if (record(row).hasBytes())
            selected << QString::fromLatin1(record(row).bytes().toHex(' ').toUpper());
    }
    return selected.join(QLatin1Char('\n'));
}

void EventLog::copySelectionAsHex() const
{
    const QString hex = selectedHex();
    if (!hex.isEmpty())
        QGuiApplication::clipboard()->setText(hex);
}

ByteDumpWindow* EventLog::showBytes()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !record(current.row()).hasBytes())
        return nullptr;
    // A window of the terminal's own, so that it closes with it.
    auto* dump = new ByteDumpWindow(record(current.row()), window());
    dump->show();
    return dump;
}

void EventLog::saveLogAs()
{
    const QString name = QStringLiteral("accessterm-%1.log")
                             .arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-hhmmss"));
    const QString path = m_askPath(QDir(m_saveFolder).filePath(name));
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    saveLog(path);
}

void EventLog::saveLog(const QString& path)
{
    auto* saver = new LogSaver(path, m_model, this);
    connect(saver, &LogSaver::finished, this,
            [this, saver](const QString& file, qsizetype lines, const QString& error) {
                saver->deleteLater();
                if (error.isEmpty())
                    AddLine(QStringLiteral("Log saved: %1 (%2 lines)").arg(file).arg(lines));
                else
                    AddLine(QStringLiteral("Log not saved: %1 \u2014 %2").arg(file, error));
            });
}
