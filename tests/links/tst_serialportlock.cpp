// The serial port's lock file: the program holding a port is named and, stopped by a signal,
// leaves no lock behind; a lock left by a process that has gone is cleared when this user may
// clear it, and named with its file and owner when not.
#include "links/MSComm.h"
#include "links/SerialPortLock.h"
#include "support/PtyPair.h"

#include <QProcess>
#include <QtTest>

#include <fstream>
#include <sys/stat.h>

class tst_SerialPortLock : public QObject
{
    Q_OBJECT
    PtyPair pty;
    const QString at = "Comport 1 (" + pty.slavePath() + "): ";
    QString lock() const { return SerialPortLock(pty.slavePath()).path(); }
    // Why port 1, the pseudo-terminal, did not open, after the port and device it names.
    QString why() const { return QString(MSComm().SetPortOpen(true).description()).remove(at); }

private slots:
    void lockFilesAreNamedAsOtherProgramsNameThem()
    {
        const QTemporaryDir folder;
        qputenv("ACCESSTERM_LOCK_DIR", folder.path().toLocal8Bit());
        QCOMPARE(SerialPortLock("/dev/ttyUSB0").path(), folder.path() + "/LCK..ttyUSB0");
        QCOMPARE(SerialPortLock("/dev/serial/by-id/x").path(),
                 folder.path() + "/LCK..serial_by-id_x");
        qunsetenv("ACCESSTERM_LOCK_DIR");
    }

    void aLockedPort()
    {
        qputenv("ACCESSTERM_COM1", pty.slavePath().toLocal8Bit());
        qputenv("ACCESSTERM_OPEN_COMPORT", "1");
        QProcess program;
        program.start(QStringLiteral(ACCESSTERM_PROGRAM));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(lock()).size() > 0, 30000);
        QCOMPARE(why(), QString("in use by accessterm (process %1)").arg(program.processId()));
        program.terminate(); // SIGTERM
        QVERIFY(program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFile::exists(lock()));

        // Left by a process gone, its number alone as some programs write it, in a folder the
        // test points the terminal at. A read-only folder stands in for another user's lock, and
        // root, who may remove files there all the same, opens as another user.
        QTemporaryDir folder;
        qputenv("ACCESSTERM_LOCK_DIR", folder.path().toLocal8Bit());
        const qint64 gone = std::numeric_limits<pid_t>::max();
        std::ofstream(lock().toStdString()) << "   " << gone << '\n';
        ::chmod(QFile::encodeName(folder.path()), 0555);
        const bool asOther = ::geteuid() == 0 && ::seteuid(65534) == 0;
        const QString shown = why();
        QVERIFY(!asOther || ::seteuid(0) == 0);
        QCOMPARE(shown, QString("locked by process %1, which is no longer running; remove %2 "
                                "(owned by %3)")
                            .arg(gone)
                            .arg(lock(), QFileInfo(folder.path()).owner()));
        // This user's own lock is removed, and the port opens.
        ::chmod(QFile::encodeName(folder.path()), 0755);
        QCOMPARE(why(), QString());
        QVERIFY(!QFile::exists(lock()));
    }
};

QTEST_MAIN(tst_SerialPortLock)
#include "tst_serialportlock.moc"
