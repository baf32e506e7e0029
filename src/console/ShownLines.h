#pragma once

#include <QAbstractListModel>
#include <QString>

// A model that shows some of the event log's lines in the log view's place (only the lines that
// match a search): which line of the log each of its rows is, and what it shows, in words.
class ShownLines : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    // The index among the log's lines of the line a row shows.
    virtual qsizetype lineOf(int row) const = 0;
    // The row that shows the line at that index, or -1.
    virtual int rowOf(qsizetype line) const = 0;
    // What is shown, as a phrase for the log's lines ("only the lines that match text "0A0B"").
    virtual QString description() const = 0;
};
