// The probe's frames held against libmodbus, an independent Modbus RTU implementation: libmodbus
// answers the probe as a slave on a pseudo-terminal. A request whose CRC libmodbus does not accept
// goes unanswered, and a reply whose CRC the probe gets wrong is not shown, so both sides' CRCs
// are checked against each other rather than against themselves.

#include "RecordingPrompter.h"
#include "probe/ProbeSerialPort.h"
#include "tests/support/LibmodbusStation.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace regprobe;

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
