#pragma once

#include <QProcess>
#include <QTest>

// The real program run as a script runs it: no display, no platform chosen.
struct ShellProcess {
    QProcess process;
    QString output; // standard output so far, read by outputHas

    // settings: "NAME=value" each, added to the environment.
    explicit ShellProcess(const QStringList& arguments, const QStringList& settings = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        // A window that opens quits once it is shown.
        env.insert(QStringLiteral("ACCESSTERM_STARTUP_PROBE"), QStringLiteral("1"));
        for (const QString& setting : settings)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ACCESSTERM_PROGRAM), arguments);
    }
    ~ShellProcess()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    // The exit status once the program has ended (-1 for a crash or a hang).
    int status(int ms = 20000)
    {
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, ms))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    // Waits until standard output holds text.
    bool outputHas(const QString& text, int ms = 10000)
    {
        return QTest::qWaitFor(
            [&] {
                return (output += QString::fromUtf8(process.readAllStandardOutput()))
                    .contains(text);
            },
            ms);
    }
    QString out() { return QString::fromUtf8(process.readAllStandardOutput()); }
    QString err() { return QString::fromUtf8(process.readAllStandardError()); }
};
