// Start-up time of the real program: from the moment it is launched to its window being shown,
// median of 10 launches. The program reports the moment itself when ACCESSTERM_STARTUP_PROBE is
// set (steady clock, shared by every process here), then quits.
//   bench_startup [path-to-accessterm]
#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QDir(QCoreApplication::applicationDirPath())
                                           .filePath(QStringLiteral("../accessterm"));
    std::vector<double> ms;
    for (int i = 0; i < 10; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ACCESSTERM_STARTUP_PROBE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        const auto launched = std::chrono::steady_clock::now().time_since_epoch();
        child.start(program, {});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::fprintf(stderr, "%s did not start: %s\n", qPrintable(program),
                         child.readAllStandardError().constData());
            return 1;
        }
        const QByteArray out = child.readAllStandardOutput();
        const int at = out.indexOf("shown_ns: ");
        if (at < 0) {
            std::fprintf(stderr, "no start-up probe in the program's output\n");
            return 1;
        }
        const long long shown = out.mid(at + 10).trimmed().toLongLong();
        ms.push_back((shown - std::chrono::nanoseconds(launched).count()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("startup_ms: %.0f ms\n", ms[ms.size() / 2]);
    std::printf("startup_ms_max: %.0f ms\n", ms.back());
    return 0;
}
