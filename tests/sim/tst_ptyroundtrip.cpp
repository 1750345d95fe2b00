// The qzdrive-sim program on a real pseudo-terminal, reached the way a tuner reaches it: a COM
// name in the port map, QSerialPort underneath, the real clock.

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/LinkVariant.h"
#include "link/PortMap.h"
#include "link/QtSerialPort.h"
#include "link/RegisterMap.h"
#include "tests/support/PrivateConfigMain.h"
#include "tests/support/PromptRecorder.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace kiro;

namespace {

constexpr int kStartTimeoutMs = 15000;

QString linkPath(const QString& portName) {
    return PortMap::folder() + QLatin1Char('/') + portName;
}

// Runs qzdrive-sim for the length of one test and makes sure it is gone afterwards.
class SimulatorProcess {
public:
    ~SimulatorProcess() { stop(); }

    bool start(const QStringList& args) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(KIROTUNE_SIM_PATH), args);
        return process_.waitForStarted(kStartTimeoutMs);
    }
    // The first line the program prints says where it serves.
    QString banner() {
        QElapsedTimer timer;
        timer.start();
        while (!process_.canReadLine() && timer.elapsed() < kStartTimeoutMs)
            process_.waitForReadyRead(100);
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    bool stop() {
        if (process_.state() == QProcess::NotRunning)
            return true;
        process_.terminate();
        if (process_.waitForFinished(kStartTimeoutMs))
            return process_.exitStatus() == QProcess::NormalExit;
        process_.kill();
        process_.waitForFinished(kStartTimeoutMs);
        return false;
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

} // namespace

class TstPtyRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void readAndWrite_data();
    void readAndWrite();
    void misbehavingDriveIsRefused();
    void badArguments_data();
    void badArguments();
};

void TstPtyRoundTrip::readAndWrite_data() {
    QTest::addColumn<QString>("variantName");
    QTest::addColumn<QString>("model");
    QTest::newRow("x7") << QStringLiteral("x7") << QStringLiteral("QZ318-X7");
    QTest::newRow("qz318") << QStringLiteral("qz318") << QStringLiteral("QZ318");
}

void TstPtyRoundTrip::readAndWrite() {
    QFETCH(QString, variantName);
    QFETCH(QString, model);

    QFile::remove(linkPath(QStringLiteral("COM1")));
    SimulatorProcess sim;
    QVERIFY(sim.start({"--variant", variantName, "--port", "COM1"}));
    const QString banner = sim.banner();
    QVERIFY2(banner.startsWith(model + QStringLiteral(" simulated drive on COM1 -> /dev/")),
             qPrintable(banner));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(linkPath(QStringLiteral("COM1"))).isSymLink(),
                             kStartTimeoutMs);

    QtSerialPort port;
    EventPumpClock clock;
    test::PromptRecorder prompts;
    const LinkVariant& variant = *LinkVariant::byName(variantName);
    DriveLink link(port, clock, prompts, variant);
    port.setPortNumber(1);
    port.setSettings(QStringLiteral("38400,n,8,1"));
    port.setBinaryInput(true);
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    link.setBaudKilo(38);

    link.ReadRegisters(1, reg::PeakCurrent, 1);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(link.ReadValues(), QVector<float>{3072}); // 3.0 A

    link.WriteRegister(1, reg::PeakCurrent, 2560);
    QCOMPARE(int(link.ReplyError()), 0);
    link.ReadRegisters(1, reg::PeakCurrent, 1);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(link.ReadValues(), QVector<float>{2560});

    // The long capture read, whose one-byte count wraps in the QZ318 layout.
    link.WriteRegister(1, reg::StepTestCommand, 1);
    QCOMPARE(int(link.ReplyError()), 0);
    link.ReadRegisters(1, reg::StepResponseFirst, 200);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(link.ReadValues().size(), 200);
    QVERIFY(link.ReadValues().at(199) > 900 && link.ReadValues().at(199) < 1150); // near 1 A
    QVERIFY(prompts.prompts.isEmpty());
    port.close();

    QVERIFY(sim.stop());
    QVERIFY2(!QFileInfo(linkPath(QStringLiteral("COM1"))).isSymLink(),
             "the COM link outlived the simulator");
    // The program logs every request it answered.
    const QString log = QString::fromLocal8Bit(sim.process().readAllStandardOutput());
    QVERIFY2(log.contains(QStringLiteral("01 03 00 1F 00 01 ")), qPrintable(log));
}

void TstPtyRoundTrip::misbehavingDriveIsRefused() {
    SimulatorProcess sim;
    QVERIFY(sim.start({"--variant", "qz318", "--port", "COM4", "--fault", "crc"}));
    QVERIFY(!sim.banner().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(linkPath(QStringLiteral("COM4"))).isSymLink(),
                             kStartTimeoutMs);

    QtSerialPort port;
    EventPumpClock clock;
    test::PromptRecorder prompts;
    DriveLink link(port, clock, prompts, LinkVariant::qz318());
    port.setPortNumber(4);
    port.setSettings(QStringLiteral("38400,n,8,1"));
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    link.setBaudKilo(38);

    link.ReadRegisters(1, reg::CurrentLoopKp, 1);
    QVERIFY(link.ReplyError() != 0);
    QCOMPARE(prompts.texts().count(QStringLiteral("接收CRC失败！")), 4);
    QCOMPARE(prompts.texts().last(), LinkVariant::qz318().failureMessage);
}

void TstPtyRoundTrip::badArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("no port") << QStringList{"--variant", "x7"};
    QTest::newRow("bad variant") << QStringList{"--variant", "x8", "--port", "COM1"};
    QTest::newRow("bad port") << QStringList{"--variant", "x7", "--port", "/dev/ttyS0"};
    QTest::newRow("bad fault") << QStringList{"--variant", "x7", "--port", "COM1", "--fault", "x"};
    QTest::newRow("bad delay") << QStringList{"--variant", "x7", "--port", "COM1", "--delay", "-3"};
    QTest::newRow("missing value") << QStringList{"--variant", "x7", "--port"};
    QTest::newRow("unknown") << QStringList{"--variant", "x7", "--port", "COM1", "--baud", "9600"};
    const QStringList x7 = {"--variant", "x7", "--port", "COM1"};
    QTest::newRow("stuck without a value") << x7 + QStringList{"--stuck", "31"};
    QTest::newRow("stuck register too large") << x7 + QStringList{"--stuck", "65536=1"};
    QTest::newRow("stuck value too large") << x7 + QStringList{"--stuck", "31=0x10000"};
    QTest::newRow("stuck not a number") << x7 + QStringList{"--stuck", "31=-1"};
}

void TstPtyRoundTrip::badArguments() {
    QFETCH(QStringList, args);
    QProcess process;
    process.start(QStringLiteral(KIROTUNE_SIM_PATH), args);
    QVERIFY(process.waitForFinished(kStartTimeoutMs));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().startsWith("qzdrive-sim: "));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

KIRO_TEST_MAIN_WITH_PRIVATE_CONFIG(TstPtyRoundTrip)

#include "tst_ptyroundtrip.moc"
