#include "link/Crc16.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/RequestFrame.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QtTest>

using namespace kiro;
using namespace kiro::sim;

Q_DECLARE_METATYPE(kiro::ReplyLayout)
Q_DECLARE_METATYPE(kiro::sim::Misbehaviour)

namespace {

QByteArray request(quint8 station, quint8 function, quint16 address, quint16 value) {
    return BuildRequestFrame(station, function, address, value)->bytes();
}

QByteArray withCrc(QByteArray frame) {
    const Crc16 crc = ComputeCrc16(frame);
    frame.append(char(crc.low));
    frame.append(char(crc.high));
    return frame;
}

bool crcOk(const QByteArray& frame) {
    return frame.size() >= 4 && withCrc(frame.left(frame.size() - 2)) == frame;
}

qint16 wordAt(const QByteArray& frame, int offset) {
    return qint16(quint8(frame[offset]) << 8 | quint8(frame[offset + 1]));
}

QVector<qint16> samples(const DriveModel& drive) {
    QVector<qint16> values;
    for (int k = 0; k < reg::StepResponseCount; ++k)
        values.append(qint16(drive.reg(reg::StepResponseFirst + k)));
    return values;
}

} // namespace

class TstDriveModel : public QObject {
    Q_OBJECT

private slots:
    void readReplyLayout_data();
    void readReplyLayout();
    void writeIsEchoedAndStored();
    void stuckRegisterAcknowledgesButKeeps();
    void requestsTheDriveIgnores_data();
    void requestsTheDriveIgnores();
    void exceptionReplies_data();
    void exceptionReplies();
    void faultClear_data();
    void faultClear();
    void recordIsAMeasurement();
    void smallGainIsFirstOrder();
    void steadyState_data();
    void steadyState();
    void delayOfOneSample();
    void outputClampsAtTheBusVoltage();
    void gainScaleMultipliesBothGains();
    void stepTestLeavesParametersAlone();
    void cannedStepResponse();
    void autoTuningAndEepromCommit();
    void misbehaviourOnTheLine_data();
    void misbehaviourOnTheLine();
    void faultCountLimitsTheMisbehaviour();
    void portFailures();
    void discardInputKeepsWhatIsStillOnTheLine();
    void driveLinkReadsBothLayouts_data();
    void driveLinkReadsBothLayouts();
};

void TstDriveModel::readReplyLayout_data() {
    QTest::addColumn<ReplyLayout>("layout");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("replySize");
    QTest::addColumn<int>("byteCount");

    QTest::newRow("x7 one") << ReplyLayout::WideByteCount << 0 << 1 << 8 << 2;
    QTest::newRow("x7 faults") << ReplyLayout::WideByteCount << 16 << 10 << 26 << 20;
    QTest::newRow("x7 200") << ReplyLayout::WideByteCount << 5 << 200 << 406 << 400;
    QTest::newRow("qz318 one") << ReplyLayout::NarrowByteCount << 0 << 1 << 7 << 2;
    QTest::newRow("qz318 faults") << ReplyLayout::NarrowByteCount << 16 << 10 << 25 << 20;
    QTest::newRow("qz318 200") << ReplyLayout::NarrowByteCount << 5 << 200 << 405 << 144;
    QTest::newRow("qz318 top") << ReplyLayout::NarrowByteCount << 65535 << 1 << 7 << 2;
}

void TstDriveModel::readReplyLayout() {
    QFETCH(ReplyLayout, layout);
    QFETCH(int, address);
    QFETCH(int, count);
    QFETCH(int, replySize);
    QFETCH(int, byteCount);

    DriveModel drive(layout);
    for (int j = 0; j < count; ++j) {
        if (FaultRecord::isFaultRead(address, count))
            drive.faults().setWord(j, quint16(0x8000 + 3 * j));
        else
            drive.setReg(address + j, quint16(0x8000 + 3 * j));
    }
    const QByteArray reply = drive.answer(request(1, 3, quint16(address), quint16(count)));

    QCOMPARE(reply.size(), replySize);
    QCOMPARE(quint8(reply[0]), quint8(1));
    QCOMPARE(quint8(reply[1]), quint8(3));
    QVERIFY(crcOk(reply));
    const bool wide = layout == ReplyLayout::WideByteCount;
    const int data = wide ? 4 : 3;
    QCOMPARE(wide ? int(quint16(wordAt(reply, 2))) : int(quint8(reply[2])), byteCount);
    for (int j = 0; j < count; ++j)
        QCOMPARE(quint16(wordAt(reply, data + 2 * j)), quint16(0x8000 + 3 * j));
}

