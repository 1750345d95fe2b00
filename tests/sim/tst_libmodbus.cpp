// Our framing held against libmodbus, an independent Modbus RTU implementation, in the standard
// (QZ318) layout: libmodbus as the master talking to the simulated drive, and libmodbus as the
// slave answering the tuners' drive link.

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/LinkVariant.h"
#include "link/PortMap.h"
#include "link/QtSerialPort.h"
#include "link/RegisterMap.h"
#include "sim/DriveModel.h"
#include "sim/PtyDriveServer.h"
#include "tests/support/LibmodbusStation.h"
#include "tests/support/PrivateConfigMain.h"
#include "tests/support/PromptRecorder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace kiro;

namespace {

constexpr int kDeadlineMs = 30000;

// Runs work on its own thread while this thread keeps serving events, until the work is done or
// the deadline passes. True when the work finished in time.
bool runBesideEventLoop(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < kDeadlineMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const bool inTime = done;
    worker.join(); // every libmodbus call below has its own timeout, so this ends
    return inTime;
}

struct ClientResults {
    int connect = -1;
    int readPeak = -1;
    quint16 peak = 0;
    int write = -1;
    int readBack = -1;
    quint16 back = 0;
    int readBlock = -1;
    quint16 block[100] = {};
    int pastEnd = 0;
    int pastEndErrno = 0;
    int inputRegisters = 0;
    int inputRegistersErrno = 0;
};

} // namespace

class TstLibmodbus : public QObject {
    Q_OBJECT

private slots:
    void libmodbusMasterTalksToTheSimulatedDrive();
    void driveLinkTalksToALibmodbusStation();
};

void TstLibmodbus::libmodbusMasterTalksToTheSimulatedDrive() {
    sim::DriveModel drive(ReplyLayout::NarrowByteCount);
    for (int j = 0; j < 100; ++j)
        drive.setReg(64 + j, quint16(j * 655 + 1));
    sim::PtyDriveServer server(drive);
    server.setLogOutput(nullptr);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QByteArray path = QFile::encodeName(server.slavePath());

    ClientResults r;
    QVERIFY(runBesideEventLoop([&] {
        modbus_t* ctx = modbus_new_rtu(path.constData(), 38400, 'N', 8, 1);
        if (!ctx)
            return;
        modbus_set_slave(ctx, 1);
        modbus_set_response_timeout(ctx, 2, 0);
        r.connect = modbus_connect(ctx);
        if (r.connect == 0) {
            r.readPeak = modbus_read_registers(ctx, reg::PeakCurrent, 1, &r.peak);
            r.write = modbus_write_register(ctx, reg::PeakCurrent, 4321);
            r.readBack = modbus_read_registers(ctx, reg::PeakCurrent, 1, &r.back);
            r.readBlock = modbus_read_registers(ctx, 64, 100, r.block);
            r.pastEnd = modbus_read_registers(ctx, 65535, 2, &r.back);
            r.pastEndErrno = errno;
            quint16 input = 0;
            r.inputRegisters = modbus_read_input_registers(ctx, 0, 1, &input);
            r.inputRegistersErrno = errno;
            modbus_close(ctx);
        }
        modbus_free(ctx);
    }));

    QCOMPARE(r.connect, 0);
    QCOMPARE(r.readPeak, 1);
    QCOMPARE(r.peak, quint16(3072));
    QCOMPARE(r.write, 1);
    QCOMPARE(drive.reg(reg::PeakCurrent), quint16(4321));
    QCOMPARE(r.readBack, 1);
    QCOMPARE(r.back, quint16(4321));
    QCOMPARE(r.readBlock, 100);
    for (int j = 0; j < 100; ++j)
        QCOMPARE(r.block[j], quint16(j * 655 + 1));
    QCOMPARE(r.pastEnd, -1);
    QCOMPARE(r.pastEndErrno, int(EMBXILADD));
    QCOMPARE(r.inputRegisters, -1);
    QCOMPARE(r.inputRegistersErrno, int(EMBXILFUN));
}

void TstLibmodbus::driveLinkTalksToALibmodbusStation() {
    LibmodbusStation slave;
    QVERIFY(slave.ready());
    for (int j = 0; j < 10; ++j)
        slave.setReg(16 + j, quint16(0x0009 * j));
    slave.setReg(0, 1234);
    slave.setReg(17, 0xFFFF); // read back as -1
    QString error;
    QVERIFY2(PortMap::publish(QStringLiteral("COM2"), slave.slavePath(), &error),
             qPrintable(error));

    QtSerialPort port;
    EventPumpClock clock;
    test::PromptRecorder prompts;
    DriveLink link(port, clock, prompts, LinkVariant::qz318());
    port.setPortNumber(2);
    port.setSettings(QStringLiteral("38400,n,8,1"));
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    link.setBaudKilo(38);

    link.ReadRegisters(1, 0, 1);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(link.ReadValues(), QVector<float>{1234});

    link.ReadRegisters(1, reg::FaultWordsFirst, 10);
    QCOMPARE(int(link.ReplyError()), 0);
    QVector<float> expected;
    for (int j = 0; j < 10; ++j)
        expected << float(j == 1 ? -1 : 0x0009 * j);
    QCOMPARE(link.ReadValues(), expected);

    link.WriteRegister(1, reg::PeakCurrent, 2560);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(slave.reg(reg::PeakCurrent), quint16(2560));
    QVERIFY(prompts.prompts.isEmpty());

    port.close();
    PortMap::withdraw(QStringLiteral("COM2"), slave.slavePath());
}

KIRO_TEST_MAIN_WITH_PRIVATE_CONFIG(TstLibmodbus)

#include "tst_libmodbus.moc"
