// How close the link's transactions come to the waits they must make, and what the waits cost.
//
// Starts qzdrive-sim on a pseudo-terminal (published as COM1 in a private port map), then runs
// writes and one-register reads exactly as the windows do (send, wait T, receive, settle wait T)
// and reports the wall time per transaction against the floor of the waits it must make, and the
// CPU time that WaitMs spends per second of waiting.

#include "BenchSupport.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/Prompts.h"
#include "link/QtSerialPort.h"
#include "link/RegisterMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

struct Timing {
    double msPerTransaction = 0;
    double floorMs = 0;
    int failures = 0;
};

// One transaction as the windows run it, timed over many repetitions.
Timing measure(kiro::DriveLink& link, quint8 function, float address, float value, int rounds) {
    Timing timing;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < rounds; ++i) {
        link.SendRequest(1, function, address, value);
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(1, function);
        if (link.ReplyError() != 0)
            ++timing.failures;
        link.WaitMs(link.ReplyWaitMs());
    }
    timing.msPerTransaction = double(wall.nsecsElapsed()) / 1e6 / rounds;
    // Wait T before the first poll, the wait after reading the reply, the settle wait T.
    const int afterReading = link.ExpectedReplyLength() / link.BaudKilo() + 30;
    timing.floorMs = 2.0 * link.ReplyWaitMs() + afterReading;
    return timing;
}

void report(const char* what, const Timing& timing) {
    std::printf("%-28s %8.2f ms  floor %5.1f ms  ratio %5.3f  failures %d\n", what,
                timing.msPerTransaction, timing.floorMs, timing.msPerTransaction / timing.floorMs,
                timing.failures);
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 100;

    QProcess drive;
    if (!startDriveOnCom1(drive, QStringLiteral("x7")))
        return 1;

    kiro::QtSerialPort port;
    if (!openCom1(port))
        return 1;
    kiro::EventPumpClock clock;
    CountingPrompter prompter;
    kiro::DriveLink driveLink(port, clock, prompter, kiro::LinkVariant::x7());
    driveLink.setBaudKilo(38);

    std::printf("%d transactions each, 38400 baud, qzdrive-sim on a pseudo-terminal\n", rounds);
    report("write (function 6)", measure(driveLink, 6, kiro::reg::CurrentLoopKp, 120, rounds));
    report("read of 1 register", measure(driveLink, 3, kiro::reg::PeakCurrent, 1, rounds));

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < 5; ++i)
        driveLink.WaitMs(1000);
    const double waitedSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = processCpuSeconds() - cpuBefore;
    std::printf("WaitMs: %.1f ms of CPU per second waited (%.2f %% of one core)\n",
                1000.0 * cpu / waitedSeconds, 100.0 * cpu / waitedSeconds);

    port.close();
    drive.terminate();
    drive.waitForFinished(3000);
    return prompter.shown == 0 ? 0 : 1;
}
