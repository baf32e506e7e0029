#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QString>
#include <QStringList>

// The lines of the event log, newest last; unbounded.
class EventLogModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void append(const QString& line);
    void clear();
    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// The event log list: plain text lines, the newest kept in view while the operator has not
// scrolled up to read.
class EventLog : public QListView {
    Q_OBJECT
public:
    explicit EventLog(QWidget* parent = nullptr);

    void AddLine(const QString& text);
    void Clear();

    int count() const { return int(m_model.lines().size()); }
    QString line(int row) const { return m_model.lines().value(row); }
    const QStringList& lines() const { return m_model.lines(); }

private:
    void followNewest();

    EventLogModel m_model;
    bool m_scrollPending = false;
};
