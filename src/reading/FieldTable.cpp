#include "reading/FieldTable.h"

#include "reading/ByteDumpWindow.h"
#include "reading/FieldTintDelegate.h"

#include <QHeaderView>
#include <QListView>
#include <QMouseEvent>

#include <algorithm>

FieldTable::FieldTable(FrameFields fields, QListView& dump, QWidget* parent)
    : QTableWidget(parent), m_fields(std::move(fields)), m_dump(dump),
      m_tint(new FieldTintDelegate(m_fields, this))
{
    const std::vector<MessageField>& shown = m_fields.message().fields;
    setColumnCount(4);
    setRowCount(int(shown.size()));
    setHorizontalHeaderLabels({tr("Field"), tr("Offset"), tr("Bytes"), tr("Value")});
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setWordWrap(false);
    // A long field's cell shows its beginning: its bytes are all there in the dump.
    const auto text = [](const std::string& s) {
        constexpr std::size_t kShown = 200;
        return s.size() <= kShown ? QString::fromLatin1(s)
                                  : QString::fromLatin1(s.substr(0, kShown)) + QChar(0x2026);
    };
    for (int row = 0; row < rowCount(); ++row) {
        const MessageField& field = shown[std::size_t(row)];
        QString value = text(field.value);
        if (!field.valueName.empty())
            value += (value.isEmpty() ? "" : " ") + text(field.valueName);
        const QByteArray bytes =
            m_fields.bytes().mid(qsizetype(field.offset), qsizetype(field.size));
        const QStringList cells = {QString(2 * field.depth, QLatin1Char(' ')) + text(field.name),
                                   QString::number(field.offset),
                                   text(bytes.toHex(' ').toUpper().toStdString()), value};
        for (int column = 0; column < columnCount(); ++column)
            setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    resizeColumnsToContents();
    horizontalHeader()->setStretchLastSection(true);
    m_dump.setItemDelegate(m_tint);
    m_viewport = m_dump.viewport();
    m_viewport->installEventFilter(this);
    // Rows the keys select (Shift+arrows, Ctrl+A) select their bytes; the mouse selects bytes
    // itself, and the rows showBytes selects are its own.
    connect(m_dump.selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_showing || m_pressed)
            return;
        const QModelIndexList rows = m_dump.selectionModel()->selectedRows();
        if (rows.isEmpty())
            return selectBytes(0, 0);
        const auto [low, high] = std::minmax_element(
            rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
        const qsizetype first = qsizetype(low->row()) * ByteDumpModel::kRowBytes;
        selectBytes(first, qsizetype(high->row() + 1) * ByteDumpModel::kRowBytes - first);
    });
    connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetItem*> chosen = selectedItems();
        if (m_fromDump || chosen.isEmpty())
            return;
        const MessageField& field = m_fields.message().fields[std::size_t(chosen.first()->row())];
        showBytes(qsizetype(field.offset), qsizetype(field.size));
        if (m_count > 0)
            m_dump.scrollTo(m_dump.model()->index(int(m_first / ByteDumpModel::kRowBytes), 0));
    });
}

void FieldTable::selectBytes(qsizetype first, qsizetype count)
{
    showBytes(first, count);
    const int field = count > 0 ? m_fields.fieldAt(first) : -1;
    m_fromDump = true;
    if (field < 0)
        clearSelection();
    else
        selectRow(field);
    m_fromDump = false;
    if (field >= 0)
        scrollToItem(item(field, Name));
}

void FieldTable::showBytes(qsizetype first, qsizetype count)
{
    m_first = first;
    m_count = qMax<qsizetype>(0, qMin(count, m_fields.size() - first));
    m_tint->setSelectedBytes(m_first, m_count);
    // The rows that hold them are the dump's selection, for its Copy.
    QItemSelection rows;
    if (m_count > 0) {
        QAbstractItemModel* model = m_dump.model();
        rows.select(model->index(int(first / ByteDumpModel::kRowBytes), 0),
                    model->index(int((first + m_count - 1) / ByteDumpModel::kRowBytes), 0));
    }
    m_showing = true;
    m_dump.selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    m_showing = false;
    m_dump.viewport()->update();
}

qsizetype FieldTable::byteAt(QPoint point) const
{
    const QModelIndex index = m_dump.indexAt(point);
    if (!index.isValid())
        return -1;
    const qsizetype offset =
        FieldTintDelegate::ByteAt(m_dump.visualRect(index), index.row(), m_dump.font(), point);
    return offset < m_fields.size() ? offset : -1;
}

QRect FieldTable::byteRect(qsizetype offset) const
{
    const QModelIndex index = m_dump.model()->index(int(offset / ByteDumpModel::kRowBytes), 0);
    return FieldTintDelegate::HexRect(m_dump.visualRect(index),
                                      int(offset % ByteDumpModel::kRowBytes), m_dump.font())
        .toRect();
}

bool FieldTable::eventFilter(QObject* watched, QEvent* event)
{
    // Watched only, not taken: the dump still selects its rows as the mouse goes.
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == m_viewport && event->type() == QEvent::MouseButtonRelease)
        m_pressed = false;
    // The viewport kept, not asked of the dump: it still sends events as the dump goes.
    if (watched != m_viewport || (!press && event->type() != QEvent::MouseMove))
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (!(mouse->buttons() & Qt::LeftButton))
        return false;
    const qsizetype at = byteAt(mouse->position().toPoint());
    if (press) {
        m_pressed = true;
        m_anchor = at;
        if (at < 0) // a click beside the bytes selects none
            selectBytes(0, 0);
    }
    if (m_anchor >= 0 && at >= 0)
        selectBytes(qMin(m_anchor, at), qAbs(at - m_anchor) + 1);
    return false;
}
