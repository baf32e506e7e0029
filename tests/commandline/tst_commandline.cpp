#include <QtTest>
#include <QtWidgets>

#include "app/TerminalWindow.h"
#include "commandline/CommandLine.h"
#include "commandline/PasteWatch.h"
#include "console/EventLog.h"
#include "terminal/TerminalFolders.h"
#include "terminal/TextFileRead.h"

#include <cstdio>
#include <sys/stat.h>

// Answers the name dialog instead of blocking on it.
class AnsweringToolkit : public Toolkit
{
public:
    QString AskText(QWidget*, const QString&) override { return answer; }
    QString answer;
};

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        m_w.reset();
        QFile::remove(CommandListFile());
        QDir(CommandListFile()).removeRecursively();
    }

    void aCommandListMadeLaterIsRead()
    {
        open();
        write("a = A\n");
        QTRY_COMPARE(rows(&m_w->commandLine().list()), "a — A");
        write("#");
        QTRY_COMPARE(m_w->commandLine().list().commands().size(), 0);
        QVERIFY(m_w->commandLine().list().Append("b", "B", nullptr)); // on a line of its own
        QCOMPARE(contents(), "#\nb = B\n");
    }

    void upAndDownRecallSentCommandsAndTheLogGivesThemBack()
    {
        open();
        // Blanks trimmed as sent; a repeat kept once, nothing empty; a refused command is kept.
        for (const char* command : {"A", "B", " B ", "", "C<0D"}) {
            edit()->setText(command);
            QTest::mouseClick(m_w->findChild<QPushButton*>("Command3"), Qt::LeftButton);
        }
        edit()->clear();
        QTest::keyClicks(edit(), "dra");
        QStringList seen;
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down,
                            Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(edit(), key);
            seen << edit()->text();
        }
        QCOMPARE(seen, QString("C<0D|B|A|A|B|C<0D|dra|dra").split('|'));
        QTRY_COMPARE(log()->model()->rowCount(), 10);
        const int lines = log()->count();
        QTest::keyClick(edit(), Qt::Key_Return); // only edits
        QCOMPARE(edit()->text(), "dra");
        auto doubleClick = [this](int row) {
            // A double-click comes as a click, then the second press.
            const QPoint at = log()->visualRect(log()->model()->index(row, 0)).center();
            QTest::mouseClick(log()->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(log()->viewport(), Qt::LeftButton, {}, at);
            return edit()->text();
        };
        QCOMPARE(doubleClick(3), "dra"); // "Connect State:Closed"
        QVERIFY(log()->hasFocus());
        QCOMPARE(doubleClick(2), "B"); // "[Output]------B", ready to edit
        QVERIFY(edit()->hasFocus());
        QCOMPARE(log()->count(), lines);
    }

    void commandListCompletesFollowsTheFileAndLogsRefusedLines()
    {
        write("\xEF\xBB\xBFopen door = <02>OD<03>\r\n# door\nOpen Relay=<02>OR<03>\n\nbroken\n"
              " = <02>X<03>\nempty =\nbad = <02\n"); // as a Windows editor may save it
        open();
        QCOMPARE(log()->lines(),
                 QStringList({R"(Commands.TXT line 5: no "=")", "Commands.TXT line 6: no name",
                              "Commands.TXT line 7: no command",
                              R"(Commands.TXT line 8: "<" at position 1 is not closed by ">")"}));
        QTest::mouseClick(edit(), Qt::LeftButton); // typing goes where the operator clicked
        QTRY_VERIFY(edit()->hasFocus());
        QTest::keyClicks(edit(), "oP");
        QAbstractItemView* popup = m_w->commandLine().completer()->popup();
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(rows(popup->model()), "open door — <02>OD<03>|Open Relay — <02>OR<03>");
        // A click beside the list, which holds the mouse, closes it and still reaches the button.
        QWidget* send = m_w->findChild<QPushButton*>("Command3");
        QTest::mouseClick(popup, Qt::LeftButton, {},
                          popup->mapFromGlobal(send->mapToGlobal(QPoint(9, 9))));
        QVERIFY(!popup->isVisible() && log()->lines().contains("[Output]------oP"));
        QTest::mouseClick(edit(), Qt::LeftButton);
        QTest::keyClick(edit(), Qt::Key_Backspace);
        QTRY_VERIFY(popup->isVisible());
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
            QTest::keyClick(popup, key);
        QCOMPARE(edit()->text(), "<02>OR<03>");
        QCOMPARE(log()->count(), 6); // Enter chose, and sent nothing

        // Saved by renaming a new file over it, then in place: each is read again.
        write("read clock = <02>RC<03>\nbroken\n", true);
        QTRY_COMPARE(rows(&m_w->commandLine().list()), "read clock — <02>RC<03>");
        QCOMPARE(log()->lines().mid(6), QStringList{R"(Commands.TXT line 2: no "=")"});
        write("read clock = <02>RC<03>\nset time=<02>ST<03>");
        QTRY_COMPARE(rows(&m_w->commandLine().list()),
                     "read clock — <02>RC<03>|set time — <02>ST<03>");

        // The context menu: the list, and the command line's text kept under a name.
        edit()->setText("<02>ST<03>01 ");
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                edit()->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(edit(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QMenu* commands = action(menu, "Commands")->menu();
        QCOMPARE(commands->actions().size(), 2);
        QCOMPARE(commands->actions()[1]->text(), "set time\t<02>ST<03>");
        m_toolkit.answer = " set & go ";
        action(menu, "Add to Commands…")->trigger();
        commands->actions()[0]->trigger();
        QCOMPARE(edit()->text(), "<02>RC<03>");
        menu->close();
        QCOMPARE(rows(&m_w->commandLine().list()).split('|').last(), "set & go — <02>ST<03>01");
        QVERIFY(m_w->commandLine().list().Append("x", "X", nullptr)); // after a whole last line
        QCOMPARE(contents(),
                 "read clock = <02>RC<03>\nset time=<02>ST<03>\nset & go = <02>ST<03>01\n"
                 "x = X\n");
        QVERIFY(!m_w->commandLine().list().Append("a=b", "X", nullptr)); // would not load so
    }

    void whatIsNotARegularFileIsOneLogLine_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("directory") << "directory"
                                   << "a directory, not a regular file";
        QTest::newRow("named pipe") << "fifo"
                                    << "a named pipe, not a regular file";
        QTest::newRow("device") << "device"
                                << "a device, not a regular file";
        QTest::newRow("over 64 MiB") << "big"
                                     << "67108865 bytes, more than the 64 MiB read at most";
    }
    void whatIsNotARegularFileIsOneLogLine()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = CommandListFile();
        QFile file(path);
        if (kind == "directory")
            QVERIFY(QDir().mkpath(path));
        else if (kind == "fifo") // with no writer: opening it must not wait for one
            QCOMPARE(mkfifo(QFile::encodeName(path), 0600), 0);
        else if (kind == "device")
            QVERIFY(QFile::link("/dev/zero", path));
        else
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(kTextFileAtMost + 1));
        open();
        QCOMPARE(log()->lines(),
                 QStringList{"Commands.TXT not read: " + reason + " (" + path + ")"});
    }

    void aLinkIsReadAndRefusalsPastTwentyAreCounted()
    {
        const QString real = CommandListFile() + ".real";
        const auto removeReal = qScopeGuard([&] { QFile::remove(real); });
        QFile file(real);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write(QByteArray("broken\n").repeated(25) + "ok = X\n") > 0);
        file.close();
        QVERIFY(QFile::link(real, CommandListFile()));
        open();
        QCOMPARE(rows(&m_w->commandLine().list()), "ok — X");
        QCOMPARE(log()->count(), 21);
        QCOMPARE(log()->line(19), R"(Commands.TXT line 20: no "=")");
        QCOMPARE(log()->line(20), "Commands.TXT: 5 more lines refused");
        // Another path holding the same text is read anew, not taken for the one read before.
        m_w->commandLine().list().Load(real);
        QCOMPARE(rows(&m_w->commandLine().list()), "ok — X");
    }

    void pasteThatDoesNotFitIsCutOnATokenAndSaysSo()
    {
        open();
        // The line holds 32,767 characters: a longer paste is cut to the room left, before a
        // token it would split, in one line of the log; one that fits adds none.
        QLineEdit* line = edit();
        const QString big = QString("AB<02>C<0D>").repeated(4000); // 32,767 is in a "<0D>"
        QGuiApplication::clipboard()->setText(big);
        QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_w->CommandText(), big.left(32765));
        line->setSelection(100, 50);
        QTest::keyClick(line, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(m_w->CommandText(), big.left(100) + big.left(51) + big.mid(150, 32615));
        line->setText("A");
        QGuiApplication::clipboard()->setText("BC");
        QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_w->CommandText(), "ABC");
        const QString cut = "Paste cut to fit the command line: %1 of 44000 characters kept";
        QCOMPARE(log()->lines(), QStringList({cut.arg(32765), cut.arg(51)}));
    }

    void pastedControlCharactersBecomeTokens_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::newRow("break, tab") << "AB\nCD\tEF"
                                    << "AB<0A>CD<09>EF";
        QTest::newRow("CR LF, one kept") << "AB\r\n\r\n"
                                         << "AB<0D><0A>";
        QTest::newRow("last LF") << "AB\n"
                                 << "AB";
        QTest::newRow("last CR") << "AB\r"
                                 << "AB";
        QTest::newRow("edges") << QString::fromUtf16(u"\u001f \u007f~\u0080\u009f\u00a0\u0001")
                               << QString::fromUtf16(u"<1F> <7F>~<80><9F>\u00a0<01>");
    }
    void pastedControlCharactersBecomeTokens()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        open();
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_w->CommandText(), shown);
        // The context menu's Paste, over the selection.
        edit()->selectAll();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4),
                                edit()->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(edit(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QGuiApplication::clipboard()->setText("X" + pasted);
        action(menu, "&Paste\tCtrl+V")->trigger();
        menu->close();
        QCOMPARE(m_w->CommandText(), "X" + shown);
        // Dropped from elsewhere, where it falls, as the drag's target hands it on (only a drag
        // from a real pointer reaches the line through the application).
        QMimeData dropped;
        dropped.setText(pasted);
        QDropEvent drop(QPointF(1, edit()->height() / 2), Qt::CopyAction, &dropped, Qt::LeftButton,
                        {});
        QObject* watch = edit()->findChild<PasteWatch*>();
        QVERIFY(watch->eventFilter(edit(), &drop) && drop.isAccepted());
        QCOMPARE(m_w->CommandText(), shown + "X" + shown);
        QVERIFY(log()->lines().isEmpty());
    }

private:
    void open()
    {
        m_w = std::make_unique<TerminalWindow>(m_toolkit);
        m_w->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }
    QLineEdit* edit() const { return m_w->findChild<QLineEdit*>("txtChar"); }
    EventLog* log() const { return m_w->findChild<EventLog*>("LB"); }
    static QAction* action(QMenu* menu, const QString& text)
    {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    static QString rows(const QAbstractItemModel* model)
    {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts.join('|');
    }
    // Writes the file in place, or as a new file renamed over it as many editors save.
    static void write(const QByteArray& text, bool byRename = false)
    {
        const QString path = CommandListFile() + (byRename ? ".new" : "");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) > 0);
        file.close();
        if (byRename)
            QCOMPARE(std::rename(QFile::encodeName(path), QFile::encodeName(CommandListFile())), 0);
    }
    static QByteArray contents()
    {
        QFile file(CommandListFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    AnsweringToolkit m_toolkit;
    std::unique_ptr<TerminalWindow> m_w;
};

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
