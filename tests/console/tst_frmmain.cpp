#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionGroupBox>
#include <QtTest>

#include "console/EventLog.h"
#include "console/PortComboBox.h"
#include "console/TerminalController.h"
#include "console/frmMain.h"

// Records message boxes instead of blocking on them.
class RecordingToolkit : public Toolkit
{
public:
    void ShowMessage(QWidget*, const QString& text) override { messages << text; }
    QStringList messages;
};

class tst_frmMain : public QObject
{
    Q_OBJECT
private slots:
    void geometry_data();
    void geometry();
    void lists();
    void initialState();
    void tabOrder();
    void resizeMovesOnlyLogWidth();
    void typingCommandRunsNothing();
    void comboChoiceAppliesBaudOnce();
    void enterAddsNoEntry();
    void captionsFitTheirControls();
    void portTooltipsNameTheDevicesNow();
};

void tst_frmMain::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Frame2") << QStringLiteral("Frame2") << QRect(8, 320, 201, 121);
    QTest::newRow("Frame3") << QStringLiteral("Frame3") << QRect(216, 320, 169, 121);
    QTest::newRow("Option1") << QStringLiteral("Option1") << QRect(400, 328, 73, 17);
    QTest::newRow("Option2") << QStringLiteral("Option2") << QRect(472, 328, 73, 17);
    QTest::newRow("Frame4") << QStringLiteral("Frame4") << QRect(408, 352, 137, 65);
    QTest::newRow("Command3") << QStringLiteral("Command3") << QRect(424, 424, 113, 25);
    QTest::newRow("txtChar") << QStringLiteral("txtChar") << QRect(0, 456, 401, 25);
    QTest::newRow("cmdClear") << QStringLiteral("cmdClear") << QRect(424, 456, 113, 25);
    QTest::newRow("Frame1") << QStringLiteral("Frame1") << QRect(432, 488, 177, 337);
    QTest::newRow("Label4") << QStringLiteral("Label4") << QRect(8, 24, 57, 17);
    QTest::newRow("txtIP") << QStringLiteral("txtIP") << QRect(72, 16, 113, 25);
    QTest::newRow("Label5") << QStringLiteral("Label5") << QRect(8, 48, 65, 17);
    QTest::newRow("txtPortNo") << QStringLiteral("txtPortNo") << QRect(72, 48, 113, 25);
    QTest::newRow("CmdConnect") << QStringLiteral("CmdConnect") << QRect(32, 80, 73, 25);
    QTest::newRow("Command2") << QStringLiteral("Command2") << QRect(112, 80, 73, 25);
    QTest::newRow("Label2") << QStringLiteral("Label2") << QRect(8, 216, 49, 17);
    QTest::newRow("cmdOpenChannel") << QStringLiteral("cmdOpenChannel") << QRect(88, 232, 81, 20);
    QTest::newRow("cmbChannel") << QStringLiteral("cmbChannel") << QRect(0, 240, 81, 20);
    QTest::newRow("Label1") << QStringLiteral("Label1") << QRect(16, 248, 49, 17);
    QTest::newRow("txtID") << QStringLiteral("txtID") << QRect(64, 264, 113, 18);
    QTest::newRow("Label7") << QStringLiteral("Label7") << QRect(16, 16, 41, 17);
    QTest::newRow("CmbComPort") << QStringLiteral("CmbComPort") << QRect(64, 16, 65, 20);
    QTest::newRow("Label6") << QStringLiteral("Label6") << QRect(8, 40, 57, 17);
    QTest::newRow("Combo2") << QStringLiteral("Combo2") << QRect(64, 40, 65, 20);
    QTest::newRow("cmdOpenDoor") << QStringLiteral("cmdOpenDoor") << QRect(8, 16, 161, 33);
    QTest::newRow("cmdSetID") << QStringLiteral("cmdSetID") << QRect(8, 48, 161, 33);
    QTest::newRow("cmdDeleteID") << QStringLiteral("cmdDeleteID") << QRect(8, 80, 161, 33);
    QTest::newRow("cmdSetPersonal") << QStringLiteral("cmdSetPersonal") << QRect(8, 112, 161, 33);
    QTest::newRow("SetTimeZone") << QStringLiteral("SetTimeZone") << QRect(8, 144, 161, 33);
    QTest::newRow("cmdRealtime") << QStringLiteral("cmdRealtime") << QRect(8, 176, 161, 33);
    QTest::newRow("cmdBatch") << QStringLiteral("cmdBatch") << QRect(8, 208, 161, 33);
    QTest::newRow("Label3") << QStringLiteral("Label3") << QRect(8, 248, 81, 17);
    QTest::newRow("Combo1") << QStringLiteral("Combo1") << QRect(8, 264, 161, 20);
    QTest::newRow("cmdSend") << QStringLiteral("cmdSend") << QRect(8, 288, 161, 33);
    QTest::newRow("cmdNumber0") << QStringLiteral("cmdNumber0") << QRect(8, 24, 25, 25);
    QTest::newRow("cmdNumber1") << QStringLiteral("cmdNumber1") << QRect(32, 24, 25, 25);
    QTest::newRow("cmdNumber2") << QStringLiteral("cmdNumber2") << QRect(56, 24, 25, 25);
    QTest::newRow("cmdNumber3") << QStringLiteral("cmdNumber3") << QRect(80, 24, 25, 25);
    QTest::newRow("cmdNumber4") << QStringLiteral("cmdNumber4") << QRect(104, 24, 25, 25);
    QTest::newRow("cmdNumber5") << QStringLiteral("cmdNumber5") << QRect(8, 48, 25, 25);
    QTest::newRow("cmdNumber6") << QStringLiteral("cmdNumber6") << QRect(32, 48, 25, 25);
    QTest::newRow("cmdNumber7") << QStringLiteral("cmdNumber7") << QRect(56, 48, 25, 25);
    QTest::newRow("cmdNumber8") << QStringLiteral("cmdNumber8") << QRect(80, 48, 25, 25);
    QTest::newRow("cmdNumber9") << QStringLiteral("cmdNumber9") << QRect(104, 48, 25, 25);
    QTest::newRow("cmdNumber10") << QStringLiteral("cmdNumber10") << QRect(8, 72, 25, 25);
    QTest::newRow("cmdNumber11") << QStringLiteral("cmdNumber11") << QRect(32, 72, 25, 25);
    QTest::newRow("cmdNumber12") << QStringLiteral("cmdNumber12") << QRect(56, 72, 25, 25);
    QTest::newRow("cmdNumber13") << QStringLiteral("cmdNumber13") << QRect(80, 72, 25, 25);
    QTest::newRow("cmdNumber14") << QStringLiteral("cmdNumber14") << QRect(104, 72, 25, 25);
    QTest::newRow("cmdNumber15") << QStringLiteral("cmdNumber15") << QRect(128, 72, 25, 25);
}

