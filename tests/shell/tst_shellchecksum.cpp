// accessterm checksum, and send --checksum against a loopback peer, as a script runs them.
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class tst_ShellChecksum : public QObject
{
    Q_OBJECT
private slots:
    void run_data();
    void run();
};

void tst_ShellChecksum::run_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("reply"); // for send: the peer's answer to every command
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const auto row = [](const char* name, const char* arguments, const char* reply, int status,
                        const char* out, const char* err) {
        QTest::newRow(name) << QString::fromLatin1(arguments).split(QLatin1Char(' '))
                            << QByteArray(reply) << status << QString::fromLatin1(out)
                            << QString::fromLatin1(err);
    };
    row("bcc after the ETX, before CR", "checksum bcc <02>OD01<03><0D> 123456789", "", 0,
        "<02>OD01<03><09><0D>\n123456789<31>\n", "");
    row("a -hex value in characters", "checksum crc16-modbus-hex 123456789", "", 0,
        "123456789374B\n", "");
    row("bytes after a last data byte 0D", "checksum crc16-modbus <01><06><00><01><00><0D>", "", 0,
        "<01><06><00><01><00><0D><19><CF>\n", "");
    row("every name, fits where carried", "checksum --all <02>A<03><42>", "", 0,
        "\nbcc               42  fits\nbcc-hex           42\n", "");
    row("an unknown name", "checksum nope X", "", 2, "", "no check value is called \"nope\"");
    row("a command with no name", "checksum AB<02>", "", 2, "", "the names are: bcc, bcc-hex");
    row("no name at all", "checksum", "", 2, "", "checksum wants a NAME or --all");
    row("a refused command", "checksum xor X<0", "", 2, "", "Command 1: Nothing sent");
    row("--all is for checksum", "send --all X", "", 2, "", "--all is for checksum");
    row("send, a good reply", "send --checksum bcc <02>A<03>", "\x02OK\x03\x07", 0,
        "[Output]------<02>A<03><42>\n[Input]------<02>OK<03><07>\n", "");
    row("send, a failing reply", "send --checksum bcc <02>A<03>", "\x02OK\x03\x0e", 1,
        "[Output]------<02>A<03><42>\n[Input]------<02>OK<03><0E>\n",
        "Reply to command 1: bcc 0E, expected 07\n");
    row("send, a bare ACK is not checked", "send --checksum crc16-osdp 123456789", "\x06", 0,
        "[Output]------123456789<CC><E5>\n[Input]------<06>\n", "");
}

void tst_ShellChecksum::run()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, reply);
    QTcpServer peer;
    peer.listen(QHostAddress::LocalHost);
    QByteArray received;
    QObject::connect(&peer, &QTcpServer::newConnection, [&] {
        QTcpSocket* socket = peer.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, [&, socket] {
            received += socket->readAll();
            socket->write(reply);
        });
    });
    if (arguments.first() == QLatin1String("send"))
        arguments << QStringLiteral("--tcp")
                  << QStringLiteral("127.0.0.1:%1").arg(peer.serverPort());
    QProcess shell;
    shell.start(QStringLiteral(ACCESSTERM_PROGRAM), arguments);
    QVERIFY(QTest::qWaitFor([&] { return shell.state() == QProcess::NotRunning; }, 20000));
    QTEST(shell.exitCode(), "status");
    QFETCH(QString, out);
    QFETCH(QString, err);
    // Whole when short, a part when long; nothing at all when nothing is due.
    const auto holds = [](const QString& said, const QString& expected) {
        return expected.isEmpty() ? said.isEmpty() : said.contains(expected);
    };
    const QString said = QString::fromLatin1(shell.readAllStandardOutput());
    QVERIFY2(holds(said, out), qPrintable(said));
    const QString complained = QString::fromLatin1(shell.readAllStandardError());
    QVERIFY2(holds(complained, err), qPrintable(complained));
    if (arguments.first() == QLatin1String("send") && shell.exitCode() < 2)
        QVERIFY(!received.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ShellChecksum)
#include "tst_shellchecksum.moc"
