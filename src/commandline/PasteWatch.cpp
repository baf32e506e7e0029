#include "commandline/PasteWatch.h"

#include <QAction>
#include <QChildEvent>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

QString PastedCommandText(QStringView text)
{
    for (const QStringView end : {u"\r\n", u"\n", u"\r"}) {
        if (text.endsWith(end)) {
            text.chop(end.size());
            break;
        }
    }
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            out += QStringLiteral("<%1>").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

PasteWatch::PasteWatch(QLineEdit& line) : QObject(&line), m_line(line)
{
    line.installEventFilter(this);
}

void PasteWatch::paste(const QString& text)
{
    const QString offered = PastedCommandText(text);
    // A paste replaces the selection, so the selection is room too.
    const qsizetype room = qMax<qsizetype>(0, m_line.maxLength() - m_line.text().size() +
                                                  m_line.selectedText().size());
    qsizetype kept = qMin(room, offered.size());
    // Never into a token: "<0D>" cut to "<0" would read as something else, or not at all.
    for (qsizetype at = qMax<qsizetype>(0, kept - 3); kept < offered.size() && at < kept; ++at) {
        if (offered[at] == QLatin1Char('<') && at + 3 < offered.size() &&
            offered[at + 3] == QLatin1Char('>')) {
            kept = at;
            break;
        }
    }
    m_line.insert(offered.left(kept));
    if (kept < offered.size())
        emit PasteCut(kept, offered.size());
}

bool PasteWatch::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
            return false;
        paste(QGuiApplication::clipboard()->text());
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton ||
            !QGuiApplication::clipboard()->supportsSelection())
            return false;
        m_line.deselect();
        paste(QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // Text moved within the line is already the line's own.
        if (drop->source() == &m_line || !drop->mimeData()->hasText())
            return false;
        m_line.deselect();
        m_line.setCursorPosition(m_line.cursorPositionAt(drop->position().toPoint()));
        paste(drop->mimeData()->text());
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    case QEvent::ChildPolished:
        // The context menu, made by the line and shown: its Paste pastes here instead.
        if (auto* menu = qobject_cast<QMenu*>(static_cast<QChildEvent*>(event)->child())) {
            // Known by its text, in the line's own words.
            const QString text = QCoreApplication::translate("QLineEdit", "&Paste");
            for (QAction* action : menu->actions()) {
                if (action->text().section(QLatin1Char('\t'), 0, 0) != text)
                    continue;
                action->disconnect(&m_line);
                connect(action, &QAction::triggered, this,
                        [this] { paste(QGuiApplication::clipboard()->text()); });
            }
        }
        return false;
    default:
        return false;
    }
}
