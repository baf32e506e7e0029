#include <QtTest>
#include <QtWidgets>

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
    void init()
    {
        m_toolkit.messages.clear();
        m_w = std::make_unique<frmMain>(m_toolkit);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    }

    void opensAsDefinedAndRunsNothing()
    {
        QCOMPARE(m_w->size(), QSize(548, 492));
        QVERIFY(log()->font().pointSize() == 9 && log()->font().bold());
        QTRY_VERIFY(log()->hasFocus());
        QCOMPARE(m_w->ComPortIndex(), -1);
        QCOMPARE(get<QComboBox>("CmbComPort")->currentText(), "");
        QVERIFY(get<QComboBox>("Combo1")->currentIndex() == -1 &&
                get<QComboBox>("cmbChannel")->currentIndex() == -1);
        QCOMPARE(items("CmbComPort"), QString("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16").split(' '));
        QCOMPARE(m_w->BaudText(), "4800");
        QCOMPARE(items("Combo2"), QString("2400 4800 9600 19200 56000 115200").split(' '));
        QVERIFY(get<QRadioButton>("Option1")->isChecked() &&
                !get<QRadioButton>("Option2")->isChecked());
        QCOMPARE(m_w->controller().transportMode(), 0);
        QVERIFY(get("Frame1")->isHidden());
        QTest::keyClicks(get("txtChar"), "AB<02>C");
        QCOMPARE(m_w->CommandText(), "AB<02>C");
        QVERIFY(log()->count() == 0 && m_toolkit.messages.isEmpty());
    }

    void layoutAndTabOrder()
    {
        // The keypad: three rows at a pitch of 360 twips (24 pixels), "A" to "F" in the third.
        for (int i = 0; i < 16; ++i) {
            const int row = qMin(i / 5, 2);
            QCOMPARE(m_w->cmdNumber()[i]->geometry(),
                     QRect(8 + 24 * (i - 5 * row), 24 + 24 * row, 25, 25));
        }
        // Every control lies within its frame or the client area; the frame of the TCP panel cuts
        // off the last five of its controls, and the hidden frame shows none of its own.
        const QStringList cutOff = {"Label2", "cmdOpenChannel", "cmbChannel", "Label1", "txtID"};
        for (QWidget* c : m_w->findChildren<QWidget*>()) {
            QWidget* frame = c->parentWidget();
            if (c->objectName() == "Frame1" || frame->objectName() == "Frame1" ||
                (frame != m_w.get() && !frame->objectName().startsWith("Frame")))
                continue;
            QVERIFY2(cutOff.contains(c->objectName()) ? c->y() >= frame->height()
                                                      : frame->rect().contains(c->geometry()),
                     qPrintable(c->objectName()));
        }
        // Frames, labels and the hidden frame's controls never take the focus; the chain wraps.
        QStringList expected =
            QString("LB cmbChannel cmdOpenChannel txtID txtIP CmdConnect").split(' ');
        for (int i = 0; i < 16; ++i)
            expected << QString(i == 10 ? "Command3 cmdNumber%1" : "cmdNumber%1").arg(i).split(' ');
        expected << QString(
                        "txtPortNo cmdClear txtChar Command2 CmbComPort Option1 Option2 Combo2 LB")
                        .split(' ');
        QStringList seen{"LB"};
        for (QWidget* current = log(); seen.size() < expected.size();
             seen << current->objectName()) {
            do
                current = current->nextInFocusChain();
            while (current->focusPolicy() == Qt::NoFocus || !current->isVisibleTo(m_w.get()) ||
                   current->objectName().startsWith("qt_") ||
                   qobject_cast<QComboBox*>(current->parentWidget())); // a combo's own edit field
        }
        QCOMPARE(seen, expected);
    }

    void resizeChangesOnlyTheLogWidth()
    {
        const QRect command = get("txtChar")->geometry();
        for (QSize size : {QSize(548, 492), QSize(700, 492), QSize(400, 700)}) {
            m_w->resize(size);
            QTRY_COMPARE(log()->geometry(), QRect(0, 0, size.width(), 316));
            QCOMPARE(get("txtChar")->geometry(), command);
        }
    }

    void combosRunTheirHandlersOnceAndAddNoEntry()
    {
        // A choice from the list and each typed character run the combo's handler once; Enter
        // adds no entry. Port 1 fails to open here.
        qputenv("ACCESSTERM_COM1", "/dev/accessterm-no-such-device");
        for (const char* name : {"Combo2", "CmbComPort"}) {
            QComboBox* box = get<QComboBox>(name);
            const QStringList entries = items(name);
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Down);
            box->lineEdit()->clear();
            QTest::keyClicks(box->lineEdit(), "12");
            box->lineEdit()->setText("777");
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            QCOMPARE(items(name), entries);
        }
        QCOMPARE(
            log()->lines(),
            QString("Comport Setting:4800,n,8,1|Comport Setting:1,n,8,1|Comport Setting:12,n,8,1|"
                    "Connect Close|Connect Close|Connect Close")
                .split('|'));
        QCOMPARE(m_toolkit.messages.size(), 3);
    }

    void buttonsRunTheirHandlers()
    {
        // The keypad pairs two digits into a token; each other button leaves its handler's lines
        // (Close drops the refusal of the host-less Connect before it arrives).
        QTest::mouseClick(m_w->cmdNumber()[0], Qt::LeftButton);
        QTest::mouseClick(m_w->cmdNumber()[13], Qt::LeftButton);
        for (const char* name : {"CmdConnect", "Command2", "Command3"})
            QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton);
        QCOMPARE(log()->lines(), QString("Close Comport|Connecting.....|Connect Close|"
                                         "[Output]------<0D>|Connect State:Closed")
                                     .split('|'));
        QTest::mouseClick(get<QPushButton>("cmdClear"), Qt::LeftButton);
        QVERIFY(log()->lines().isEmpty());
        // The two links' buttons choose the link a command goes out on.
        for (const auto& [name, mode] : {std::pair("Option2", 1), std::pair("Option1", 2)}) {
            get<QRadioButton>(name)->click();
            QCOMPARE(m_w->controller().transportMode(), mode);
        }
    }

    // Each caption the operator sees fits the room its control's style gives it; a second run
    // with QT_SCALE_FACTOR=2 checks 200 %.
    void captionsFitTheirControls()
    {
        QCOMPARE(m_w->devicePixelRatio(),
                 qreal(qMax(1, qEnvironmentVariableIntValue("QT_SCALE_FACTOR"))));
        int checked = 0;
        for (QWidget* c : m_w->findChildren<QWidget*>()) {
            auto* group = qobject_cast<QGroupBox*>(c);
            const QString text = c->property(group ? "title" : "text").toString();
            // Not line edits, nor the hidden frame's captions or those below a frame's edge.
            if (text.isEmpty() || c->inherits("QLineEdit") || !c->isVisible() ||
                !c->parentWidget()->rect().intersects(c->geometry()))
                continue;
            QRect room = c->contentsRect(); // a label's
            if (qobject_cast<QAbstractButton*>(c)) {
                QStyleOptionButton button;
                button.initFrom(c);
                room = c->style()->subElementRect(qobject_cast<QRadioButton*>(c)
                                                      ? QStyle::SE_RadioButtonContents
                                                      : QStyle::SE_PushButtonContents,
                                                  &button, c);
            } else if (group) {
                QStyleOptionGroupBox box;
                box.initFrom(c);
                box.text = text;
                room = c->style()->subControlRect(QStyle::CC_GroupBox, &box,
                                                  QStyle::SC_GroupBoxLabel, c) &
                       c->rect();
            }
            const QFontMetrics m = c->fontMetrics();
            const int width = qMax(m.horizontalAdvance(text), m.boundingRect(text).right() + 1);
            QVERIFY2(width <= room.width() && m.height() <= room.height(),
                     qPrintable(c->objectName()));
            ++checked;
        }
        QCOMPARE(checked, 29); // 4 labels, 4 buttons, the 16 keys, 2 options, 3 frame titles
    }

    void portTooltipsNameTheDevicesNow()
    {
        qunsetenv("ACCESSTERM_COM1"); // the present devices alone decide here
        auto* box = get<PortComboBox>("CmbComPort");
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

private:
    template <typename T = QWidget> T* get(const char* name) const
    {
        return m_w->findChild<T*>(name);
    }
    EventLog* log() const { return get<EventLog>("LB"); }
    QStringList items(const char* name) const
    {
        QStringList texts;
        for (int i = 0; i < get<QComboBox>(name)->count(); ++i)
            texts << get<QComboBox>(name)->itemText(i);
        return texts;
    }

    RecordingToolkit m_toolkit;
    std::unique_ptr<frmMain> m_w;
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
