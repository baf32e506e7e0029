// Show Bytes on a line that is one frame of the chosen protocol: its fields beside the dump, the
// bytes tinted by field, a field and its bytes selecting each other; on real widgets.
#include "app/ProtocolControl.h"
#include "app/TerminalWindow.h"
#include "console/EventLog.h"
#include "console/LogLine.h"
#include "reading/ByteDumpWindow.h"
#include "reading/FieldTable.h"
#include "reading/FieldTintDelegate.h"
#include "reading/LogActions.h"
#include "support/ProtocolBytes.h"
#include "terminal/ProtocolCatalogue.h"

#include <QListView>
#include <QtTest>

namespace
{

std::shared_ptr<const Description> Kestrel()
{
    const ProtocolEntry entry = ProtocolCatalogue::ReadFile(
        ACCESSTERM_SOURCE "/docs/examples/kestrel-dc4.txt", "kestrel-dc4.txt");
    if (!entry.ok())
        qFatal("%s", qPrintable(entry.refusal));
    return entry.description;
}

std::unique_ptr<ByteDumpWindow> Show(const QByteArray& bytes,
                                     const std::shared_ptr<const Description>& protocol)
{
    EventLog log;
    log.AddReply(bytes, -1);
    auto dump = std::make_unique<ByteDumpWindow>(log.record(0), nullptr, protocol);
    dump->show();
    if (!QTest::qWaitForWindowExposed(dump.get()))
        qFatal("not shown");
    return dump;
}

QString Row(const FieldTable& table, int row)
{
    QStringList cells;
    for (int column = 0; column < table.columnCount(); ++column)
        cells << table.item(row, column)->text();
    return cells.join('|');
}

const QByteArray kStatus = QByteArray::fromHex("020108310026121030091530F06603");
const QByteArray kAck = QByteArray::fromHex("5381080004400806");
const QByteArray kFailed = QByteArray::fromHex("02010E452B0105397FB10126121030091610229CF803");

} // namespace

class tst_BytesFields : public QObject
{
    Q_OBJECT

private slots:
    void listsTheFrameFields_data()
    {
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("clicked"); // a byte clicked in the dump selects the innermost field
        QTest::addColumn<QString>("field");
        // Bits name their byte, one deeper; the mark and the start byte are no field.
        QTest::newRow("osdp poll")
            << "osdp" << QByteArray::fromHex("FF530108000460BA00")
            << QStringList{"ADDR|2|01|01",           "  PD|2|01|01",
                           "  REPLY|2|01|0",         "LEN|3|08 00|8",
                           "CTRL|5|04|04",           "  SQN|5|04|0",
                           "  CRC|5|04|1 CRC-16",    "  SCB|5|04|0",
                           "CODE|6|60|60 osdp_POLL", "crc16-osdp|7|BA 00|BA00 ok"}
            << 5 << QString("  SQN");
        // With no mark nor start byte, the first byte is a field: read holding registers.
        QTest::newRow("modbus request")
            << "modbus-rtu" << QByteArray::fromHex("0103006B00037417")
            << QStringList{"ADDRESS|0|01|1", "FUNCTION|1|03|3 read_holding_registers",
                           "START|2|00 6B|107", "QUANTITY|4|00 03|3",
                           "crc16-modbus|6|74 17|7417 ok"}
            << 0 << QString("ADDRESS");
        // A stuffed byte counts as sent: the clock takes seven bytes.
        QTest::newRow("kestrel, stuffed")
            << "kestrel" << kStatus
            << QStringList{"ADDR|1|01|01",
                           "LEN|2|08|8",
                           "CODE|3|31|31 status",
                           "DOOR|4|00|0 closed",
                           "CLOCK|5|26 12 10 30 09 15 30|261210091530",
                           "crc16-xmodem|12|F0 66|F066 ok"}
            << 9 << QString("CLOCK");
        QTest::newRow("kestrel, failed crc")
            << "kestrel" << kFailed
            << QStringList{"ADDR|1|01|01",
                           "LEN|2|0E|14",
                           "CODE|3|45|45 event",
                           "NUMBER|4|2B 01|299",
                           "CARD|6|05 39 7F B1|87654321",
                           "RESULT|10|01|01 unknown card",
                           "CLOCK|11|26 12 10 30 09 16 10 22|261210091602",
                           "crc16-xmodem|19|9C F8|9CF8 expected 9CF9"}
            << 20 << QString("crc16-xmodem");
    }

    void listsTheFrameFields()
    {
        QFETCH(QString, protocol);
        QFETCH(QByteArray, frame);
        const auto dump =
            Show(frame, protocol == "kestrel" ? Kestrel() : Builtin(qPrintable(protocol)));
        FieldTable* table = dump->fields();
        QVERIFY(table && table->isVisible());
        QStringList columns;
        for (int column = 0; column < table->columnCount(); ++column)
            columns << table->model()->headerData(column, Qt::Horizontal).toString();
        QCOMPARE(columns.join('|'), "Field|Offset|Bytes|Value");
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << Row(*table, row);
        QTEST(rows, "rows");
        QFETCH(int, clicked);
        const QImage shown = dump->view()->viewport()->grab().toImage();
        QVERIFY(shown.pixelColor(table->byteRect(clicked).topLeft() + QPoint(1, 1)) !=
                dump->palette().base().color()); // its field's tint
        QTest::mouseClick(dump->view()->viewport(), Qt::LeftButton, {},
                          table->byteRect(clicked).center());
        QTEST(table->selectedItems().value(0)->text(), "field");
    }

