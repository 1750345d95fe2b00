// The hand-over between the watcher thread and the reader, built with the thread sanitizer: any
// unguarded access between the two threads fails this test.

#include "PtyDrive.h"
#include "RecordingPrompter.h"
#include "probe/ProbeSerialPort.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace regprobe;
using probetest::PtyDrive;

class ProbeHandOverTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir configHome_;

private slots:
    void initTestCase() {
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    }

    void roundTripsWithStrayBytes() {
        PtyDrive drive;
        QVERIFY(drive.publishAs(QStringLiteral("COM4")));
        probetest::RecordingPrompter prompter;
        ProbeSerialPort port(&prompter);
        port.portName = QStringLiteral("COM4");
        QStringList replies;
        port.replyHandler = [&](const QString& text) { replies << text; };
        QVERIFY(port.OpenPort());

        for (int i = 0; i < 12; ++i) {
            const QString value = QStringLiteral("%1").arg(i * 257, 4, 16, QLatin1Char('0'));
            QCOMPARE(port.SendHexFrame("01 06 00 0C " + value), 8);
            QThread::msleep(100);
            QVERIFY(port.ReadProbeReply(1, 6, 8));
            // Noise arriving between requests keeps the watcher busy while the reader is idle.
            drive.inject(QByteArray::fromHex("FE"));
            QCOMPARE(port.SendHexFrame("01 03 00 0C 00 01"), 8);
            QThread::msleep(100);
            QVERIFY(port.ReadProbeReply(1, 3, 7));
        }
        QCOMPARE(replies.size(), 24);
        QVERIFY(replies.last().startsWith("01 03 02 0B 0B "));
        QVERIFY(prompter.messages.isEmpty());
        QVERIFY(port.ClosePort());
    }

    void closeWhileWatcherBlocks() {
        PtyDrive drive;
        QVERIFY(drive.publishAs(QStringLiteral("COM4")));
        probetest::RecordingPrompter prompter;
        ProbeSerialPort port(&prompter);
        port.portName = QStringLiteral("COM4");
        for (int cycle = 0; cycle < 6; ++cycle) {
            QVERIFY(port.OpenPort());
            // Odd cycles leave bytes unread, so the watcher sits waiting for the reader.
            if (cycle % 2)
                drive.inject(QByteArray::fromHex("0102"));
            QThread::msleep(30);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(port.ClosePort());
            QVERIFY(clock.elapsed() < 250);
        }
    }
};

QTEST_GUILESS_MAIN(ProbeHandOverTest)
#include "tst_probehandover.moc"
