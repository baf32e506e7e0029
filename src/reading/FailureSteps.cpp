#include "reading/FailureSteps.h"

#include "console/EventLog.h"

#include <QAction>

FailureSteps::FailureSteps(EventLog& log) : QObject(&log), m_log(log)
{
    const auto add = [this](const QString& text, const QKeySequence& key, bool forward) {
        auto* action = new QAction(text, &m_log);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, forward] { Step(forward); });
        m_log.addAction(action);
    };
    add(tr("Next Failure"), QKeySequence(Qt::Key_F8), true);
    add(tr("Previous Failure"), QKeySequence(Qt::SHIFT | Qt::Key_F8), false);
}

bool FailureSteps::Step(bool forward)
{
    // Lines still on their way to the view are not stepped to yet.
    const int rows = m_log.model()->rowCount();
    const int current = m_log.currentIndex().isValid() ? m_log.currentIndex().row()
                        : forward                      ? -1
                                                       : rows;
    for (int row = current + (forward ? 1 : -1); row >= 0 && row < rows; row += forward ? 1 : -1) {
        const LogLine& line = m_log.record(row);
        if (!line.flagged() && !line.checkFailed())
            continue;
        const QModelIndex index = m_log.model()->index(row, 0);
        m_log.setCurrentIndex(index);
        m_log.scrollTo(index, QAbstractItemView::PositionAtCenter);
        return true;
    }
    return false;
}
