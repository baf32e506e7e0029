// The check value finder's note in the Show Bytes window: the names that fit every selected
// reply, the warning that few replies prove little, and replies too long to search.
#include "console/EventLog.h"
#include "reading/ByteDumpWindow.h"
#include "reading/CheckFinderNote.h"
#include "reading/LogActions.h"

#include <QtTest>

class tst_CheckFinderNote : public QObject
{
    Q_OBJECT
private slots:
    void note_data()
    {
        QTest::addColumn<QByteArrayList>("replies");
        QTest::addColumn<QString>("note");
        const QByteArray ok("\x02OK\x03\x07"),
            ab("\x02"
               "AB\x03\x00",
               5),
            xyz("\x02XYZ\x03X"), q("\x02Q\x03R");
        const QString chance = " (an 8-bit value fits by chance one reply in 256)";
        QTest::newRow("four bcc") << QByteArrayList{ok, ab, xyz, q}
                                  << "Check values that fit 4 replies: bcc";
        QTest::newRow("two bcc") << QByteArrayList{ok, q}
                                 << "Check values that fit 2 replies: bcc" + chance;
        QTest::newRow("a bare ACK")
            << QByteArrayList{"\x06"} << "Check values that fit 1 reply: none" + chance;
        QTest::newRow("one wrong")
            << QByteArrayList{ok, ab, xyz, "\x02Q\x03S"} << "Check values that fit 4 replies: none";
        QTest::newRow("one too long")
            << QByteArrayList{ok, ab, xyz, QByteArray(64 * 1024 + 1, 'A')}
            << "Check values that fit 3 replies: bcc; 1 reply over 64 KiB not searched";
        QTest::newRow("all too long")
            << QByteArrayList{QByteArray(64 * 1024 + 1, 'A'), QByteArray(70000, 'B')}
            << "Check values that fit 0 replies: none; 2 replies over 64 KiB not searched";
    }

    void note()
    {
        QFETCH(QByteArrayList, replies);
        QFETCH(QString, note);
        QCOMPARE(CheckFinderNote(replies), note);
    }

    void showBytesOnSelectedReplies()
    {
        EventLog log;
        LogActions actions(log);
        log.AddReply("\x02OK\x03\x07", 5);
        log.AddCommand("[Output]------A", "A");
        log.AddReply("\x02Q\x03R", 5);
        log.AddReply("\x02XYZ\x03X", 5);
        QTRY_COMPARE(log.model()->rowCount(), 4);
        log.setCurrentIndex(log.model()->index(1, 0));
        log.selectAll();
        std::unique_ptr<ByteDumpWindow> dump(actions.showBytes());
        QCOMPARE(dump->note(), "Check values that fit 3 replies: bcc");
        QVERIFY(dump->isVisible());
        // A reply alone, current and not selected.
        log.selectionModel()->setCurrentIndex(log.model()->index(2, 0), QItemSelectionModel::Clear);
        dump.reset(actions.showBytes());
        QVERIFY(dump->note().startsWith("Check values that fit 1 reply: bcc ("));
        log.selectionModel()->setCurrentIndex(log.model()->index(1, 0), QItemSelectionModel::Clear);
        dump.reset(actions.showBytes());
        QVERIFY(dump->note().isEmpty());
    }
};

QTEST_MAIN(tst_CheckFinderNote)
#include "tst_checkfindernote.moc"
