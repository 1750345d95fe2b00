// The production port on a real pseudo-terminal: line traffic through the port map, and a device
// that goes away in the middle of the run.

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/PortMap.h"
#include "link/QtSerialPort.h"
#include "tests/support/PromptRecorder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

using namespace kiro;

namespace {

// The far end of a pseudo-terminal, standing where the drive would be.
class LineEnd {
public:
    LineEnd() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        devicePath_ = QString::fromLocal8Bit(ptsname(master_));
        // Raw from the start, so that nothing written here is echoed back.
        const int slave = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
    }
    ~LineEnd() { hangUp(); }

    bool ok() const { return master_ >= 0 && !devicePath_.isEmpty(); }
    const QString& devicePath() const { return devicePath_; }

    QByteArray readAvailable(int timeoutMs) {
        QByteArray bytes;
        for (int waited = 0; waited < timeoutMs && bytes.size() < 8; waited += 5) {
            char buffer[256];
            const int flags = fcntl(master_, F_GETFL);
            fcntl(master_, F_SETFL, flags | O_NONBLOCK);
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, int(n));
            else
                QTest::qWait(5);
        }
        return bytes;
    }
    void send(const QByteArray& bytes) { (void)!::write(master_, bytes.constData(), bytes.size()); }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString devicePath_;
};

} // namespace

class QtSerialPortTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }

    void portNamesResolve() {
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM12")), QStringLiteral("/dev/ttyS11"));
        QCOMPARE(PortMap::devicePath(QStringLiteral("/dev/ttyUSB0")),
                 QStringLiteral("/dev/ttyUSB0"));
        QString error;
        QVERIFY(PortMap::publish(QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB7"), &error));
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyUSB7"));
        QVERIFY(PortMap::publish(QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB8"), &error));
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyUSB8"));
        PortMap::withdraw(QStringLiteral("COM3"),
                          QStringLiteral("/dev/ttyUSB7")); // not ours any more
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyUSB8"));
        PortMap::withdraw(QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB8"));
        QCOMPARE(PortMap::devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyS2"));
    }

    void transactionOverARealLine() {
        LineEnd drive;
        QVERIFY(drive.ok());
        QVERIFY(PortMap::publish(QStringLiteral("COM4"), drive.devicePath(), nullptr));

        QtSerialPort port;
        port.setPortNumber(4);
        port.setSettings(QStringLiteral("38400,n,8,1"));
        port.setBinaryInput(true);
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        QVERIFY(!port.open()); // a second open of the same port is refused

        EventPumpClock clock;
        test::PromptRecorder prompts;
        DriveLink link(port, clock, prompts, LinkVariant::qz318());
        link.setBaudKilo(38);

        // Noise left on the line is discarded before the request goes out.
        drive.send(QByteArray::fromHex("AABB"));
        QTest::qWait(20);
        link.SendRequest(1, 3, 0, 1);
        QCOMPARE(drive.readAvailable(1000).toHex(' '), QByteArray("01 03 00 00 00 01 84 0a"));
        drive.send(QByteArray::fromHex("010302007BF867"));
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(1, 3);
        QCOMPARE(int(link.ReplyError()), 0);
        QCOMPARE(link.ReadValues(), QVector<float>{123});
        QVERIFY(prompts.prompts.isEmpty());
        port.close();
        QVERIFY(!port.isOpen());
    }

    void deviceThatGoesAway() {
        auto drive = std::make_unique<LineEnd>();
        QVERIFY(drive->ok());
        QVERIFY(PortMap::publish(QStringLiteral("COM5"), drive->devicePath(), nullptr));
        QtSerialPort port;
        port.setPortNumber(5);
        port.setSettings(QStringLiteral("38400,n,8,1"));
        QVERIFY(port.open());

        EventPumpClock clock;
        test::PromptRecorder prompts;
        DriveLink link(port, clock, prompts, LinkVariant::x7());
        link.setBaudKilo(38);
        drive.reset(); // the adapter is pulled out
        link.ReadRegisters(1, 0, 1);
        QVERIFY(link.ReplyError() != 0);
        QVERIFY(!prompts.prompts.isEmpty());
        QVERIFY2(prompts.texts().first().startsWith(QStringLiteral("COM5: ")),
                 qPrintable(prompts.texts().first()));
        QCOMPARE(prompts.texts().last(), QStringLiteral("请检查连接后重新开启软件！"));
        port.close();
    }

    void requestThatCannotLeaveThePort() {
        LineEnd drive;
        QVERIFY(drive.ok());
        QVERIFY(PortMap::publish(QStringLiteral("COM6"), drive.devicePath(), nullptr));
        QtSerialPort port;
        port.setPortNumber(6);
        port.setSettings(QStringLiteral("38400,n,8,1"));
        QVERIFY(port.open());
        EventPumpClock clock;
        test::PromptRecorder prompts;
        DriveLink link(port, clock, prompts, LinkVariant::qz318());
        link.setBaudKilo(38);

        // The line takes no output, as a port held back by its flow control.
        const int line = ::open(drive.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(line >= 0);
        QCOMPARE(::tcflow(line, TCOOFF), 0);
        QElapsedTimer sending;
        sending.start();
        link.SendRequest(1, 3, 0, 1);
        QVERIFY2(sending.elapsed() < 500, "the window must not freeze while the port holds back");
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(1, 3);
        QCOMPARE(int(link.ReplyError()), int(DriveLink::kUnreachable));
        QVERIFY(link.portFaulted());
        QCOMPARE(prompts.prompts.size(), 1);
        QVERIFY2(prompts.texts().first().startsWith(QStringLiteral("COM6: ")),
                 qPrintable(prompts.texts().first()));

        // The retrying routine shows the fault once and gives up.
        const QString fault = prompts.texts().first();
        prompts.clear();
        sending.restart();
        link.ReadRegisters(1, 0, 1);
        QCOMPARE(prompts.texts(),
                 (QStringList{fault, QStringLiteral("Communication Error. Please check the RS232 "
                                                    "cable connection and restart Kirotune.")}));
        QVERIFY(sending.elapsed() < 500);
        ::tcflow(line, TCOON);
        ::close(line);
        port.close();
    }

    void missingDeviceSaysSo() {
        QtSerialPort port;
        port.setPortName(QStringLiteral("COM77"));
        QVERIFY(!port.open());
        QCOMPARE(port.errorString(), QStringLiteral("COM77 (/dev/ttyS76): no such port"));
    }
};

QTEST_GUILESS_MAIN(QtSerialPortTest)
#include "tst_qtserialport.moc"