void TstDriveModel::writeIsEchoedAndStored() {
    DriveModel drive(ReplyLayout::NarrowByteCount);
    const QByteArray write = request(1, 6, reg::PeakCurrent, 2560);
    QCOMPARE(drive.answer(write), write);
    QCOMPARE(drive.reg(reg::PeakCurrent), quint16(2560));
    const QByteArray readBack = drive.answer(request(1, 3, reg::PeakCurrent, 1));
    QCOMPARE(quint16(wordAt(readBack, 3)), quint16(2560));
    QCOMPARE(drive.requests().size(), 2);
}

void TstDriveModel::stuckRegisterAcknowledgesButKeeps() {
    DriveModel drive(ReplyLayout::WideByteCount);
    drive.setStuck(reg::PeakCurrent, 1000);
    drive.setStuck(reg::GeneratorRun, 7);
    QCOMPARE(drive.reg(reg::PeakCurrent), quint16(1000));

    const QByteArray write = request(1, 6, reg::PeakCurrent, 2560);
    QCOMPARE(drive.answer(write), write);
    const QByteArray readBack = drive.answer(request(1, 3, reg::PeakCurrent, 2));
    QCOMPARE(quint16(wordAt(readBack, 4)), quint16(1000));
    QCOMPARE(quint16(wordAt(readBack, 6)), quint16(300)); // its neighbour is not affected
    // A command still acts on what was written, though the register keeps its value.
    drive.answer(request(1, 6, reg::GeneratorRun, 1));
    QVERIFY(drive.generatorRunning());
    QCOMPARE(drive.reg(reg::GeneratorRun), quint16(7));
}

void TstDriveModel::requestsTheDriveIgnores_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("applied");

    QByteArray badCrc = request(1, 6, reg::PeakCurrent, 100);
    badCrc[7] = char(badCrc[7] ^ 0x01);
    QTest::newRow("bad crc") << badCrc << false;
    QTest::newRow("other station") << request(2, 6, reg::PeakCurrent, 100) << false;
    QTest::newRow("broadcast write") << request(0, 6, reg::PeakCurrent, 100) << true;
    QTest::newRow("broadcast read") << request(0, 3, reg::PeakCurrent, 1) << false;
    QTest::newRow("too short") << withCrc(QByteArray::fromHex("0106")) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TstDriveModel::requestsTheDriveIgnores() {
    QFETCH(QByteArray, frame);
    QFETCH(bool, applied);
    DriveModel drive(ReplyLayout::WideByteCount);
    const quint16 before = drive.reg(reg::PeakCurrent);
    QVERIFY(drive.answer(frame).isEmpty());
    QCOMPARE(drive.reg(reg::PeakCurrent), applied ? quint16(100) : before);
    QCOMPARE(drive.requests().size(), 1);
}

void TstDriveModel::exceptionReplies_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("function 4") << request(1, 4, 0, 1) << withCrc(QByteArray::fromHex("018401"));
    QTest::newRow("function 16") << withCrc(QByteArray::fromHex("0110001F0001020400"))
                                 << withCrc(QByteArray::fromHex("019001"));
    QTest::newRow("past 65535") << request(1, 3, 65535, 2)
                                << withCrc(QByteArray::fromHex("018302"));
    QTest::newRow("count 0") << request(1, 3, 0, 0) << withCrc(QByteArray::fromHex("018303"));
    QTest::newRow("count too big") << request(1, 3, 0, DriveModel::kMaxReadCount + 1)
                                   << withCrc(QByteArray::fromHex("018303"));
}