void tst_frmMain::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    RecordingToolkit tk;
    frmMain w(tk);
    QWidget* c = w.findChild<QWidget*>(name);
    QVERIFY(c);
    QCOMPARE(c->geometry(), rect);
}

void tst_frmMain::lists()
{
    RecordingToolkit tk;
    frmMain w(tk);
    auto items = [](QComboBox* b) {
        QStringList l;
        for (int i = 0; i < b->count(); ++i)
            l << b->itemText(i);
        return l;
    };
    QCOMPARE(items(w.findChild<QComboBox*>(QStringLiteral("Combo2"))),
             QStringList({"2400", "4800", "9600", "19200", "56000", "115200"}));
    QStringList ports, channels;
    for (int i = 1; i <= 16; ++i)
        ports << QString::number(i);
    for (int i = 0; i < 16; ++i)
        channels << QStringLiteral("A%1").arg(i, 2, 10, QLatin1Char('0'));
    QCOMPARE(items(w.findChild<QComboBox*>(QStringLiteral("CmbComPort"))), ports);
    QCOMPARE(items(w.findChild<QComboBox*>(QStringLiteral("cmbChannel"))), channels);
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("Combo1"))->count(), 17);
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("Combo1"))->itemText(0),
             QStringLiteral("Elevator"));
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("Combo1"))->itemText(16),
             QStringLiteral("opendoor"));
}

