#pragma once

// A window holding a log with its actions and the find, as the find's tests use it.
#include "console/EventLog.h"
#include "console/EventLogModel.h"
#include "find/FindBar.h"
#include "find/LogFind.h"
#include "reading/LogActions.h"

#include <QtTest>
#include <QtWidgets>

// A log with its actions and the find in a window, and a field to give the focus to.
struct Window {
    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
    EventLog* log = new EventLog(&window);
    LogActions* actions = new LogActions(*log);
    LogFind* find = new LogFind(*log, window);
    FindBar& bar = find->bar();

    explicit Window(const QStringList& lines = {})
    {
        window.resize(500, 330);
        log->setGeometry(0, 30, 500, 300);
        for (const QString& line : lines)
            log->AddLine(line);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(log->logModel().rowCount(), log->count());
    }
    template <typename T> T* child(const char* name) { return bar.findChild<T*>(name); }
    void key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    // Opens the bar with Ctrl+F and types the words.
    void search(const QString& words, int way = 0)
    {
        key(Qt::Key_F, Qt::ControlModifier);
        child<QComboBox>("findWay")->setCurrentIndex(way);
        bar.words().clear();
        QTest::keyClicks(&bar.words(), words);
    }
    QString current() const { return log->currentIndex().data().toString(); }
    QStringList shown() const
    {
        QStringList rows;
        for (int row = 0; row < log->model()->rowCount(); ++row)
            rows << log->model()->index(row, 0).data().toString();
        return rows;
    }
};