void TstDriveModel::exceptionReplies() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    DriveModel drive(ReplyLayout::NarrowByteCount);
    QCOMPARE(drive.answer(frame).toHex(' '), reply.toHex(' '));
}

void TstDriveModel::faultClear_data() {
    QTest::addColumn<quint16>("command");
    QTest::addColumn<bool>("currentCleared");
    QTest::addColumn<bool>("historyCleared");

    QTest::newRow("0 current") << quint16(0) << true << false;
    QTest::newRow("1 history") << quint16(1) << false << true;
    QTest::newRow("other") << quint16(7) << false << false;
}

void TstDriveModel::faultClear() {
    QFETCH(quint16, command);
    QFETCH(bool, currentCleared);
    QFETCH(bool, historyCleared);

    DriveModel drive(ReplyLayout::NarrowByteCount);
    for (int k = 0; k < reg::FaultWordCount; ++k)
        drive.faults().setWord(k, reg::FaultOvercurrent | reg::FaultPhaseLoss);
    const QByteArray write = request(1, 6, reg::FaultClear, command);
    QCOMPARE(drive.answer(write), write);

    // The command is not stored as a fault word: word 16 keeps its faults unless it was cleared.
    QCOMPARE(drive.faults().word(0), currentCleared ? quint16(0) : quint16(0x0009));
    for (int k = 1; k < reg::FaultWordCount; ++k)
        QCOMPARE(drive.faults().word(k), historyCleared ? quint16(0) : quint16(0x0009));
}

namespace {

// The winding and the scaling of the default drive, for the closed forms below.
struct LoopConstants {
    double r;
    double ts = CurrentLoopModel::kSampleSeconds;
    double decay; // of the winding's current over one sample
    double gain;  // current added over one sample per volt
    double vbus;
    explicit LoopConstants(const Motor& motor)
        : r(motor.resistanceOhm), decay(std::exp(-r * ts / motor.inductanceHenry)),
          gain((1 - decay) / r), vbus(motor.busVolts) {}
};

// A step without measurement noise; amperes per sample.
QVector<double> exactStep(ReplyLayout layout, quint16 kp, quint16 ki, double amperes,
                          double gainScale = 1) {
    DriveModel drive(layout);
    drive.currentLoop().setNoiseAmperes(0);
    drive.currentLoop().setGainScale(gainScale);
    drive.answer(request(1, 6, reg::CurrentLoopKp, kp));
    drive.answer(request(1, 6, reg::CurrentLoopKi, ki));
    drive.answer(request(1, 6, reg::StepTestCurrent, quint16(std::lround(amperes * 1024))));
    drive.answer(request(1, 6, reg::StepTestCommand, 1));
    QVector<double> record;
    for (const qint16 sample : samples(drive))
        record.append(sample / 1024.0);
    return record;
}

constexpr int kStep = CurrentLoopModel::kSamplesBeforeStep;
constexpr double kQ10 = 1 / 1024.0; // the record's resolution

} // namespace

void TstDriveModel::recordIsAMeasurement() {
    DriveModel drive(ReplyLayout::WideByteCount);
    drive.answer(request(1, 6, reg::StepTestCurrent, 1024));
    drive.answer(request(1, 6, reg::StepTestCommand, 1));
    const QVector<qint16> record = samples(drive);
    QVERIFY2(std::abs(record.first()) < 0.05 * 1024, "the record starts before the step");
    // Noise of a few mA: the settled record is not one value repeated.
    QVERIFY(record[180] != record[181] || record[181] != record[182] || record[182] != record[183]);
    for (int k = 150; k < 200; ++k)
        QVERIFY2(std::abs(record[k] - 1024) < 0.02 * 1024, qPrintable(QString::number(k)));
}

