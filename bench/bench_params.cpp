// How long the parameter settings window takes to open against the simulated drive, measured
// against the waits its read-back must make, and how much CPU the program spends meanwhile.
//
// Starts qzdrive-sim on a pseudo-terminal (COM1 in a private port map), opens each tuner's window
// in this process as the menu command does, and reports the wall time of the opening against its
// floor: per read the wait T, the wait after reading the reply and the settle wait T; per slider
// write-back the wait T and the wait after reading the echo. Exits 1 when the ratio exceeds 1.05
// or the CPU time exceeds 5 % of the wall time.

#include "BenchSupport.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/Prompts.h"
#include "link/QtSerialPort.h"
#include "params/ParameterWindowInstall.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr double kMaxRatio = 1.05;
constexpr double kMaxCpuShare = 0.05;

// The real port, counting the requests that go out by function.
class CountingPort : public kiro::QtSerialPort {
public:
    bool write(const QByteArray& bytes) override {
        if (bytes.size() > 1)
            ++(bytes[1] == 3 ? reads : writes);
        return kiro::QtSerialPort::write(bytes);
    }
    int reads = 0;
    int writes = 0;
};

bool benchOpening(const char* variantName) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QProcess drive;
    drive.setStandardOutputFile(QProcess::nullDevice());
    if (!startDriveOnCom1(drive, QString::fromLatin1(variantName)))
        return false;

    const kiro::Variant& variant = *kiro::Variant::byName(QString::fromLatin1(variantName));
    CountingPort port;
    kiro::EventPumpClock clock;
    CountingPrompter prompter;
    kiro::DriveLink link(port, clock, prompter, *variant.link);
    kiro::ShellState state(link, prompter, variant);
    kiro::MainWindow window(state);
    kiro::installParameterWindow(window);
    window.show();
    if (!openCom1(port))
        return false;
    link.setBaudKilo(38);
    state.announcePortOpened();
    QCoreApplication::processEvents();

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    window.findChild<QAction*>(QStringLiteral("P_test"))->trigger();
    // The read-back runs as a job of the program's drive-work queue, after the command.
    while (!state.work().idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    const double cpuMs = (processCpuSeconds() - cpuBefore) * 1000.0;

    // Both drives announce 8 bytes for a read of one register, and a write's echo is 8 bytes.
    constexpr int kReplyLength = 8;
    const double floorMs =
        port.reads * waitsOf(kReplyLength, true) + port.writes * waitsOf(kReplyLength, false);
    const double ratio = wallMs / floorMs;
    const double cpuShare = cpuMs / wallMs;
    std::printf("%-10s %2d reads %d writes  %7.1f ms  floor %7.1f ms  ratio %5.3f  CPU %5.1f ms "
                "(%4.2f %%)\n",
                qPrintable(variant.programName), port.reads, port.writes, wallMs, floorMs, ratio,
                cpuMs, 100.0 * cpuShare);
    window.close();
    port.close();
    drive.terminate();
    drive.waitForFinished(3000);
    return prompter.shown == 0 && ratio <= kMaxRatio && cpuShare <= kMaxCpuShare;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    bool good = true;
    for (const char* variant : {"x7", "qz318"})
        good = benchOpening(variant) && good;
    return good ? 0 : 1;
}
