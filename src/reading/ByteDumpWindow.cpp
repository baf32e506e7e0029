#include "reading/ByteDumpWindow.h"

#include "console/LogLine.h"
#include "console/SelectedRows.h"

#include <QAction>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

namespace
{

constexpr int kRowBytes = 16;

} // namespace

ByteDumpModel::ByteDumpModel(const QByteArray& bytes, QObject* parent)
    : QAbstractListModel(parent), m_bytes(bytes)
{
}

int ByteDumpModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int((m_bytes.size() + kRowBytes - 1) / kRowBytes);
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

ByteDumpWindow::ByteDumpWindow(const LogLine& line, QWidget* parent)
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
    layout->addWidget(m_view);
    // Wide enough for a whole row, tall enough for a screenful of them.
    const QFontMetrics metrics(m_view->font());
    resize(metrics.horizontalAdvance(m_model.rowText(0)) + 40, 24 * metrics.height());
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