// Proportional gain alone and small: the winding behind a loop of gain Kp answers as one first-
// order lag with time constant L / (R + Kp) towards Kp / (R + Kp) of the command, late by the
// sample of computation delay.
void TstDriveModel::smallGainIsFirstOrder() {
    const Motor motor;
    const quint16 kp = 100;
    const double kpVolts = kp * CurrentLoopModel::kKpVoltsPerAmpere;
    const double amperes = 2;
    const QVector<double> record = exactStep(ReplyLayout::WideByteCount, kp, 0, amperes);
    const double settled = kpVolts / (motor.resistanceOhm + kpVolts) * amperes;
    const double tau =
        motor.inductanceHenry / (motor.resistanceOhm + kpVolts) / CurrentLoopModel::kSampleSeconds;
    for (int k = kStep; k < record.size(); ++k) {
        const double t = std::max(0.0, k - kStep - 1.0);
        const double closedForm = settled * (1 - std::exp(-t / tau));
        QVERIFY2(
            std::abs(record[k] - closedForm) < 0.01 * settled,
            qPrintable(
                QStringLiteral("sample %1: %2 against %3").arg(k).arg(record[k]).arg(closedForm)));
    }
}

void TstDriveModel::steadyState_data() {
    QTest::addColumn<quint16>("kp");
    QTest::addColumn<quint16>("ki");
    QTest::addColumn<double>("amperes");
    QTest::addColumn<double>("settled");
    const Motor motor;
    const double kpVolts = 2000 * CurrentLoopModel::kKpVoltsPerAmpere;
    // Without integral action the loop settles at Kp / (R + Kp) of the command.
    QTest::newRow("proportional") << quint16(2000) << quint16(0) << 1.5
                                  << 1.5 * kpVolts / (motor.resistanceOhm + kpVolts);
    // The integral zero on the winding's pole (Ki / Kp = R / L): settled well within the record.
    QTest::newRow("integral action reaches the command")
        << quint16(4000) << quint16(1333) << 1.5 << 1.5;
    QTest::newRow("and at 2.5 A") << quint16(4000) << quint16(1333) << 2.5 << 2.5;
}

void TstDriveModel::steadyState() {
    QFETCH(quint16, kp);
    QFETCH(quint16, ki);
    QFETCH(double, amperes);
    QFETCH(double, settled);
    const QVector<double> record = exactStep(ReplyLayout::NarrowByteCount, kp, ki, amperes);
    for (int k = 180; k < record.size(); ++k)
        QVERIFY2(std::abs(record[k] - settled) <= kQ10,
                 qPrintable(QStringLiteral("%1 against %2").arg(record[k]).arg(settled)));
}

// The step is commanded at sample kStep; the voltage computed from that sample reaches the
// winding one sample later, so the current first moves at kStep + 2, by exactly what the
// held voltage drives through the winding in one sample.
void TstDriveModel::delayOfOneSample() {
    const LoopConstants loop{Motor{}};
    const quint16 kp = 1000, ki = 300;
    const double amperes = 1.5;
    const QVector<double> record = exactStep(ReplyLayout::WideByteCount, kp, ki, amperes);
    QCOMPARE(record[kStep], 0.0);
    QCOMPARE(record[kStep + 1], 0.0);
    const double volts = (kp * CurrentLoopModel::kKpVoltsPerAmpere +
                          ki * CurrentLoopModel::kKiVoltsPerAmpereSecond * loop.ts) *
                         amperes;
    QVERIFY(std::abs(record[kStep + 2] - loop.gain * volts) <= kQ10 / 2);
}

// A gain far beyond the bus: the output, and with it the current's rise, is that of the bus
// voltage alone, i(n) = Vbus / R (1 - decay^n), until the current nears the command.
void TstDriveModel::outputClampsAtTheBusVoltage() {
    const LoopConstants loop{Motor{}};
    const QVector<double> record = exactStep(ReplyLayout::WideByteCount, 65535, 65535, 3);
    for (int n = 1; n <= 3; ++n) {
        const double clamped = loop.vbus / loop.r * (1 - std::pow(loop.decay, n));
        QVERIFY2(
            std::abs(record[kStep + 1 + n] - clamped) <= kQ10 / 2,
            qPrintable(QStringLiteral("%1 against %2").arg(record[kStep + 1 + n]).arg(clamped)));
    }
}