void tst_frmMain::initialState()
{
    RecordingToolkit tk;
    frmMain w(tk);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->count(), 0);
    QCOMPARE(w.ComPortIndex(), -1);
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("CmbComPort"))->currentText(), QString());
    QCOMPARE(w.BaudText(), QStringLiteral("4800"));
    QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("Option1"))->isChecked());
    QVERIFY(!w.findChild<QRadioButton*>(QStringLiteral("Option2"))->isChecked());
    QCOMPARE(w.controller().transportMode(), 0);
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame1"))->isHidden());
    QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->font().pointSize(), 9);
    QVERIFY(w.findChild<EventLog*>(QStringLiteral("LB"))->font().bold());
    QTRY_VERIFY_WITH_TIMEOUT(w.findChild<EventLog*>(QStringLiteral("LB"))->hasFocus(), 5000);
    QCOMPARE(w.width(), 548);
    QCOMPARE(w.height(), 492);
    QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->width(), 548);
    QVERIFY(tk.messages.isEmpty());
}

void tst_frmMain::tabOrder()
{
    RecordingToolkit tk;
    frmMain w(tk);
    // Tab indexes 7 (LB) to 49 (Combo2); frames, labels and the hidden frame's controls never
    // take the focus, and the chain wraps round to LB.
    QStringList expected = {"LB", "cmbChannel", "cmdOpenChannel", "txtID", "txtIP", "CmdConnect"};
    for (int i = 0; i <= 9; ++i)
        expected << QStringLiteral("cmdNumber%1").arg(i);
    expected << "Command3";
    for (int i = 10; i <= 15; ++i)
        expected << QStringLiteral("cmdNumber%1").arg(i);
    expected << "txtPortNo"
             << "cmdClear"
             << "txtChar"
             << "Command2"
             << "CmbComPort"
             << "Option1"
             << "Option2"
             << "Combo2"
             << "LB";
    QWidget* cur = w.findChild<EventLog*>(QStringLiteral("LB"));
    QStringList seen{cur->objectName()};
    while (seen.size() < expected.size()) {
        do
            cur = cur->nextInFocusChain();
        while (cur->focusPolicy() == Qt::NoFocus || !cur->isEnabled() || cur->isHidden() ||
               !cur->isVisibleTo(&w) || cur->objectName().startsWith("qt_") ||
               qobject_cast<QComboBox*>(cur->parentWidget())); // a combo's own edit field
        seen << cur->objectName();
    }
    QCOMPARE(seen, expected);
}

void tst_frmMain::resizeMovesOnlyLogWidth()
{
    RecordingToolkit tk;
    frmMain w(tk);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect txt = w.findChild<QLineEdit*>(QStringLiteral("txtChar"))->geometry();
    const int h = w.findChild<EventLog*>(QStringLiteral("LB"))->height();
    for (QSize s : {QSize(700, 492), QSize(400, 492), QSize(400, 700)}) {
        w.resize(s);
        QTRY_COMPARE_WITH_TIMEOUT(w.findChild<EventLog*>(QStringLiteral("LB"))->width(), s.width(),
                                  5000);
        QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->x(), 0);
        QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->height(), h);
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("txtChar"))->geometry(), txt);
    }
    w.showMinimized();
    w.showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(w.findChild<EventLog*>(QStringLiteral("LB"))->width(), w.width(),
                              5000);
}

void tst_frmMain::typingCommandRunsNothing()
{
    RecordingToolkit tk;
    frmMain w(tk);
    QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("txtChar")), "AB<02>C");
    QCOMPARE(w.CommandText(), QStringLiteral("AB<02>C"));
    QCOMPARE(w.findChild<EventLog*>(QStringLiteral("LB"))->count(), 0);
    QVERIFY(tk.messages.isEmpty());
}

static int baudLines(const EventLog& log)
{
    int n = 0;
    for (const QString& l : log.lines())
        n += l.contains(QStringLiteral("Comport Setting:"));
    return n;
}

