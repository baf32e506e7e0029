#include "reading/LogActions.h"

#include "console/EventLog.h"
#include "console/SelectedRows.h"
#include "reading/ByteDumpWindow.h"
#include "reading/CheckFinderNote.h"
#include "reading/LogSaver.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>

namespace
{

const QString kTraceSuffix = QStringLiteral(".osdpcap");

bool IsTrace(const QString& path)
{
    return path.endsWith(kTraceSuffix, Qt::CaseInsensitive);
}

} // namespace

LogActions::LogActions(EventLog& log)
    : QObject(&log), m_log(log), m_saveFolder(QDir::homePath()),
      m_askPath([this](const QString& proposed) {
          const QString trace = tr("OSDP trace (*.osdpcap)");
          QString filter;
          QString path = QFileDialog::getSaveFileName(
              &m_log, tr("Save Log As"), proposed,
              tr("Log files (*.log)") + QStringLiteral(";;") + trace + tr(";;All files (*)"),
              &filter);
          // The trace's file type chosen: the name says it, as saveLog reads it.
          if (filter == trace && !path.isEmpty() && !IsTrace(path)) {
              if (path.endsWith(QLatin1String(".log"), Qt::CaseInsensitive))
                  path.chop(4);
              path += kTraceSuffix;
          }
          return path;
      })
{
    const auto addAction = [this](const QString& text, const QKeySequence& key, auto slot) {
        auto* action = new QAction(text, &m_log);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_log.addAction(action);
        return action;
    };
    addAction(tr("Copy"), QKeySequence::Copy, &LogActions::copySelection);
    addAction(tr("Copy as Hex"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
              &LogActions::copySelectionAsHex);
    addAction(tr("Select All"), QKeySequence::SelectAll, [this] { m_log.selectAll(); });
    QAction* show =
        addAction(tr("Show Bytes"), QKeySequence(Qt::CTRL | Qt::Key_B), &LogActions::showBytes);
    addAction(tr("Save Log As\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S), &LogActions::saveLogAs);
    // Off at start; what answers lives with whoever takes up the action's toggles.
    m_answerAutomatically = new QAction(QStringLiteral("Answer Automatically"), &m_log);
    m_answerAutomatically->setCheckable(true);
    m_log.addAction(m_answerAutomatically);
    // Offered only on a line that stands for bytes.
    const auto offerBytes = [this, show] {
        const QModelIndex current = m_log.currentIndex();
        show->setEnabled(current.isValid() && m_log.shownRecord(current.row()).hasBytes());
    };
    offerBytes();
    connect(m_log.selectionModel(), &QItemSelectionModel::currentChanged, this, offerBytes);
    connect(&m_log.logModel(), &QAbstractItemModel::modelReset, this, offerBytes);
    // The actions act on the lines shown: when they change, so does the selection model.
    connect(&m_log, &EventLog::shownChanged, this, [this, offerBytes] {
        connect(m_log.selectionModel(), &QItemSelectionModel::currentChanged, this, offerBytes);
        offerBytes();
    });
    m_log.setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString LogActions::selectedText() const
{
    QStringList selected;
    for (int row : SelectedRows(*m_log.selectionModel()))
        selected << m_log.shownRecord(row).text();
    return selected.join(QLatin1Char('\n'));
}

bool LogActions::fitsClipboard(qint64 characters) const
{
    if (characters <= m_copiedAtMost)
        return true;
    m_log.AddLine(QStringLiteral("Nothing copied: the selected lines come to %1 characters, more "
                                 "than the %2 a copy takes")
                      .arg(characters)
                      .arg(m_copiedAtMost % (1 << 20) == 0
                               ? QStringLiteral("%1 MiB").arg(m_copiedAtMost >> 20)
                               : QString::number(m_copiedAtMost)));
    return false;
}

void LogActions::copySelection() const
{
    if (!m_log.selectionModel()->hasSelection())
        return;
    // Measured before anything is built: the whole log joined would be a second copy of it.
    qint64 characters = -1;
    for (int row : SelectedRows(*m_log.selectionModel()))
        characters += m_log.shownRecord(row).text().size() + 1;
    if (fitsClipboard(characters))
        QGuiApplication::clipboard()->setText(selectedText());
}

QString LogActions::selectedHex() const
{
    QStringList selected;
    for (int row : SelectedRows(*m_log.selectionModel())) {
        if (m_log.shownRecord(row).hasBytes())
            selected << QString::fromLatin1(m_log.shownRecord(row).bytes().toHex(' ').toUpper());
    }
    return selected.join(QLatin1Char('\n'));
}

void LogActions::copySelectionAsHex() const
{
    qint64 characters = 0;
    for (int row : SelectedRows(*m_log.selectionModel()))
        characters += m_log.shownRecord(row).byteCount() * 3;
    if (!fitsClipboard(characters))
        return;
    const QString hex = selectedHex();
    if (!hex.isEmpty())
        QGuiApplication::clipboard()->setText(hex);
}

ByteDumpWindow* LogActions::showBytes()
{
    const QModelIndex current = m_log.currentIndex();
    if (!current.isValid() || !m_log.shownRecord(current.row()).hasBytes())
        return nullptr;
    // A window of the terminal's own, so that it closes with it.
    auto* dump = new ByteDumpWindow(m_log.shownRecord(current.row()), m_log.window(),
                                    m_protocol ? m_protocol() : nullptr);
    QList<QByteArray> replies;
    for (int row : SelectedRows(*m_log.selectionModel())) {
        if (m_log.shownRecord(row).kind() == LogLine::Kind::Input)
            replies << m_log.shownRecord(row).bytes();
    }
    if (replies.isEmpty() && m_log.shownRecord(current.row()).kind() == LogLine::Kind::Input)
        replies << m_log.shownRecord(current.row()).bytes();
    if (!replies.isEmpty())
        dump->setNote(CheckFinderNote(replies));
    dump->show();
    return dump;
}

void LogActions::saveLogAs()
{
    const QString name = QStringLiteral("accessterm-%1.log")
                             .arg(QDateTime::currentDateTime().toString(u"yyyyMMdd-hhmmss"));
    const QString path = m_askPath(QDir(m_saveFolder).filePath(name));
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    saveLog(path);
}

void LogActions::saveLog(const QString& path)
{
    // Only the lines shown, when the log shows only some, and the line says so.
    const ShownLines* only = m_log.shownOnly();
    QList<qsizetype> shown;
    for (int row = 0; only && row < only->rowCount(); ++row)
        shown << only->lineOf(row);
    const QString which = only ? QStringLiteral(", ") + only->description() : QString();
    // A file named as a trace gets the lines of traffic as its records.
    const bool trace = IsTrace(path);
    const LogSaver::Form form = trace ? LogSaver::Form::OsdpTrace : LogSaver::Form::Text;
    const QString type = trace ? QStringLiteral(", OSDP trace") : QString();
    auto* saver = only ? new LogSaver(path, m_log.logModel(), shown, this, form)
                       : new LogSaver(path, m_log.logModel(), this, form);
    connect(saver, &LogSaver::finished, this,
            [this, saver, which, type](const QString& file, qsizetype lines, const QString& error) {
                saver->deleteLater();
                if (error.isEmpty())
                    m_log.AddLine(QStringLiteral("Log saved: %1 (%2 lines%3%4)")
                                      .arg(file, QString::number(lines), type, which));
                else
                    m_log.AddLine(QStringLiteral("Log not saved: %1 \u2014 %2").arg(file, error));
            });
}