// Another firmware's scaling: ten times the scale with a tenth of the gains is the same loop.
void TstDriveModel::gainScaleMultipliesBothGains() {
    const QVector<double> scaled = exactStep(ReplyLayout::WideByteCount, 100, 30, 1.5, 10);
    const QVector<double> plain = exactStep(ReplyLayout::WideByteCount, 1000, 300, 1.5, 1);
    QCOMPARE(scaled, plain);
    QVERIFY(scaled != exactStep(ReplyLayout::WideByteCount, 100, 30, 1.5, 1));
}

void TstDriveModel::stepTestLeavesParametersAlone() {
    DriveModel drive(ReplyLayout::WideByteCount);
    drive.setReg(reg::StepTestCurrent, 2048);
    drive.answer(request(1, 6, reg::PeakCurrent, 2560));
    drive.answer(request(1, 6, reg::StepTestCommand, 1));
    const QByteArray capture = drive.answer(request(1, 3, reg::StepResponseFirst, 200));
    QVERIFY(capture.size() == 406);
    QVERIFY(wordAt(capture, 4 + 2 * 190) > 1800); // register 195, settled near 2 A

    drive.answer(request(1, 6, reg::StepTestCommand, 0));
    QVERIFY(!drive.stepTestRunning());
    QCOMPARE(drive.reg(reg::PeakCurrent), quint16(2560));
    QCOMPARE(drive.reg(reg::Resonance1Amplitude), quint16(2600));
}

void TstDriveModel::cannedStepResponse() {
    DriveModel drive(ReplyLayout::NarrowByteCount);
    drive.setStepResponse({1024, -1, -32768});
    drive.answer(request(1, 6, reg::StepTestCommand, 1));
    const QByteArray capture = drive.answer(request(1, 3, reg::StepResponseFirst, 4));
    QCOMPARE(capture.mid(3, 8).toHex(' '), QByteArray("04 00 ff ff 80 00 00 00"));
    drive.setReg(reg::StepResponseFirst + 3, 512); // changes the record, not the parameter below
    QCOMPARE(drive.reg(reg::StepResponseFirst + 3), quint16(512));
    drive.answer(request(1, 6, reg::StepTestCommand, 0));
    QCOMPARE(drive.reg(reg::StepResponseFirst + 3), quint16(0));
}

void TstDriveModel::autoTuningAndEepromCommit() {
    DriveModel drive(ReplyLayout::NarrowByteCount);
    qint64 now = 0;
    drive.setClock([&now] { return now; });
    const quint16 kp = drive.reg(reg::CurrentLoopKp);
    const quint16 ki = drive.reg(reg::CurrentLoopKi);
    drive.answer(request(1, 6, reg::CurrentLoopAutoTune, 1));
    QCOMPARE(drive.autoTunings(), 1);
    // The tuning takes the drive a moment; until then it answers with the gains it had.
    now += 100;
    drive.answer(request(1, 3, reg::CurrentLoopKp, 2));
    QCOMPARE(drive.reg(reg::CurrentLoopKp), kp);
    now += 1000;
    drive.answer(request(1, 3, reg::CurrentLoopKp, 2));
    QVERIFY(drive.reg(reg::CurrentLoopKp) != kp || drive.reg(reg::CurrentLoopKi) != ki);
    QVERIFY(drive.reg(reg::CurrentLoopKp) > 0 && drive.reg(reg::CurrentLoopKp) < 10000);
    QVERIFY(drive.reg(reg::CurrentLoopKi) > 0 && drive.reg(reg::CurrentLoopKi) < 10000);

    QCOMPARE(drive.storedReg(reg::CurrentLoopKp), kp);
    drive.answer(request(1, 6, reg::EepromCommit, 1));
    drive.answer(request(1, 6, reg::PeakCurrent, 1024)); // after the commit: not stored
    QCOMPARE(drive.eepromCommits(), 1);
    QCOMPARE(drive.storedReg(reg::CurrentLoopKp), drive.reg(reg::CurrentLoopKp));
    QCOMPARE(drive.storedReg(reg::PeakCurrent), quint16(3072));

    drive.answer(request(1, 6, reg::GeneratorRun, 1));
    QVERIFY(drive.generatorRunning());
    drive.answer(request(1, 6, reg::GeneratorRun, 0));
    QVERIFY(!drive.generatorRunning());
}