void tst_frmMain::comboChoiceAppliesBaudOnce()
{
    RecordingToolkit tk;
    frmMain w(tk);
    QComboBox* box = w.findChild<QComboBox*>(QStringLiteral("Combo2"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A choice from the list, made as the operator makes it: open the list, click an entry.
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), 5000);
    const QRect entry = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
    QTRY_COMPARE_WITH_TIMEOUT(box->currentText(), QStringLiteral("9600"), 5000);
    QCOMPARE(baudLines(*w.findChild<EventLog*>(QStringLiteral("LB"))), 1);
    // The arrow key chooses the next entry: one more application, not two.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentText(), QStringLiteral("19200"));
    QCOMPARE(baudLines(*w.findChild<EventLog*>(QStringLiteral("LB"))), 2);
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), "12");
    QCOMPARE(baudLines(*w.findChild<EventLog*>(QStringLiteral("LB"))), 4);
}

void tst_frmMain::enterAddsNoEntry()
{
    RecordingToolkit tk;
    frmMain w(tk);
    for (QComboBox* box : {w.findChild<QComboBox*>(QStringLiteral("Combo2")),
                           w.findChild<QComboBox*>(QStringLiteral("CmbComPort"))}) {
        const int before = box->count();
        box->lineEdit()->setText("777");
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(box->count(), before);
    }
}

// Each caption the operator sees fits the room its control's style gives it; a second test run
// with QT_SCALE_FACTOR=2 checks 200 %.
void tst_frmMain::captionsFitTheirControls()
{
    RecordingToolkit tk;
    frmMain w(tk);
    w.show();
    QCOMPARE(w.devicePixelRatio(), qreal(qMax(1, qEnvironmentVariableIntValue("QT_SCALE_FACTOR"))));
    int checked = 0;
    for (QWidget* c : w.findChildren<QWidget*>()) {
        QStyleOptionButton button;
        QStyleOptionGroupBox box;
        button.initFrom(c);
        box.initFrom(c);
        QRect room = c->contentsRect(); // a label's
        if (qobject_cast<QAbstractButton*>(c))
            room = c->style()->subElementRect(qobject_cast<QRadioButton*>(c)
                                                  ? QStyle::SE_RadioButtonContents
                                                  : QStyle::SE_PushButtonContents,
                                              &button, c);
        if (auto* g = qobject_cast<QGroupBox*>(c)) {
            box.text = g->title();
            room =
                c->style()->subControlRect(QStyle::CC_GroupBox, &box, QStyle::SC_GroupBoxLabel, c) &
                c->rect();
        }
        const QString text = c->property(qobject_cast<QGroupBox*>(c) ? "title" : "text").toString();
        // Not line edits, nor the hidden frame's captions or those below a frame's edge.
        if (text.isEmpty() || c->inherits("QLineEdit") || !c->isVisible() ||
            !c->parentWidget()->rect().intersects(c->geometry()))
            continue;
        const QFontMetrics m = c->fontMetrics();
        const int width = qMax(m.horizontalAdvance(text), m.boundingRect(text).right() + 1);
        QVERIFY2(width <= room.width() && m.height() <= room.height(), qPrintable(c->objectName()));
        ++checked;
    }
    QCOMPARE(checked, 29); // 4 labels, 4 buttons, the 16 keys, 2 options, 3 frame titles
}

void tst_frmMain::portTooltipsNameTheDevicesNow()
{
    RecordingToolkit tk;
    frmMain w(tk);
    auto* box = w.findChild<PortComboBox*>(QStringLiteral("CmbComPort"));
    QList<MSComm::SerialDevice> present = {{"/dev/ttyS0", {}, {}},
                                           {"/dev/ttyUSB0", "FT232R USB UART", "FTDI"}};
    box->setDeviceSource([&present] { return present; });
    auto tip = [box](int i) { return box->itemData(i, Qt::ToolTipRole).toString(); };
    box->showPopup();
    QCOMPARE(tip(0) + '|' + tip(1) + '|' + tip(2),
             QStringLiteral("/dev/ttyS0|/dev/ttyUSB0 — FT232R USB UART (FTDI)|"
                            "No serial device answers to port 3"));
    box->hidePopup();
    present.append({"/dev/ttyACM0", "USB Serial", {}}); // plugged in meanwhile
    box->showPopup();
    QCOMPARE(tip(2), QStringLiteral("/dev/ttyACM0 — USB Serial"));
    QCOMPARE(box->itemText(2), QStringLiteral("3"));
    box->setCurrentIndex(1);
    QCOMPARE(box->toolTip(), tip(1));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
