// The probe's serial engine against a drive on a real pseudo-terminal.

#include "PtyDrive.h"
#include "RecordingPrompter.h"
#include "probe/ProbeCrc16.h"
#include "probe/ProbeSerialPort.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <QDir>
#include <QSet>

#include <atomic>
#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

using namespace regprobe;
using probetest::PtyDrive;

namespace {

std::atomic<bool> watcherHeld{false};
std::atomic<bool> releaseWatcher{false};

// Keeps the thread it interrupts until the test lets it go (or five seconds have passed, so that a
// failing test does not hang).
void holdWatcher(int) {
    watcherHeld = true;
    for (int ms = 0; ms < 5000 && !releaseWatcher; ++ms) {
        timespec pause{0, 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}

QSet<int> threadIds() {
    QSet<int> ids;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        ids.insert(task.toInt());
    return ids;
}

} // namespace

class ProbeEngineTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir configHome_;

    struct Rig {
        PtyDrive drive;
        probetest::RecordingPrompter prompter;
        ProbeSerialPort port{&prompter};
        QStringList replies;

        Rig() {
            drive.publishAs(QStringLiteral("COM3"));
            port.portName = QStringLiteral("COM3");
            port.replyHandler = [this](const QString& text) { replies << text; };
        }
        // What the dialog does for one row: send, let the drive answer, read.
        bool transact(const QString& text, int station, int function, int length) {
            port.SendHexFrame(text);
            QThread::msleep(100);
            return port.ReadProbeReply(station, function, length);
        }
    };

private slots:
    void initTestCase() {
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    }

    void crc_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("crc");
        QTest::newRow("check value") << QByteArray("123456789") << 0x4B37;
        QTest::newRow("read register 0") << QByteArray::fromHex("010300000001") << 0x0A84;
        QTest::newRow("write 1 to 12") << QByteArray::fromHex("0106000C0001") << 0x0988;
        QTest::newRow("nothing") << QByteArray() << 0xFFFF;
    }
    void crc() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        QCOMPARE(
            ProbeCrc16(reinterpret_cast<const std::uint8_t*>(bytes.constData()), int(bytes.size())),
            crc);
    }

    void hexTextToFrame_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("frame"); // empty: refused
        QTest::newRow("blanks") << "01 03 00 0A 00 01" << QByteArray::fromHex("0103000A0001A408");
        QTest::newRow("no blanks, lower case")
            << "0103000a0001" << QByteArray::fromHex("0103000A0001A408");
        QTest::newRow("odd length drops the last digit")
            << "0103000A00017" << QByteArray::fromHex("0103000A0001A408");
        QTest::newRow("odd length, last character not even hexadecimal")
            << "0103000A0001 G" << QByteArray::fromHex("0103000A0001A408");
        QTest::newRow("not hexadecimal") << "01 03 00 0G 00 01" << QByteArray();
        QTest::newRow("blank inside a pair") << "0 103" << QByteArray();
    }
    void hexTextToFrame() {
        QFETCH(QString, text);
        QFETCH(QByteArray, frame);
        probetest::RecordingPrompter prompter;
        ProbeSerialPort port(&prompter);
        const auto made = port.HexTextToFrame(text);
        if (frame.isEmpty()) {
            QVERIFY(!made);
            QCOMPARE(prompter.texts(), QStringList{"输入字符超出16进制范围，无法按16进制正常发送"});
            QCOMPARE(prompter.messages[0].icon, ProbeMessage::Icon::Error);
            QCOMPARE(prompter.messages[0].title, QString("RegProbe"));
        } else {
            QCOMPARE(made.value_or(QByteArray()), frame);
            QVERIFY(prompter.messages.isEmpty());
        }
    }

    void exchange_data() {
        QTest::addColumn<PtyDrive::Behaviour>("behaviour");
        QTest::addColumn<int>("driveStation");
        QTest::addColumn<QByteArray>("strayFirst"); // on the line before the request goes out
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QStringList>("messages");

        using B = PtyDrive::Behaviour;
        const QStringList none;
        const QString readReply = "01 03 02 12 34 B5 33 ";
        QTest::newRow("read") << B::Normal << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7
                              << QStringList{readReply} << none;
        QTest::newRow("write echo") << B::Normal << 1 << QByteArray() << "01 06 00 0C 03 E8" << 6
                                    << 8 << QStringList{"01 06 00 0C 03 E8 49 77 "} << none;
        QTest::newRow("station 10") << B::Normal << 10 << QByteArray() << "0A 03 00 0A 00 01" << 3
                                    << 7 << QStringList{"0A 03 02 12 34 10 F2 "} << none;
        QTest::newRow("stray bytes in the reply")
            << B::StrayBeforeReply << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7
            << QStringList{readReply} << none;
        QTest::newRow("stray bytes waiting before the request")
            << B::Normal << 1 << QByteArray::fromHex("5501AA") << "01 03 00 0A 00 01" << 3 << 7
            << QStringList{readReply} << none;
        QTest::newRow("two registers cut to seven bytes")
            << B::Normal << 1 << QByteArray() << "01 03 00 0A 00 02" << 3 << 7 << none
            << QStringList{"CRC CHECK ERROR!"};
        QTest::newRow("no reply") << B::Silent << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7
                                  << none << none;
        QTest::newRow("exception reply")
            << B::Exception << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7 << none << none;
        QTest::newRow("reply from another station")
            << B::OtherStation << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7 << none
            << none;
        QTest::newRow("stray bytes holding the station and function")
            << B::Normal << 1 << QByteArray::fromHex("0103FF") << "01 03 00 0A 00 01" << 3 << 7
            << none << QStringList{"CRC CHECK ERROR!"};
        QTest::newRow("bad CRC") << B::BadCrc << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7
                                 << none << QStringList{"CRC CHECK ERROR!"};
        QTest::newRow("write echo cut to seven bytes")
            << B::CutReply << 1 << QByteArray() << "01 06 00 0C 03 E8" << 6 << 8 << none << none;
        QTest::newRow("read reply cut to six bytes")
            << B::CutReply << 1 << QByteArray() << "01 03 00 0A 00 01" << 3 << 7 << none << none;
        // The reader takes 256 bytes at most; whatever lies beyond is purged unread.
        QTest::newRow("reply ending at the 256th byte")
            << B::Normal << 1 << QByteArray(249, char(0xFF)) << "01 03 00 0A 00 01" << 3 << 7
            << QStringList{readReply} << none;
        QTest::newRow("more than 256 bytes waiting")
            << B::Normal << 1 << QByteArray(250, char(0xFF)) << "01 03 00 0A 00 01" << 3 << 7
            << none << none;
    }
    void exchange() {
        QFETCH(PtyDrive::Behaviour, behaviour);
        QFETCH(int, driveStation);
        QFETCH(QByteArray, strayFirst);
        QFETCH(QString, request);
        QFETCH(int, function);
        QFETCH(int, length);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, messages);

        Rig rig;
        QVERIFY(rig.drive.valid());
        rig.drive.setBehaviour(behaviour);
        rig.drive.setStation(driveStation);
        rig.drive.setRegister(0x0A, 0x1234);
        rig.drive.setRegister(0x0B, 0x5678);
        QVERIFY(rig.port.OpenPort());
        if (!strayFirst.isEmpty()) {
            rig.drive.inject(strayFirst);
            QThread::msleep(50);
        }

        const int station = request.left(2).toInt(nullptr, 16);
        QCOMPARE(rig.port.SendHexFrame(request), 8);
        QThread::msleep(100);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.port.ReadProbeReply(station, function, length));
        if (behaviour == PtyDrive::Behaviour::Silent)
            QVERIFY2(clock.elapsed() >= 190, "the reply wait must last its 200 ms");

        QCOMPARE(rig.drive.received(), rig.port.HexTextToFrame(request).value());
        QCOMPARE(rig.replies, replies);
        QCOMPARE(rig.prompter.texts(), messages);

        // Whatever happened, the next exchange on the same port starts clean.
        rig.drive.setBehaviour(PtyDrive::Behaviour::Normal);
        rig.replies.clear();
        rig.prompter.messages.clear();
        QVERIFY(rig.transact(request.left(2) + "03 00 0B 00 01", station, 3, 7));
        QCOMPARE(rig.replies.size(), 1);
        QVERIFY(rig.replies[0].startsWith(request.left(2) + " 03 02 56 78 "));
    }

    void lateReplyIsNoAnswer() {
        Rig rig;
        rig.drive.setRegister(0x0A, 0x1234);
        rig.drive.setBehaviour(PtyDrive::Behaviour::Held);
        QVERIFY(rig.port.OpenPort());
        QVERIFY(rig.transact("01 03 00 0A 00 01", 1, 3, 7));
        QVERIFY(rig.replies.isEmpty());

        // The reply comes after the 200 ms; it waits in the queue, and the next request's scan
        // passes over it because it holds another function code.
        rig.drive.setBehaviour(PtyDrive::Behaviour::Normal);
        rig.drive.releaseHeld();
        QVERIFY(rig.transact("01 06 00 0C 00 07", 1, 6, 8));
        QCOMPARE(rig.replies, QStringList{"01 06 00 0C 00 07 08 0B "});
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void expectedLengthTooShortForAReply() {
        // Nothing comes before the CRC of such a "reply"; it is read and purged, never checked.
        Rig rig;
        QVERIFY(rig.port.OpenPort());
        rig.drive.inject(QByteArray::fromHex("0103021234B533"));
        QThread::msleep(50);
        QVERIFY(rig.port.ReadProbeReply(1, 3, 0));
        QVERIFY(rig.replies.isEmpty());
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void readWithClosedPort() {
        Rig rig;
        QVERIFY(!rig.port.ReadProbeReply(1, 3, 7));
        QCOMPARE(rig.port.SendHexFrame("01 03 00 0A 00 01"), 0);
        QVERIFY(rig.replies.isEmpty());
    }

    void openFailures() {
        Rig rig;
        rig.port.portName = QStringLiteral("COM8");
        QFile::link(configHome_.filePath("no-such-device"),
                    configHome_.filePath("Kirotune/dosdevices/COM8"));
        QVERIFY(!rig.port.OpenPort());
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.port.ClosePort());

        // A second open of an open engine leaves the port as it was.
        rig.port.portName = QStringLiteral("COM3");
        QVERIFY(rig.port.OpenPort());
        QVERIFY(!rig.port.OpenPort());
        QVERIFY(rig.port.isOpen());

        // Another program (or another engine) finds the port in use.
        ProbeSerialPort other(&rig.prompter);
        other.portName = QStringLiteral("COM3");
        QVERIFY(!other.OpenPort());

        rig.drive.setRegister(0x0A, 0x1234);
        QVERIFY(rig.transact("01 03 00 0A 00 01", 1, 3, 7));
        QCOMPARE(rig.replies, QStringList{"01 03 02 12 34 B5 33 "});

        QVERIFY(rig.port.ClosePort());
        QVERIFY(other.OpenPort());
        QVERIFY(rig.prompter.messages.isEmpty());
    }

    void closeWhileWatcherBlocks_data() {
        QTest::addColumn<bool>("bytesWaiting");
        QTest::newRow("waiting for bytes") << false;
        QTest::newRow("waiting for the reader to take bytes") << true;
    }
    void closeWhileWatcherBlocks() {
        QFETCH(bool, bytesWaiting);
        Rig rig;
        QVERIFY(rig.port.OpenPort());
        if (bytesWaiting)
            rig.drive.inject(QByteArray::fromHex("010203"));
        QThread::msleep(50);

        QVERIFY(rig.port.ClosePort());
        QVERIFY(!rig.port.isOpen());
        // Woken, the watcher ended within the close's wait, so the close freed the device itself.
        {
            ProbeSerialPort other(&rig.prompter);
            other.portName = QStringLiteral("COM3");
            QVERIFY(other.OpenPort());
        }

        // The first reads after a reopen: the hand-over is in step again.
        QVERIFY(rig.port.OpenPort());
        for (const int value : {7, 8}) {
            rig.drive.setRegister(0x0A, value);
            QVERIFY(rig.transact("01 03 00 0A 00 01", 1, 3, 7));
        }
        QCOMPARE(rig.replies.size(), 2);
        QVERIFY(rig.replies[0].startsWith("01 03 02 00 07 "));
        QVERIFY(rig.replies[1].startsWith("01 03 02 00 08 "));
    }

    void watcherThatOutlivesTheClose() {
        // The watcher is held in a signal handler, as a loaded machine may keep it from running,
        // while the user closes the port.
        Rig rig;
        struct sigaction hold {};
        hold.sa_handler = holdWatcher;
        sigemptyset(&hold.sa_mask);
        struct sigaction saved {};
        QCOMPARE(::sigaction(SIGUSR1, &hold, &saved), 0);
        const QSet<int> before = threadIds();
        QVERIFY(rig.port.OpenPort());
        QSet<int> watcher;
        QTRY_COMPARE((watcher = threadIds() - before).size(), 1);
        watcherHeld = false;
        releaseWatcher = false;
        QCOMPARE(::syscall(SYS_tgkill, ::getpid(), *watcher.begin(), SIGUSR1), 0L);
        QTRY_VERIFY(watcherHeld);

        QVERIFY(rig.port.ClosePort());
        QVERIFY(!rig.port.isOpen());
        // The port stays open for the watcher, which may still ask it for bytes: nobody gets it
        // meanwhile, and the reopen gives up after its own bounded wait instead of joining.
        ProbeSerialPort other(&rig.prompter);
        other.portName = QStringLiteral("COM3");
        QVERIFY(!other.OpenPort());
        QVERIFY(!rig.port.OpenPort());
        QVERIFY(watcherHeld && !releaseWatcher);

        // Once the watcher has ended it has closed the port.
        releaseWatcher = true;
        QTRY_VERIFY(other.isOpen() || other.OpenPort());
        QVERIFY(other.ClosePort());
        QVERIFY(rig.port.OpenPort());
        rig.drive.setRegister(0x0A, 9);
        QVERIFY(rig.transact("01 03 00 0A 00 01", 1, 3, 7));
        QCOMPARE(rig.replies.size(), 1);
        QVERIFY(rig.replies[0].startsWith("01 03 02 00 09 "));
        ::sigaction(SIGUSR1, &saved, nullptr);
    }

    void lineSettings_data() {
        QTest::addColumn<int>("baudPosition");
        QTest::addColumn<int>("dataBitsPosition");
        QTest::addColumn<int>("stopBitsPosition");
        QTest::addColumn<int>("parityPosition");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("cflagBits"); // of PARODD | CSTOPB
        QTest::newRow("dialog defaults") << 6 << 1 << 0 << 0 << true << int(B38400) << 0;
        QTest::newRow("7 data bits, even, 2 stop bits")
            << 3 << 0 << 2 << 2 << true << int(B9600) << int(CSTOPB);
        QTest::newRow("odd parity, 115200")
            << 8 << 1 << 0 << 1 << true << int(B115200) << int(PARODD);
        // 14400 has no B-constant; the speed is set as a free number (cfgetospeed shows BOTHER).
        QTest::newRow("14400 baud") << 4 << 1 << 0 << 0 << true << 010000 << 0;
        QTest::newRow("unknown positions fall back")
            << -1 << -1 << -1 << -1 << true << int(B9600) << 0;
        QTest::newRow("1.5 stop bits are refused") << 6 << 1 << 1 << 0 << false << 0 << 0;
    }
    void lineSettings() {
        QFETCH(int, baudPosition);
        QFETCH(int, dataBitsPosition);
        QFETCH(int, stopBitsPosition);
        QFETCH(int, parityPosition);
        QFETCH(bool, opens);
        Rig rig;
        rig.port.baudPosition = baudPosition;
        rig.port.dataBitsPosition = dataBitsPosition;
        rig.port.stopBitsPosition = stopBitsPosition;
        rig.port.parityPosition = parityPosition;
        QCOMPARE(rig.port.OpenPort(), opens);
        if (!opens)
            return;
        QFETCH(int, speed);
        QFETCH(int, cflagBits);
        termios tio{};
        QCOMPARE(::tcgetattr(rig.drive.slaveFd(), &tio), 0);
        QCOMPARE(int(::cfgetospeed(&tio)), speed);
        // A pseudo-terminal always carries 8 bits without parity and clears CSIZE and PARENB
        // itself; the stop bits and the kind of parity are what it keeps of the frame.
        QCOMPARE(int(tio.c_cflag & (PARODD | CSTOPB)), cflagBits);
        QCOMPARE(int(tio.c_cflag & CRTSCTS), 0);
        QCOMPARE(int(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK)), int(INPCK));
        QCOMPARE(int(tio.c_lflag & (ICANON | ECHO)), 0);
    }

    void wakeUpCannotBeCreated() {
        // With no file descriptor left the watcher's wake-up cannot be made; the user is told and
        // the port is never opened, since the watcher could not be stopped again.
        const int lowestFree = ::dup(0);
        QVERIFY(lowestFree >= 0);
        ::close(lowestFree);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
        probetest::RecordingPrompter prompter;
        {
            ProbeSerialPort port(&prompter);
            ::setrlimit(RLIMIT_NOFILE, &saved);
            QCOMPARE(prompter.texts(), QStringList{"Can't create event object!"});
            PtyDrive drive;
            drive.publishAs(QStringLiteral("COM3"));
            port.portName = QStringLiteral("COM3");
            QVERIFY(!port.OpenPort());
        }
    }
};

QTEST_GUILESS_MAIN(ProbeEngineTest)
#include "tst_probeengine.moc"
