#include "reading/ByteDumpWindow.h"

#include "console/LogLine.h"
#include "console/SelectedRows.h"
#include "reading/FieldTable.h"

#include <QAction>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QSplitter>
#include <QVBoxLayout>

ByteDumpModel::ByteDumpModel(const QByteArray& bytes, QObject* parent)
    : QAbstractListModel(parent), m_bytes(bytes)
{
}

int ByteDumpModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int((m_bytes.size() + kRowBytes - 1) / kRowBytes);
}

int ByteDumpModel::ByteOfColumn(int column)
{
    if (column >= CharColumn(0) && column < CharColumn(kRowBytes))
        return column - CharColumn(0);
    // The blank after a pair goes with it.
    if (column >= HexColumn(0) && column < HexColumn(kRowBytes))
        return (column - HexColumn(0)) / 3;
    return -1;
}

QVariant ByteDumpModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return rowText(index.row());
}

QString ByteDumpModel::rowText(int row) const
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const qsizetype offset = qsizetype(row) * kRowBytes;
    const QByteArrayView bytes = QByteArrayView(m_bytes).sliced(offset).first(
        qMin<qsizetype>(kRowBytes, m_bytes.size() - offset));
    // "00000000  02 80 ... 03  .....", the characters' column in the same place on a short row.
    QString text = QStringLiteral("%1 ").arg(offset, 8, 16, QLatin1Char('0')).toUpper();
    for (int i = 0; i < kRowBytes; ++i) {
        text += QLatin1Char(' ');
        if (i < bytes.size()) {
            text += QLatin1Char(digits[quint8(bytes[i]) >> 4]);
            text += QLatin1Char(digits[quint8(bytes[i]) & 15]);
        } else {
            text += QLatin1String("  ");
        }
    }
    text += QLatin1String("  ");
    for (const char c : bytes)
        text += QLatin1Char(c >= 0x20 && c < 0x7f ? c : '.');
    return text;
}

ByteDumpWindow::ByteDumpWindow(const LogLine& line, QWidget* parent,
                               const std::shared_ptr<const Description>& protocol)
    : QWidget(parent, Qt::Window), m_model(line.bytes()), m_note(new QLabel(this)),
      m_view(new QListView(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(line.summary());
    m_view->setModel(&m_model);
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* copy = new QAction(tr("Copy"), m_view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        if (m_view->selectionModel()->hasSelection())
            QGuiApplication::clipboard()->setText(selectedText());
    });
    m_view->addAction(copy);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note->setContentsMargins(4, 2, 4, 2);
    m_note->hide();
    layout->addWidget(m_note);
    // Wide enough for a whole row, tall enough for a screenful of them.
    const QFontMetrics metrics(m_view->font());
    const int dumpWidth = metrics.horizontalAdvance(m_model.rowText(0)) + 40;
    std::optional<FrameFields> frame;
    if (protocol)
        frame = FrameFields::Read(protocol, m_model.bytes());
    if (!frame) {
        layout->addWidget(m_view);
        resize(dumpWidth, 24 * metrics.height());
        return;
    }
    auto* split = new QSplitter(Qt::Horizontal, this);
    m_fields = new FieldTable(std::move(*frame), *m_view, split);
    split->addWidget(m_view);
    split->addWidget(m_fields);
    layout->addWidget(split);
    // The dump whole, the table beside it.
    const int tableWidth = m_fields->horizontalHeader()->length() + 20;
    split->setSizes({dumpWidth, tableWidth});
    resize(dumpWidth + tableWidth + split->handleWidth(), 24 * metrics.height());
}

void ByteDumpWindow::setNote(const QString& text)
{
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
}

QString ByteDumpWindow::note() const
{
    return m_note->text();
}

QString ByteDumpWindow::selectedText() const
{
    QStringList rows;
    for (int row : SelectedRows(*m_view->selectionModel()))
        rows << m_model.rowText(row);
    return rows.join(QLatin1Char('\n'));
}
