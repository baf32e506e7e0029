#include "console/EventLog.h"

#include "console/ByteDumpWindow.h"
#include "console/EventLogDelegate.h"
#include "console/LogSaver.h"

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
    return {};
}

void EventLogModel::append(LogLine line)
{
    m_lines.push_back(std::move(line));
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

void EventLog::AddReply(const QString& text, QByteArrayView reply, qint64 answerMs)
{
    m_model.append(LogLine::Input(text, reply, answerMs, QDateTime::currentMSecsSinceEpoch()));
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