void TstDriveModel::misbehaviourOnTheLine_data() {
    QTest::addColumn<Misbehaviour>("kind");
    QTest::addColumn<int>("delayMs");
    // (milliseconds after the request, bytes that have arrived by then)
    QTest::addColumn<QList<int>>("times");
    QTest::addColumn<QByteArrayList>("arrived");

    // Read of register 0 from a QZ318 whose Kp is 0x0384: 01 03 02 03 84 + CRC.
    const QByteArray healthy = withCrc(QByteArray::fromHex("0103020384"));
    QByteArray corrupt = healthy;
    corrupt[6] = char(~quint8(corrupt[6]));

    QTest::newRow("none") << Misbehaviour::None << 0 << QList<int>{1, 2}
                          << QByteArrayList{{}, healthy};
    QTest::newRow("silent") << Misbehaviour::Silent << 0 << QList<int>{500} << QByteArrayList{{}};
    QTest::newRow("late") << Misbehaviour::Late << 80 << QList<int>{2, 79, 80}
                          << QByteArrayList{{}, {}, healthy};
    QTest::newRow("pieces") << Misbehaviour::InPieces << 60 << QList<int>{2, 61, 62}
                            << QByteArrayList{healthy.left(3), healthy.left(3), healthy};
    QTest::newRow("crc") << Misbehaviour::CorruptCrc << 0 << QList<int>{2}
                         << QByteArrayList{corrupt};
    QTest::newRow("station") << Misbehaviour::OtherStation << 0 << QList<int>{2}
                             << QByteArrayList{withCrc(QByteArray::fromHex("0203020384"))};
    QTest::newRow("stray") << Misbehaviour::StrayBytes << 0 << QList<int>{2}
                           << QByteArrayList{QByteArray(1, char(0xFF)) + healthy};
    QTest::newRow("short") << Misbehaviour::ShortReply << 0 << QList<int>{2}
                           << QByteArrayList{healthy.left(6)};
    QTest::newRow("exception") << Misbehaviour::ExceptionReply << 0 << QList<int>{2}
                               << QByteArrayList{withCrc(QByteArray::fromHex("018302"))};
}

void TstDriveModel::misbehaviourOnTheLine() {
    QFETCH(Misbehaviour, kind);
    QFETCH(int, delayMs);
    QFETCH(QList<int>, times);
    QFETCH(QByteArrayList, arrived);

    DriveModel drive(ReplyLayout::NarrowByteCount);
    drive.injectFault({kind, delayMs, -1});
    test::VirtualClock clock;
    SimulatedSerialPort port(drive, clock);
    QVERIFY(port.open());
    const qint64 sent = clock.now;
    QVERIFY(port.write(request(1, 3, 0, 1)));
    for (int i = 0; i < times.size(); ++i) {
        clock.now = sent + times[i];
        QCOMPARE(port.bytesWaiting(), int(arrived[i].size()));
    }
    QByteArray bytes;
    QVERIFY(port.readAll(bytes));
    QCOMPARE(bytes.toHex(' '), arrived.last().toHex(' '));
}

void TstDriveModel::faultCountLimitsTheMisbehaviour() {
    DriveModel drive(ReplyLayout::WideByteCount);
    drive.injectFault({Misbehaviour::Silent, 0, 2});
    const QByteArray read = request(1, 3, 0, 1);
    QVERIFY(drive.respond(read).isEmpty());
    QVERIFY(drive.respond(request(2, 3, 0, 1)).isEmpty()); // not for us: no reply to spoil
    QVERIFY(drive.respond(read).isEmpty());
    const QList<Delivery> healthy = drive.respond(read);
    QCOMPARE(healthy.size(), 1);
    QCOMPARE(healthy.first().afterMs, 2);
    QCOMPARE(healthy.first().bytes.size(), 8);
}

