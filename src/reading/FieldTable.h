#pragma once

#include "reading/FrameFields.h"

#include <QTableWidget>

class FieldTintDelegate;
class QListView;

// A frame's fields beside its hex dump, one row each as the decoder gives them (nested ones
// indented): name, offset, bytes as hex pairs, value. The dump's bytes are tinted by field. A row
// selects its field's bytes in the dump; bytes selected in the dump, by a click or a drag,
// select the field that holds the first of them; rows selected by the keys select their bytes.
class FieldTable : public QTableWidget
{
    Q_OBJECT
public:
    enum Column { Name, Offset, Bytes, Value };

    FieldTable(FrameFields fields, QListView& dump, QWidget* parent);

    const FrameFields& fields() const { return m_fields; }
    // The bytes selected in the dump: the first and how many (0: none).
    qsizetype selectedFirst() const { return m_first; }
    qsizetype selectedCount() const { return m_count; }
    // Selects bytes in the dump, and the field that holds the first of them.
    void selectBytes(qsizetype first, qsizetype count);
    // Where a byte's hex pair is drawn in the dump's viewport.
    QRect byteRect(qsizetype offset) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showBytes(qsizetype first, qsizetype count);
    qsizetype byteAt(QPoint point) const;

    FrameFields m_fields;
    QListView& m_dump;
    QObject* m_viewport = nullptr; // the dump's, whose mouse is watched
    FieldTintDelegate* m_tint;
    qsizetype m_first = 0, m_count = 0;
    qsizetype m_anchor = -1; // where a drag in the dump began
    bool m_pressed = false;  // the button held in the dump: the mouse selects the bytes
    bool m_fromDump = false;
    bool m_showing = false; // selecting the dump's rows for the bytes shown
};
