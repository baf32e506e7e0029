#include "commandline/PasteWatch.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

PasteWatch::PasteWatch(QLineEdit& line) : QObject(&line), m_line(line)
{
    line.installEventFilter(this);
    // The line cuts an insertion to its room while it inserts, and tells only this way.
    connect(&line, &QLineEdit::inputRejected, this, [this] {
        if (m_offered > m_room)
            emit PasteCut(qMax<qsizetype>(m_room, 0), m_offered);
        m_offered = 0;
    });
}

bool PasteWatch::eventFilter(QObject*, QEvent* event)
{
    QString offered;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
            offered = QGuiApplication::clipboard()->text();
        break;
    case QEvent::ContextMenu: // for the menu's Paste
        offered = QGuiApplication::clipboard()->text();
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
            offered = QGuiApplication::clipboard()->text(QClipboard::Selection);
        break;
    case QEvent::Drop:
        offered = static_cast<QDropEvent*>(event)->mimeData()->text();
        break;
    case QEvent::InputMethod: // typed, like a key
        break;
    default:
        return false;
    }
    m_offered = offered.size();
    // A paste replaces the selection, so the selection is room too.
    m_room = m_line.maxLength() - m_line.text().size() + m_line.selectedText().size();
    return false;
}
