#pragma once

#include <QList>

class QItemSelectionModel;

// The rows of a selection, in order and each once, taken from its ranges rather than an index
// per row: Ctrl+A on a long list is one range.
QList<int> SelectedRows(const QItemSelectionModel& selection);
