#include "find/LogFind.h"

#include "console/EventLog.h"
#include "find/FindBar.h"
#include "find/FindHighlight.h"
#include "find/LogSearch.h"
#include "find/MatchingLines.h"
#include "find/TimeOfDay.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>

LogFind::LogFind(EventLog& log, QWidget& window)
    : QObject(&log), m_log(log), m_viewport(log.viewport()), m_bar(new FindBar(&log)),
      m_search(new LogSearch(log.logModel(), this)),
      m_matching(new MatchingLines(log.logModel(), *m_search, this)),
      m_highlight(new FindHighlight(log, *m_search, *m_matching, &log))
{
    m_bar->setFont(window.font());
    m_bar->hide();
    QAbstractItemDelegate* plain = log.itemDelegate();
    log.setItemDelegate(m_highlight);
    delete plain;
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(100);
    connect(&m_refresh, &QTimer::timeout, this, &LogFind::showStatus);

    const auto key = [&window, this](const QKeySequence& keys, auto slot) {
        connect(new QShortcut(keys, &window), &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { open(&m_bar->words()); });
    key(QKeySequence(Qt::CTRL | Qt::Key_T), [this] { open(&m_bar->time()); });
    key(QKeySequence(Qt::Key_F3), [this] { step(true); });
    key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { step(true); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { step(false); });

    connect(m_bar, &FindBar::queryChanged, this, &LogFind::restart);
    connect(m_bar, &FindBar::stepAsked, this, &LogFind::step);
    connect(m_bar, &FindBar::showingChanged, this, &LogFind::applyShowing);
    connect(m_bar, &FindBar::timeAsked, this, &LogFind::goToTime);
    connect(m_bar, &FindBar::closeAsked, this, &LogFind::close);
    connect(m_search, &LogSearch::currentChanged, this, &LogFind::showCurrent);
    connect(m_search, &LogSearch::progressed, this, [this] {
        // Done is said at once; the count on the way, a few times a second.
        if (m_search->complete() && !m_search->stepPending())
            showStatus();
        else if (!m_refresh.isActive())
            m_refresh.start();
    });
}

void LogFind::open(QWidget* focus)
{
    if (!m_open) {
        QWidget* had = QApplication::focusWidget();
        m_returnFocus = had && !m_bar->isAncestorOf(had) ? had : &m_log;
        m_open = true;
        // The bar takes the foot of the log; a log that followed its newest line still does.
        const QScrollBar* bar = m_log.verticalScrollBar();
        const bool following = bar->value() >= bar->maximum();
        m_log.setFootRoom(m_bar->sizeHint().height());
        placeBar();
        m_bar->show();
        m_bar->raise();
        if (following)
            m_log.scrollToBottom();
        qApp->installEventFilter(this);
        m_highlight->setMarking(true);
        if (!m_search->matcher() && m_why.isEmpty())
            restart();
        applyShowing();
        m_log.viewport()->update();
        emit openChanged(true);
    }
    if (focus) {
        focus->setFocus(Qt::ShortcutFocusReason);
        if (auto* field = qobject_cast<QLineEdit*>(focus))
            field->selectAll();
    }
}

void LogFind::close()
{
    if (!m_open)
        return;
    const bool hadFocus = m_bar->isAncestorOf(QApplication::focusWidget());
    m_open = false;
    qApp->removeEventFilter(this);
    m_bar->hide();
    m_log.setFootRoom(0);
    m_highlight->setMarking(false);
    applyShowing();
    m_log.viewport()->update();
    if (hadFocus)
        (m_returnFocus ? m_returnFocus.data() : &m_log)->setFocus(Qt::OtherFocusReason);
    emit openChanged(false);
}

bool LogFind::eventFilter(QObject* watched, QEvent* event)
{
    // The viewport's own resize, heard while open: by then the log has laid it out anew.
    if (watched == m_viewport && event->type() == QEvent::Resize)
        placeBar();
    // While open, the bar takes Escape from wherever the focus is in the window, before any
    // shortcut; a popup (a list, a menu) takes it first.
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (m_open && key && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == m_log.window() && !QApplication::activePopupWidget()) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                close();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void LogFind::placeBar()
{
    const QRect view = m_log.viewport()->geometry();
    const int height = m_bar->sizeHint().height();
    m_bar->setGeometry(view.left(), view.bottom() + 1, view.width(), height);
}

qint64 LogFind::anchor() const
{
    // The current match while it is held; else the current line in view; else the top line.
    if (m_search->current() >= m_log.logModel().firstNumber())
        return m_search->current();
    const QRect view = m_log.viewport()->rect();
    QModelIndex at = m_log.currentIndex();
    if (!at.isValid() || !m_log.visualRect(at).intersects(view))
        at = m_log.indexAt(QPoint(1, 1));
    if (!at.isValid())
        return m_search->endNumber();
    return qMax(m_log.logModel().firstNumber(), m_search->numberOf(m_log.lineOfRow(at.row())));
}

void LogFind::restart()
{
    m_why.clear();
    m_note.clear();
    m_wrapped = false;
    std::optional<LineMatcher> matcher = m_bar->matcher(m_why);
    m_search->start(std::move(matcher), anchor());
    applyShowing();
    showStatus();
    m_log.viewport()->update();
}

void LogFind::step(bool forward)
{
    if (!m_open)
        open(nullptr);
    m_note.clear();
    m_search->step(forward);
    showStatus();
}

void LogFind::showCurrent(qint64 number, bool wrapped)
{
    m_wrapped = wrapped;
    const int row = m_log.rowOfLine(m_search->indexOf(number));
    if (row >= 0) {
        goToRow(row, false);
        // A match far along a long line is scrolled to, a third of the way into the view.
        const LogLine& line = m_log.shownRecord(row);
        const QList<LineMatcher::Span> first =
            m_search->matcher()->spans(line, line.text().size(), 1);
        const qreal x = first.isEmpty()
                            ? 0
                            : m_highlight->advanceTo(m_log.font(), line.text(), first.front().from);
        // Once the view has laid out the rows that came with it, which may widen it.
        QTimer::singleShot(0, this, [this, x] {
            const int width = m_log.viewport()->width();
            m_log.horizontalScrollBar()->setValue(x < width * 2 / 3 ? 0 : int(x) - width / 3);
        });
    }
    showStatus();
}

void LogFind::goToRow(int row, bool atTop)
{
    const QModelIndex index = m_log.model()->index(row, 0);
    m_log.setCurrentIndex(index);
    m_log.scrollTo(index,
                   atTop ? QAbstractItemView::PositionAtTop : QAbstractItemView::EnsureVisible);
    m_log.viewport()->update();
}

void LogFind::goToTime(const QString& text)
{
    const std::optional<QTime> time = TimeOfDay(text);
    qsizetype line = time ? FirstLineAt(m_log.logModel(), *time) : -1;
    int row = line < 0 ? -1 : m_log.rowOfLine(line);
    if (line >= 0 && m_log.shownOnly() == m_matching) {
        row = m_matching->rowAtOrAfter(line);
        line = row < m_matching->rowCount() ? m_matching->lineOf(row) : -1;
    }
    if (!time)
        m_note = tr("not a time of day: hh:mm, hh:mm:ss or hh:mm:ss.zzz");
    else if (line < 0)
        m_note = tr("no line at or after %1").arg(text.trimmed());
    else
        m_note = tr("went to %1")
                     .arg(QDateTime::fromMSecsSinceEpoch(m_log.record(int(line)).timeMs())
                              .toString(u"hh:mm:ss.zzz"));
    if (line >= 0)
        goToRow(row, true);
    showStatus();
}

void LogFind::showStatus()
{
    m_refresh.stop();
    const qsizetype count = qsizetype(m_search->found().size());
    QString text;
    if (!m_note.isEmpty())
        text = m_note;
    else if (!m_why.isEmpty())
        text = m_why;
    else if (!m_search->searching())
        text.clear();
    else if (!m_search->complete() || m_search->stepPending())
        text = tr("%1 so far, searching\u2026").arg(count);
    else if (count == 0)
        text = tr("no match");
    else if (m_search->current() >= 0)
        text = tr("%1 of %2").arg(m_search->ordinal()).arg(count) +
               (m_wrapped ? tr(", wrapped") : QString());
    else
        text = count == 1 ? tr("1 match") : tr("%1 matches").arg(count);
    if (m_note.isEmpty() && m_search->gaveUp() > 0)
        text += tr("; the pattern gave up on %1 long %2, counted as no match")
                    .arg(m_search->gaveUp())
                    .arg(m_search->gaveUp() == 1 ? tr("line") : tr("lines"));
    m_bar->setStatus(text);
    if (m_open)
        m_log.viewport()->update();
}

void LogFind::applyShowing()
{
    const bool only = m_open && m_bar->onlyMatching() && m_search->searching();
    m_matching->setContext(m_bar->context());
    if (only == (m_log.shownOnly() == m_matching))
        return;
    // The line that was current stays current, or the nearest shown after it.
    const QModelIndex current = m_log.currentIndex();
    const qsizetype line = current.isValid() ? m_log.lineOfRow(current.row()) : -1;
    m_matching->setActive(only);
    m_log.showOnly(only ? m_matching : nullptr);
    if (line < 0)
        return;
    const int row = only ? m_matching->rowAtOrAfter(line) : int(line);
    if (row < m_log.model()->rowCount()) {
        const QModelIndex index = m_log.model()->index(row, 0);
        m_log.setCurrentIndex(index);
        m_log.scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}
