// How long comparing a QZ318-X7 with its 19-register archive takes against the simulated drive,
// measured against the waits its reads must make.
//
// Starts qzdrive-sim on a pseudo-terminal (COM1 in a private port map), saves the drive's archive,
// then compares the drive with it as qzcli archive verify does, and reports the wall time against
// its floor: per register read the wait T, the wait after reading the reply and the settle wait T.
// Exits 1 when the drive did not hold its own archive, a message was shown, or the ratio exceeds
// 1.05.

#include "BenchSupport.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/LinkVariant.h"
#include "link/QtSerialPort.h"
#include "storage/ArchiveComparison.h"
#include "storage/ArchiveFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr double kMaxRatio = 1.05;

// The real port, counting the read requests that go out.
class CountingPort : public kiro::QtSerialPort {
public:
    bool write(const QByteArray& bytes) override {
        if (bytes.size() > 1 && bytes[1] == 3)
            ++reads;
        return kiro::QtSerialPort::write(bytes);
    }
    int reads = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QProcess drive;
    drive.setStandardOutputFile(QProcess::nullDevice());
    if (!startDriveOnCom1(drive, QStringLiteral("x7")))
        return 1;

    CountingPort port;
    kiro::EventPumpClock clock;
    CountingPrompter prompter;
    kiro::DriveLink link(port, clock, prompter, kiro::LinkVariant::x7());
    if (!openCom1(port))
        return 1;
    link.setBaudKilo(38);

    const QString path = config.filePath(QStringLiteral("drive.txt"));
    const kiro::ArchiveReading archive =
        kiro::SaveArchive(link, path).outcome == kiro::ArchiveSaveResult::Outcome::Saved
            ? kiro::ReadArchiveFile(path)
            : kiro::ArchiveReading{};
    if (!archive.ok) {
        std::fprintf(stderr, "the drive's archive could not be saved\n");
        return 1;
    }

    port.reads = 0;
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const kiro::DriveComparison comparison = kiro::CompareArchive(link, archive.entries);
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    const double cpuMs = (processCpuSeconds() - cpuBefore) * 1000.0;

    // A read of one register announces a reply of 8 bytes on both drives.
    constexpr int kReplyLength = 8;
    const double floorMs = port.reads * waitsOf(kReplyLength, true);
    const double ratio = wallMs / floorMs;
    const bool same = comparison.outcome == kiro::DriveComparison::Outcome::Same;
    std::printf("archive verify: %d reads  %7.1f ms  floor %7.1f ms  ratio %5.3f  CPU %5.1f ms  "
                "%s\n",
                port.reads, wallMs, floorMs, ratio, cpuMs,
                same ? "the drive holds the file" : "the drive differs");
    port.close();
    drive.terminate();
    drive.waitForFinished(3000);
    return same && prompter.shown == 0 && ratio <= kMaxRatio ? 0 : 1;
}