    void fieldAndBytesSelectEachOther()
    {
        const auto dump = Show(kFailed, Kestrel());
        FieldTable& table = *dump->fields();
        QWidget* bytes = dump->view()->viewport();
        const auto selected = [&] {
            const QList<QTableWidgetItem*> items = table.selectedItems();
            return QStringLiteral("%1+%2 %3")
                .arg(table.selectedFirst())
                .arg(table.selectedCount())
                .arg(items.isEmpty() ? "-" : items.first()->text());
        };
        // A row selects its field's bytes, and the dump's rows that hold them, for its Copy.
        table.selectRow(6);
        QCOMPARE(selected(), "11+8 CLOCK");
        QCOMPARE(dump->view()->selectionModel()->selectedRows().size(), 2);
        table.selectRow(7);
        QCOMPARE(selected(), "19+2 crc16-xmodem");
        QCOMPARE(dump->view()->selectionModel()->selectedRows().size(), 1);
        // A click selects the field that holds the byte; a drag, the bytes from the first.
        QTest::mouseClick(bytes, Qt::LeftButton, {}, table.byteRect(7).center());
        QCOMPARE(selected(), "7+1 CARD");
        QTest::mousePress(bytes, Qt::LeftButton, {}, table.byteRect(17).center());
        QTest::mouseMove(bytes, table.byteRect(3).center());
        QTest::mouseRelease(bytes, Qt::LeftButton, {}, table.byteRect(3).center());
        QCOMPARE(selected(), "3+15 CODE");
        QTest::mouseMove(bytes, table.byteRect(10).center()); // no button held: no drag
        QCOMPARE(selected(), "3+15 CODE");
        QTest::mouseClick(bytes, Qt::LeftButton, {}, table.byteRect(0).center()); // STX
        QCOMPARE(selected(), "0+1 -");
        QTest::mouseClick(bytes, Qt::LeftButton, {}, table.byteRect(0).topLeft() - QPoint(9, 0));
        QCOMPARE(selected(), "0+0 -");

        // Fields alternate two light tints; the check value that fails is red, STX is not tinted.
        const QImage shown = bytes->grab().toImage();
        const auto tint = [&](int offset) {
            return shown.pixelColor(table.byteRect(offset).topLeft() + QPoint(1, 1)).name();
        };
        QCOMPARE(tint(0), dump->palette().base().color().name());
        QVERIFY(tint(1) != tint(2) && tint(2) != tint(0) && tint(1) != tint(0));
        QCOMPARE(tint(4), tint(5));
        QCOMPARE(tint(6), tint(3));
        // The blank between two bytes of one field is tinted, between two fields not.
        const auto blank = [&](int offset) {
            const QRect pair = table.byteRect(offset);
            return shown.pixelColor(pair.right() + 2, pair.top() + 1).name();
        };
        QCOMPARE(blank(4), tint(4));
        QCOMPARE(blank(5), tint(0));
        QCOMPARE(tint(19), "#ff9e9e");

        // Rows the keys select select their bytes, drawn as selected, and the first one's field.
        dump->view()->setFocus();
        QTest::keyClick(dump->view(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(selected(), "0+22 -");
        QTest::keyClick(dump->view(), Qt::Key_Up);
        QCOMPARE(selected(), "0+16 -");
        QTest::keyClick(dump->view(), Qt::Key_Down);
        QCOMPARE(selected(), "16+6 CLOCK");
        const QImage keyed = bytes->grab().toImage();
        const QString highlight = dump->palette().highlight().color().name();
        QCOMPARE(keyed.pixelColor(table.byteRect(17).topLeft() + QPoint(1, 1)).name(), highlight);
        QVERIFY(keyed.pixelColor(table.byteRect(15).topLeft() + QPoint(1, 1)).name() != highlight);
    }

    void noTableForNoFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("protocol");
        QTest::newRow("no protocol") << kStatus << false;
        QTest::newRow("a byte after the frame") << kStatus + '\x00' << true;
        QTest::newRow("cut short") << kStatus.chopped(1) << true;
        QTest::newRow("no frame at all") << QByteArray("OK\r\n") << true;
        QTest::newRow("longer than any frame") << kStatus.repeated(20) << true;
    }

    void noTableForNoFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, protocol);
        const auto dump = Show(bytes, protocol ? Kestrel() : nullptr);
        QVERIFY(!dump->fields());
        QVERIFY(!qobject_cast<FieldTintDelegate*>(dump->view()->itemDelegate()));
    }

    void theWindowHandsOnItsProtocol()
    {
        TerminalWindow window;
        EventLog& log = window.LB();
        const auto showLast = [&](const QByteArray& reply) {
            log.AddReply(reply, -1);
            // Lines come into view a little later while a protocol is read.
            if (!QTest::qWaitFor([&] { return log.model()->rowCount() == log.count(); }))
                qFatal("the line never came into view");
            log.setCurrentIndex(log.model()->index(log.count() - 1, 0));
            return window.logActions().showBytes();
        };
        QVERIFY(!showLast(kAck)->fields());
        window.protocolControl().Choose("osdp");
        const FieldTable* fields = showLast(kAck)->fields();
        QVERIFY(fields);
        QCOMPARE(fields->item(fields->rowCount() - 2, 0)->text(), "CODE");
        window.protocolControl().Choose("");
        QVERIFY(!showLast(kAck)->fields());
    }
};

QTEST_MAIN(tst_BytesFields)
#include "tst_bytesfields.moc"
