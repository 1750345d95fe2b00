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

// A pseudo-terminal whose master side libmodbus serves on, and whose slave side the drive link
// opens through the port map.
class LibmodbusSlave {
public:
    LibmodbusSlave() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Held open so the master never sees a hang-up, and raw so nothing is echoed.
        keeper_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        termios line{};
        if (keeper_ < 0 || ::tcgetattr(keeper_, &line) != 0)
            return;
        ::cfmakeraw(&line);
        ::tcsetattr(keeper_, TCSANOW, &line);

        ctx_ = modbus_new_rtu("/dev/null", 38400, 'N', 8, 1);
        mapping_ = modbus_mapping_new(0, 0, 300, 0);
        if (!ctx_ || !mapping_)
            return;
        modbus_set_slave(ctx_, 1);
        modbus_set_socket(ctx_, master_);
        modbus_set_indication_timeout(ctx_, 0, 200000); // wake up to notice the end of the test
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusSlave() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (ctx_) {
            modbus_set_socket(ctx_, -1);
            modbus_free(ctx_);
        }
        if (mapping_)
            modbus_mapping_free(mapping_);
        if (keeper_ >= 0)
            ::close(keeper_);
        if (master_ >= 0)
            ::close(master_);
    }

    bool ready() const { return thread_.joinable(); }
    const QString& slavePath() const { return slavePath_; }

    quint16 reg(int address) {
        std::lock_guard lock(mutex_);
        return mapping_->tab_registers[address];
    }
    void setReg(int address, quint16 value) {
        std::lock_guard lock(mutex_);
        mapping_->tab_registers[address] = value;
    }

private:
    void serve() {
        quint8 query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int size = modbus_receive(ctx_, query);
            if (size > 0) {
                std::lock_guard lock(mutex_);
                modbus_reply(ctx_, query, size, mapping_);
            }
        }
    }

    int master_ = -1;
    int keeper_ = -1;
    QString slavePath_;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* mapping_ = nullptr;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

class TstLibmodbus : public QObject {
    Q_OBJECT

private slots:
    void libmodbusMasterTalksToTheSimulatedDrive();
    void driveLinkTalksToALibmodbusSlave();
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

void TstLibmodbus::driveLinkTalksToALibmodbusSlave() {
    LibmodbusSlave slave;
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
