// The probe's frames held against libmodbus, an independent Modbus RTU implementation: libmodbus
// answers the probe as a slave on a pseudo-terminal. A request whose CRC libmodbus does not accept
// goes unanswered, and a reply whose CRC the probe gets wrong is not shown, so both sides' CRCs
// are checked against each other rather than against themselves.

#include "RecordingPrompter.h"
#include "probe/ProbeSerialPort.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <modbus.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace regprobe;

namespace {

// libmodbus serving station 1 on the master side of a pseudo-terminal.
class LibmodbusStation {
public:
    LibmodbusStation() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Held open so that the master never sees a hang-up between the probe's opens.
        keeper_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        ctx_ = modbus_new_rtu("/dev/null", 38400, 'N', 8, 1);
        mapping_ = modbus_mapping_new(0, 0, 64, 0);
        if (keeper_ < 0 || !ctx_ || !mapping_)
            return;
        modbus_set_slave(ctx_, 1);
        modbus_set_socket(ctx_, master_);
        modbus_set_indication_timeout(ctx_, 0, 100000); // to notice the end of the test
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusStation() {
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

    bool publishAs(const QString& portName) const {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Kirotune/dosdevices");
        QDir().mkpath(folder);
        QFile::remove(folder + QLatin1Char('/') + portName);
        return QFile::link(slavePath_, folder + QLatin1Char('/') + portName);
    }

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

class ProbeLibmodbusTest : public QObject {
    Q_OBJECT

    QTemporaryDir configHome_;

private slots:
    void initTestCase() {
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", configHome_.path().toLocal8Bit());
    }

    void requestsAnsweredByLibmodbus_data() {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("reply");
        QTest::newRow("read") << "01 03 00 0A 00 01" << 3 << 7 << "01 03 02 12 34 B5 33 ";
        QTest::newRow("write") << "01 06 00 0C 03 E8" << 6 << 8 << "01 06 00 0C 03 E8 49 77 ";
    }
    void requestsAnsweredByLibmodbus() {
        QFETCH(QString, request);
        QFETCH(int, function);
        QFETCH(int, length);
        QFETCH(QString, reply);

        LibmodbusStation station;
        QVERIFY(station.ready());
        QVERIFY(station.publishAs(QStringLiteral("COM6")));
        station.setReg(0x0A, 0x1234);
        probetest::RecordingPrompter prompter;
        ProbeSerialPort port(&prompter);
        port.portName = QStringLiteral("COM6");
        QStringList replies;
        port.replyHandler = [&](const QString& text) { replies << text; };
        QVERIFY(port.OpenPort());

        QCOMPARE(port.SendHexFrame(request), 8);
        QThread::msleep(100);
        QVERIFY(port.ReadProbeReply(1, function, length));
        QCOMPARE(replies, QStringList{reply});
        QVERIFY(prompter.messages.isEmpty());
        if (function == 6)
            QCOMPARE(station.reg(0x0C), quint16(1000));
        QVERIFY(port.ClosePort());
    }
};

QTEST_GUILESS_MAIN(ProbeLibmodbusTest)
#include "tst_probelibmodbus.moc"