void TstDriveModel::portFailures() {
    DriveModel drive(ReplyLayout::WideByteCount);
    test::VirtualClock clock;
    SimulatedSerialPort port(drive, clock);
    port.setPortNumber(3);
    QByteArray bytes;

    QVERIFY(!port.write(request(1, 3, 0, 1)));
    QVERIFY(port.errorString().contains(QLatin1String("COM3")));
    QCOMPARE(port.bytesWaiting(), -1);
    QVERIFY(!port.readAll(bytes));
    QVERIFY(drive.requests().isEmpty());

    port.setPresent(false);
    QVERIFY(!port.open());
    QVERIFY(port.errorString().contains(QLatin1String("no such port")));
    port.setPresent(true);
    QVERIFY(port.open());
    QVERIFY(!port.open());
    QVERIFY(port.errorString().contains(QLatin1String("already open")));
    QVERIFY(port.isOpen());

    QVERIFY(port.write(request(1, 3, 0, 1)));
    port.vanish();
    clock.now += 100;
    QCOMPARE(port.bytesWaiting(), -1);
    QVERIFY(!port.errorString().isEmpty());
    QVERIFY(!port.readAll(bytes));
    QVERIFY(!port.discardInput());
    QVERIFY(!port.discardOutput());
    QVERIFY(!port.write(request(1, 3, 0, 1)));
    QCOMPARE(drive.requests().size(), 1);

    port.close();
    QVERIFY(!port.open()); // still unplugged
    port.setPresent(true);
    QVERIFY(port.open());
    QCOMPARE(port.bytesWaiting(), 0); // nothing of the old traffic survives
    QCOMPARE(port.openCount(), 2);
}

void TstDriveModel::discardInputKeepsWhatIsStillOnTheLine() {
    DriveModel drive(ReplyLayout::WideByteCount);
    drive.injectFault({Misbehaviour::InPieces, 50, -1});
    test::VirtualClock clock;
    SimulatedSerialPort port(drive, clock);
    QVERIFY(port.open());
    port.injectInput(QByteArray(2, char(0x55)));
    QVERIFY(port.write(request(1, 3, 0, 1)));
    clock.now += 10;
    QCOMPARE(port.bytesWaiting(), 2 + 4);
    QVERIFY(port.discardInput());
    QCOMPARE(port.bytesWaiting(), 0);
    clock.now += 50;
    QCOMPARE(port.bytesWaiting(), 4); // the second half arrives after the discard
}

void TstDriveModel::driveLinkReadsBothLayouts_data() {
    QTest::addColumn<bool>("x7");
    QTest::newRow("x7") << true;
    QTest::newRow("qz318") << false;
}

// The simulated drive must satisfy the real link in both layouts, including the long capture
// read whose one-byte count wraps.
void TstDriveModel::driveLinkReadsBothLayouts() {
    QFETCH(bool, x7);
    const LinkVariant& variant = x7 ? LinkVariant::x7() : LinkVariant::qz318();
    DriveModel drive(variant.layout);
    test::VirtualClock clock;
    test::PromptRecorder prompts;
    SimulatedSerialPort port(drive, clock);
    QVERIFY(port.open());
    DriveLink link(port, clock, prompts, variant);
    link.setBaudKilo(38);

    link.WriteRegister(1, reg::StepTestCurrent, 1536);
    QCOMPARE(int(link.ReplyError()), 0);
    link.WriteRegister(1, reg::StepTestCommand, 1);
    QCOMPARE(int(link.ReplyError()), 0);
    link.ReadRegisters(1, reg::StepResponseFirst, 200);
    QCOMPARE(int(link.ReplyError()), 0);
    QCOMPARE(link.ReadValues().size(), 200);
    for (int k = 0; k < 200; ++k)
        QCOMPARE(link.ReadValues()[k], float(qint16(drive.reg(reg::StepResponseFirst + k))));
    QVERIFY(prompts.prompts.isEmpty());
}

QTEST_GUILESS_MAIN(TstDriveModel)
#include "tst_drivemodel.moc"
