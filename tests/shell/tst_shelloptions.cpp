// What the shell modes read from their command line, at its bounds, without starting the program.
#include "shell/ShellOptions.h"

#include <QtTest>

class tst_ShellOptions : public QObject
{
    Q_OBJECT

private slots:
    void bounds_data()
    {
        QTest::addColumn<QString>("arguments");
        // Empty when the arguments are taken; otherwise the start of the refusal.
        QTest::addColumn<QString>("refusal");
        // What was read, as "host:port serial device baud wait for hex commands".
        QTest::addColumn<QString>("read");
        const auto row = [](const char* arguments, const char* refusal, const char* read = "") {
            QTest::newRow(arguments) << QString::fromLatin1(arguments)
                                     << QString::fromLatin1(refusal) << QString::fromLatin1(read);
        };
        row("send --tcp h:1 A", "", "h:1 0  4800 2000 -1 0 A");
        row("send --tcp [::1]:65535 A B", "", "::1:65535 0  4800 2000 -1 0 A|B");
        row("send --tcp :1 A", "--tcp wants");
        row("send --tcp []:1 A", "--tcp wants");
        row("send --tcp h:x A", "--tcp wants");
        row("send --serial 1 --baud 115200 --wait 0 --hex A", "", ":0 1  115200 0 -1 1 A");
        row("send --serial 16 A", "", ":0 16  4800 2000 -1 0 A");
        row("send --serial 0 A", "--serial wants");
        row("send --serial 17 A", "--serial wants");
        row("send --serial /dev/ttyS0 A", "", ":0 0 /dev/ttyS0 4800 2000 -1 0 A");
        row("send --serial 1 --baud 0 A", "Wrong Boad Rate");
        row("send --serial 1 --baud &H2580 A", "", ":0 1  9600 2000 -1 0 A");
        row("send --tcp h:1 --baud 9600 A", "--baud is for a serial port");
        row("send --tcp h:1 --wait -1 A", "--wait wants");
        row("listen --tcp h:1 --wait 5", "--wait is not for listen");
        row("listen --tcp h:1 --for 0.25", "", "h:1 0  4800 2000 250 0 ");
        row("listen --tcp h:1 --for 2000000", "", "h:1 0  4800 2000 2000000000 0 ");
        row("listen --tcp h:1 --for 2000001", "--for wants");
        row("listen --tcp h:1 --for -1", "--for wants");
        row("listen --tcp h:1 A", "listen takes no COMMAND");
        row("send --tcp h:1", "send wants at least one COMMAND");
        row("--tcp h:1 A", "send, listen, check, answer, checksum, protocol or decode comes first");
        row("protocol", "protocol wants \"list\", \"show NAME\" or \"check FILE\"");
        row("protocol show", "protocol wants \"list\", \"show NAME\" or \"check FILE\"");
        row("protocol list --hex", "protocol takes no options");
        row("decode", "decode wants --protocol NAME or FILE");
        row("decode --osdpcap --raw", "give one of --raw and --osdpcap");
        row("decode --protocol osdp --for 1", "--for is not for decode");
        row("decode --protocol osdp a b", "decode reads one FILE");
        row("listen --serial 1 --raw", "--raw is not for listen");
        row("send --serial 1 --trace t A", "--trace is not for send");
        row("send A", "give one of --tcp, --tcp-listen, --udp and --serial");
    }

    void bounds()
    {
        QFETCH(QString, arguments);
        ShellOptions options;
        QString error;
        const bool taken = ParseShellOptions(
            (QStringLiteral("accessterm ") + arguments).split(QLatin1Char(' ')), options, error);
        QFETCH(QString, refusal);
        QVERIFY2(taken ? refusal.isEmpty() : !refusal.isEmpty() && error.startsWith(refusal),
                 qPrintable(error));
        if (!taken)
            return;
        const QString read = QStringLiteral("%1:%2 %3 %4 %5 %6 %7 %8 %9")
                                 .arg(options.host)
                                 .arg(options.tcpPort)
                                 .arg(options.serialPort)
                                 .arg(options.serialDevice)
                                 .arg(options.baud)
                                 .arg(options.waitMs)
                                 .arg(options.forMs)
                                 .arg(int(options.hex))
                                 .arg(options.commands.join(QLatin1Char('|')));
        QTEST(read, "read");
    }

    void repeatBounds_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("read"); // "repeat every wait stop-on-failure"
        const auto row = [](const char* arguments, const char* refusal, const char* read = "") {
            QTest::newRow(arguments) << QString::fromLatin1(arguments)
                                     << QString::fromLatin1(refusal) << QString::fromLatin1(read);
        };
        row("send --tcp h:1 A", "", "1 -1 2000 0");
        row("send --tcp h:1 --repeat 3 --every 10 A", "", "3 10 1000 0");
        row("send --tcp h:1 --repeat 1000000 --every reply --wait 5 --stop-on-failure A", "",
            "1000000 0 5 1");
        row("send --tcp h:1 --repeat 2 --every 3600000 --wait 3600000 A", "",
            "2 3600000 3600000 0");
        row("send --tcp h:1 --repeat 1000001 --every 10 A", "--repeat wants a count of 1 to");
        row("send --tcp h:1 --repeat 0 --every 10 A", "--repeat wants a count of 1 to");
        row("send --tcp h:1 --repeat 2 --every 9 A", "--every wants milliseconds, 10 to 3600000");
        row("send --tcp h:1 --repeat 2 --every 3600001 A", "--every wants");
        row("send --tcp h:1 --repeat 2 --every replies A", "--every wants");
        row("send --tcp h:1 --repeat 2 --every 10 --wait 0 A", "--wait wants milliseconds, 1 to");
        row("send --tcp h:1 --repeat 2 --every 10 --max-reply 9 A", "--max-reply is not for");
        row("send --tcp h:1 --repeat 2 A", "send wants --repeat and --every together");
        row("send --tcp h:1 --every 10 A", "send wants --repeat and --every together");
        row("send --tcp h:1 --stop-on-failure A", "--stop-on-failure is for send --repeat");
        row("check --tcp h:1 --every 10 f", "--every is not for check");
        row("check --tcp h:1 --repeat 5000000 f", "", "5000000 -1 2000 0");
    }
    void repeatBounds()
    {
        QFETCH(QString, arguments);
        ShellOptions options;
        QString error;
        const bool taken = ParseShellOptions(
            (QStringLiteral("accessterm ") + arguments).split(QLatin1Char(' ')), options, error);
        QFETCH(QString, refusal);
        QVERIFY2(taken ? refusal.isEmpty() : !refusal.isEmpty() && error.startsWith(refusal),
                 qPrintable(error));
        if (taken)
            QTEST(QStringLiteral("%1 %2 %3 %4")
                      .arg(options.repeat)
                      .arg(options.everyMs)
                      .arg(options.waitMs)
                      .arg(int(options.stopOnFailure)),
                  "read");
    }

    void onlyItsWordsAskForTheShell()
    {
        const auto asks = [](std::initializer_list<const char*> words) {
            std::vector<char*> argv;
            for (const char* word : words)
                argv.push_back(const_cast<char*>(word));
            return IsShellCommand(int(argv.size()), argv.data());
        };
        QVERIFY(asks({"accessterm", "send"}) && asks({"accessterm", "listen"}) &&
                asks({"accessterm", "-v"}) && asks({"accessterm", "--help-all"}));
        QVERIFY(!asks({"accessterm"}) && !asks({"accessterm", "-platform"}) &&
                !asks({"accessterm", "sendx"}));
    }
};

QTEST_MAIN(tst_ShellOptions)
#include "tst_shelloptions.moc"
