#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QWidget>

#include <memory>

struct Description;
class FieldTable;
class LogLine;
class QLabel;
class QListView;

// A byte string as a hex dump, one row per 16 bytes: the offset in 8 hex digits, the bytes as
// hex pairs and the same bytes as characters, printable ASCII as itself and "." otherwise. A
// row's text is made when it is asked for, so a dump of millions of rows costs only its bytes.
class ByteDumpModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit ByteDumpModel(const QByteArray& bytes, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    QString rowText(int row) const;
    const QByteArray& bytes() const { return m_bytes; }

    static constexpr int kRowBytes = 16;
    // Where in a row's text the row's byte i stands: its hex pair's first character and its
    // character; and which byte a character of the text belongs to, -1 for none.
    static int HexColumn(int i) { return 10 + 3 * i; }
    static int CharColumn(int i) { return HexColumn(kRowBytes) + 1 + i; }
    static int ByteOfColumn(int column);

private:
    QByteArray m_bytes;
};

// One log line's bytes in a window of their own, titled with what the line is and when it came.
// Not modal: several may be open beside the terminal, and they close with its window. Selected
// rows copy as text with Ctrl+C or the context menu. Given the protocol the window reads by, a
// line that is one frame of it has its fields listed beside the dump, the bytes tinted by field.
class ByteDumpWindow : public QWidget
{
    Q_OBJECT
public:
    ByteDumpWindow(const LogLine& line, QWidget* parent,
                   const std::shared_ptr<const Description>& protocol = {});

    QListView* view() const { return m_view; }
    // The frame's fields; null when no protocol is given or the line is no frame of it.
    FieldTable* fields() const { return m_fields; }
    // A line above the bytes (the check value finder's); none while empty.
    void setNote(const QString& text);
    QString note() const;
    // The selected rows in order, one per line of the text.
    QString selectedText() const;

private:
    ByteDumpModel m_model;
    QLabel* m_note;
    QListView* m_view;
    FieldTable* m_fields = nullptr;
};
