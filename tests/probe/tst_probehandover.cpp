// The hand-over between the watcher thread and the reader, built with the thread sanitizer: any
// unguarded access between the two threads fails this test. It is a plain program rather than a Qt
// Test one because Qt Test runs a watchdog thread inside Qt, which is not built for the sanitizer
// and would be reported in place of the engine.

#include "PtyDrive.h"
#include "RecordingPrompter.h"
#include "probe/ProbeSerialPort.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <thread>

using namespace regprobe;
using probetest::PtyDrive;

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char* what, int line) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAIL: %s (line %d)\n", what, line);
}
#define CHECK(condition) check((condition), #condition, __LINE__)

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void roundTripsWithStrayBytes() {
    PtyDrive drive;
    CHECK(drive.publishAs(QStringLiteral("COM4")));
    probetest::RecordingPrompter prompter;
    ProbeSerialPort port(&prompter);
    port.portName = QStringLiteral("COM4");
    QStringList replies;
    port.replyHandler = [&](const QString& text) { replies << text; };
    CHECK(port.OpenPort());

    for (int i = 0; i < 12; ++i) {
        const QString value = QStringLiteral("%1").arg(i * 257, 4, 16, QLatin1Char('0'));
        CHECK(port.SendHexFrame("01 06 00 0C " + value) == 8);
        pause(100);
        CHECK(port.ReadProbeReply(1, 6, 8));
        // Noise arriving between requests keeps the watcher busy while the reader is idle.
        drive.inject(QByteArray::fromHex("FE"));
        CHECK(port.SendHexFrame("01 03 00 0C 00 01") == 8);
        pause(100);
        CHECK(port.ReadProbeReply(1, 3, 7));
    }
    CHECK(replies.size() == 24);
    CHECK(!replies.isEmpty() && replies.last().startsWith("01 03 02 0B 0B "));
    CHECK(prompter.messages.isEmpty());
    CHECK(port.ClosePort());
}

void closeWhileWatcherBlocks() {
    PtyDrive drive;
    CHECK(drive.publishAs(QStringLiteral("COM4")));
    probetest::RecordingPrompter prompter;
    ProbeSerialPort port(&prompter);
    port.portName = QStringLiteral("COM4");
    for (int cycle = 0; cycle < 6; ++cycle) {
        CHECK(port.OpenPort());
        // Odd cycles leave bytes unread, so the watcher sits waiting for the reader.
        if (cycle % 2)
            drive.inject(QByteArray::fromHex("0102"));
        pause(30);
        const auto start = std::chrono::steady_clock::now();
        CHECK(port.ClosePort());
        CHECK(std::chrono::steady_clock::now() - start < std::chrono::milliseconds(250));
    }
}

} // namespace

int main() {
    QTemporaryDir configHome;
    CHECK(configHome.isValid());
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());

    roundTripsWithStrayBytes();
    closeWhileWatcherBlocks();

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
