#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/StatusDisplay.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QTest>
#include <memory>

using namespace kiro;
using kiro::sim::FaultInjection;
using kiro::sim::Misbehaviour;

namespace {

class LampRecorder : public StatusDisplay {
public:
    void showBusy() override { states << QStringLiteral("busy"); }
    void showIdle() override { states << QStringLiteral("idle"); }
    QStringList states;
};

// One tuner's link against the in-process drive, on a virtual clock.
struct Bench {
    explicit Bench(const LinkVariant& variant)
        : drive(variant.layout), port(drive, clock), link(port, clock, prompts, variant) {
        link.setBaudKilo(38);
        link.setStatusDisplay(&lamp);
        port.setPortNumber(1);
        port.setSettings(QStringLiteral("38400,n,8,1"));
        port.open();
    }

    // One transaction as the windows write it: send, wait T, receive.
    void transact(quint8 function, float address, float value) {
        link.SendRequest(1, function, address, value);
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(1, function);
    }

    test::VirtualClock clock;
    test::PromptRecorder prompts;
    LampRecorder lamp;
    sim::DriveModel drive;
    sim::SimulatedSerialPort port;
    DriveLink link;
};

const LinkVariant& variantNamed(const QString& name) {
    return *LinkVariant::byName(name);
}

} // namespace

class TransactionTest : public QObject {
    Q_OBJECT

private slots:
    void replyTiming_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("replyError");
        QTest::addColumn<bool>("replyRead");

        for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
            const auto row = [&](const char* name) {
                return &QTest::newRow(qPrintable(variant + QLatin1Char(' ') + QLatin1String(name)));
            };
            // The first poll comes 33 ms after the request, then every 31 ms.
            *row("complete at the first poll")
                << variant << int(Misbehaviour::None) << 0 << 0 << true;
            *row("complete at the third poll")
                << variant << int(Misbehaviour::Late) << 80 << 2 << true;
            *row("second half at the second poll")
                << variant << int(Misbehaviour::InPieces) << 40 << 1 << true;
            *row("complete only at the last poll")
                << variant << int(Misbehaviour::Late) << 370 << 11 << true;
            *row("too late") << variant << int(Misbehaviour::Late) << 400 << 12 << false;
            *row("silent drive") << variant << int(Misbehaviour::Silent) << 0 << 12 << false;
            *row("one stray byte too many")
                << variant << int(Misbehaviour::StrayBytes) << 0 << 1 << false;
            *row("short reply") << variant << int(Misbehaviour::ShortReply) << 0 << 12 << false;
            *row("exception reply")
                << variant << int(Misbehaviour::ExceptionReply) << 0 << 12 << false;
        }
    }
    void replyTiming() {
        QFETCH(QString, variant);
        QFETCH(int, misbehaviour);
        QFETCH(int, delayMs);
        QFETCH(int, replyError);
        QFETCH(bool, replyRead);

        Bench bench(variantNamed(variant));
        bench.drive.setReg(reg::PeakCurrent, 3072);
        bench.drive.injectFault({Misbehaviour(misbehaviour), delayMs, -1});
        bench.transact(3, reg::PeakCurrent, 1);

        QCOMPARE(int(bench.link.ReplyError()), replyError);
        QCOMPARE(!bench.link.RxFrame().isEmpty(), replyRead);
        if (replyError == 0)
            QCOMPARE(bench.link.ReadValues(), QVector<float>{3072});
        QVERIFY(bench.prompts.prompts.isEmpty());
    }

    void silenceMeansElevenWaits() {
        Bench bench(LinkVariant::x7());
        bench.drive.injectFault({Misbehaviour::Silent, 0, -1});
        bench.link.SendRequest(1, 6, reg::EepromCommit, 1);
        const qint64 start = bench.clock.now;
        bench.link.ReceiveReply(1, 6);
        // Eleven poll intervals of 8 \ 38 + 30 = 30 ms, each ending once the clock is past it.
        QCOMPARE(bench.clock.now - start, qint64(11 * 31));
        QCOMPARE(int(bench.link.ReplyError()), 12);
    }

    void waitOfZeroEndsWhenTheClockMoves() {
        Bench bench(LinkVariant::x7());
        bench.link.WaitMs(0);
        QCOMPARE(bench.clock.turns, qint64(1));
        bench.link.WaitMs(-5);
        QCOMPARE(bench.clock.turns, qint64(1));
        bench.link.WaitMs(32);
        QCOMPARE(bench.clock.turns, qint64(34));
    }

    void replyCheckMessages_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("misbehaviour");
        QTest::addColumn<QString>("message");
        for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
            QTest::newRow(qPrintable(variant + " bad CRC"))
                << variant << int(Misbehaviour::CorruptCrc) << QStringLiteral("接收CRC失败！");
            QTest::newRow(qPrintable(variant + " another station"))
                << variant << int(Misbehaviour::OtherStation)
                << QStringLiteral("接收设备号功能码失败！");
        }
    }
    void replyCheckMessages() {
        QFETCH(QString, variant);
        QFETCH(int, misbehaviour);
        QFETCH(QString, message);
        for (const quint8 function : {quint8(3), quint8(6)}) {
            Bench bench(variantNamed(variant));
            bench.drive.injectFault({Misbehaviour(misbehaviour), 0, -1});
            bench.transact(function, reg::PeakCurrent, 1);
            QVERIFY(bench.link.ReplyError() >= 1);
            QCOMPARE(bench.prompts.texts(), QStringList{message});
            QCOMPARE(bench.prompts.titles(), QStringList{QStringLiteral("通讯故障！")});
        }
    }

    void failedReplyKeepsTheLastGoodValues_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("misbehaviour");
        for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
            QTest::newRow(qPrintable(variant + " bad CRC"))
                << variant << int(Misbehaviour::CorruptCrc);
            QTest::newRow(qPrintable(variant + " another station"))
                << variant << int(Misbehaviour::OtherStation);
        }
    }
    void failedReplyKeepsTheLastGoodValues() {
        QFETCH(QString, variant);
        QFETCH(int, misbehaviour);
        Bench bench(variantNamed(variant));
        bench.drive.setReg(reg::PeakCurrent, 512);
        bench.transact(3, reg::PeakCurrent, 1);
        QCOMPARE(bench.link.ReadValues(), QVector<float>{512});

        bench.drive.setReg(reg::PeakCurrent, 9999);
        bench.drive.injectFault({Misbehaviour(misbehaviour), 0, -1});
        bench.transact(3, reg::PeakCurrent, 1);
        QVERIFY(bench.link.ReplyError() != 0);
        QCOMPARE(bench.link.ReadValues(), QVector<float>{512});
    }

    void unknownFunctionIsStillSent() {
        Bench bench(LinkVariant::x7());
        bench.transact(6, reg::EepromCommit, 1);
        bench.drive.clearRequests();
        bench.link.SendRequest(1, 4, 0, 1);
        QCOMPARE(bench.prompts.texts(), QStringList{QStringLiteral("上位机故障！")});
        QCOMPARE(bench.prompts.titles(), QStringList{QStringLiteral("通讯故障！")});
        QCOMPARE(bench.drive.requests().size(), 1);
        QCOMPARE(bench.drive.requests().first().toHex(' '), QByteArray("01 04 00 00 00 01 31 ca"));
        QCOMPARE(int(bench.link.ExpectedReplyLength()), 8); // the write's reply length stands
    }

    void stepResponseReadOfTwoHundred_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("replyBytes");
        QTest::newRow("x7") << QStringLiteral("x7") << 406;
        QTest::newRow("qz318") << QStringLiteral("qz318") << 405;
    }
    void stepResponseReadOfTwoHundred() {
        QFETCH(QString, variant);
        QFETCH(int, replyBytes);
        Bench bench(variantNamed(variant));
        for (int k = 0; k < reg::StepResponseCount; ++k)
            bench.drive.setReg(reg::StepResponseFirst + k, quint16(k == 7 ? 65535 : k * 10));
        bench.transact(3, reg::StepResponseFirst, reg::StepResponseCount);
        QCOMPARE(int(bench.link.ReplyError()), 0);
        QCOMPARE(bench.link.RxFrame().size(), replyBytes);
        QCOMPARE(bench.link.ReadValues().size(), reg::StepResponseCount);
        QCOMPARE(bench.link.ReadValues().at(7), -1.0f);
        QCOMPARE(bench.link.ReadValues().at(199), 1990.0f);
    }

    void retryingRoutines_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QString x7Title = QStringLiteral("通讯故障！");
        const QString x7Message = QStringLiteral("请检查连接后重新开启软件！");
        const QString qzTitle = QStringLiteral("Communication Error");
        const QString qzMessage = QStringLiteral(
            "Communication Error. Please check the RS232 cable connection and restart Kirotune.");
        QTest::newRow("x7 read") << QStringLiteral("x7") << false << x7Title << x7Message;
        QTest::newRow("x7 write") << QStringLiteral("x7") << true << x7Title << x7Message;
        QTest::newRow("qz318 read") << QStringLiteral("qz318") << false << qzTitle << qzMessage;
        QTest::newRow("qz318 write") << QStringLiteral("qz318") << true << qzTitle << qzMessage;
    }
    void retryingRoutines() {
        QFETCH(QString, variant);
        QFETCH(bool, write);
        QFETCH(QString, title);
        QFETCH(QString, message);

        Bench bench(variantNamed(variant));
        const auto run = [&] {
            if (write)
                bench.link.WriteRegister(1, reg::CurrentLoopKp, 77);
            else
                bench.link.ReadRegisters(1, reg::CurrentLoopKp, 1);
        };

        run();
        QCOMPARE(int(bench.link.ReplyError()), 0);
        QCOMPARE(bench.lamp.states, (QStringList{"busy", "idle"}));
        QCOMPARE(bench.drive.requests().size(), 1);
        QVERIFY(!bench.link.TuningIdle());

        bench.drive.clearRequests();
        bench.lamp.states.clear();
        bench.drive.injectFault({Misbehaviour::Silent, 0, -1});
        run();
        QVERIFY(bench.link.ReplyError() != 0);
        QCOMPARE(bench.drive.requests().size(), 4);
        QCOMPARE(bench.prompts.texts(), QStringList{message});
        QCOMPARE(bench.prompts.titles(), QStringList{title});
        QCOMPARE(bench.lamp.states.last(), QStringLiteral("busy"));
        QVERIFY(bench.link.TuningIdle());
    }

    void retryingRoutinesStopAtAPortFault_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("write");
        QTest::newRow("x7 read") << QStringLiteral("x7") << false;
        QTest::newRow("qz318 write") << QStringLiteral("qz318") << true;
    }
    void retryingRoutinesStopAtAPortFault() {
        QFETCH(QString, variant);
        QFETCH(bool, write);
        Bench bench(variantNamed(variant));
        bench.port.vanish();
        if (write)
            bench.link.WriteRegister(1, reg::CurrentLoopKp, 77);
        else
            bench.link.ReadRegisters(1, reg::CurrentLoopKp, 1);
        // The port's own message once, then the routine's failure.
        QCOMPARE(int(bench.link.ReplyError()), int(DriveLink::kUnreachable));
        QCOMPARE(bench.prompts.prompts.size(), 2);
        QVERIFY(!bench.prompts.texts().first().isEmpty());
        QCOMPARE(bench.prompts.texts().last(), bench.link.variant().failureMessage);
        QCOMPARE(bench.prompts.titles().last(), bench.link.variant().failureTitle);
        QVERIFY(bench.link.TuningIdle());
        QCOMPARE(bench.lamp.states, QStringList{"busy"});
    }

    void retryRecoversFromOneBadReply() {
        Bench bench(LinkVariant::qz318());
        bench.drive.setReg(reg::MidSpeedSuppression, 1500);
        bench.drive.injectFault({Misbehaviour::CorruptCrc, 0, 1});
        bench.link.ReadRegisters(1, reg::MidSpeedSuppression, 1);
        QCOMPARE(int(bench.link.ReplyError()), 0);
        QCOMPARE(bench.link.ReadValues(), QVector<float>{1500});
        QCOMPARE(bench.drive.requests().size(), 2);
        QCOMPARE(bench.prompts.texts(), QStringList{QStringLiteral("接收CRC失败！")});
    }

    void writeReachesTheDrive() {
        Bench bench(LinkVariant::x7());
        bench.link.WriteRegister(1, reg::PeakCurrent, bench.link.ToQ10(2.5f));
        QCOMPARE(int(bench.link.ReplyError()), 0);
        QCOMPARE(bench.drive.reg(reg::PeakCurrent), quint16(2560));
        QCOMPARE(bench.link.TxFrame().toHex(' '), QByteArray("01 06 00 1f 0a 00"));
    }

    void q10Scaling() {
        Bench bench(LinkVariant::x7());
        QCOMPARE(bench.link.ToQ10(1.5f), 1536.0f);
        QCOMPARE(bench.link.Q10Value(), 1536.0f);
        QCOMPARE(bench.link.FromQ10(512), 0.5f);
        QCOMPARE(bench.link.PlainValue(), 0.5f);
    }

    // A request that cannot reach the drive is a failed transaction, and says why once.
    void requestsThatCannotBeSent() {
        Bench bench(LinkVariant::x7());
        bench.transact(6, reg::PeakCurrent, 65536);
        QCOMPARE(int(bench.link.ReplyError()), int(DriveLink::kUnreachable));
        QCOMPARE(bench.prompts.texts(), QStringList{QStringLiteral("溢出")});
        QVERIFY(bench.drive.requests().isEmpty());

        bench.prompts.clear();
        bench.port.vanish();
        const qint64 start = bench.clock.now;
        bench.link.SendRequest(1, 3, 0, 1);
        bench.link.ReceiveReply(1, 3);
        QCOMPARE(int(bench.link.ReplyError()), int(DriveLink::kUnreachable));
        QVERIFY(bench.link.portFaulted());
        QCOMPARE(bench.prompts.prompts.size(), 1);
        QVERIFY(!bench.prompts.texts().first().isEmpty());
        QCOMPARE(bench.prompts.titles(), QStringList{QString()});
        QCOMPARE(bench.clock.now, start); // nothing to wait for
    }

    void nestedRequestIsRefusedAndChangesNothing() {
        Bench bench(LinkVariant::x7());
        bench.drive.setReg(reg::PeakCurrent, 3072);
        bench.drive.setReg(reg::CurrentLoopKp, 11);
        bench.drive.injectFault({Misbehaviour::Late, 60, -1});

        bool wasBusy = false;
        int nestedReplyError = -1;
        bench.clock.onEvents = [&] {
            if (bench.clock.turns != 20)
                return;
            // A click handler that runs while the outer transaction waits.
            wasBusy = bench.link.busy();
            bench.link.SendRequest(1, 6, reg::CurrentLoopKp, 99);
            bench.link.WaitMs(bench.link.ReplyWaitMs());
            bench.link.ReceiveReply(1, 6);
            nestedReplyError = bench.link.ReplyError();
            bench.link.WriteRegister(1, reg::CurrentLoopKp, 98);
        };
        bench.transact(3, reg::PeakCurrent, 1);
        bench.clock.onEvents = nullptr;

        QVERIFY(wasBusy);
        QCOMPARE(nestedReplyError, int(DriveLink::kUnreachable));
        QCOMPARE(bench.drive.requests().size(), 1);
        QCOMPARE(bench.drive.reg(reg::CurrentLoopKp), quint16(11));
        QCOMPARE(int(bench.link.ReplyError()), 1); // the outer reply came at the second poll
        QCOMPARE(bench.link.ReadValues(), QVector<float>{3072});
        QVERIFY(bench.prompts.prompts.isEmpty());
        QVERIFY(!bench.link.busy());
    }

    void requestDuringALinkMessageIsRefused() {
        Bench bench(LinkVariant::qz318());
        bench.drive.injectFault({Misbehaviour::CorruptCrc, 0, 1});
        bench.prompts.whileShown = [&](const Prompt&) {
            bench.link.WriteRegister(1, reg::GeneratorRun, 1);
        };
        bench.transact(3, reg::PeakCurrent, 1);
        QCOMPARE(bench.drive.requests().size(), 1);
        QCOMPARE(bench.drive.reg(reg::GeneratorRun), quint16(0));
        QCOMPARE(int(bench.link.ReplyError()), 1);
        QCOMPARE(bench.prompts.prompts.size(), 1);
    }

    void sessionMarksTheLinkBusy() {
        Bench bench(LinkVariant::x7());
        QVERIFY(!bench.link.busy());
        {
            DriveLink::Session session(bench.link);
            QVERIFY(bench.link.busy());
            bench.link.WriteRegister(1, reg::EepromCommit, 1); // the holder itself may talk
            QCOMPARE(int(bench.link.ReplyError()), 0);
        }
        QVERIFY(!bench.link.busy());
        QCOMPARE(bench.drive.eepromCommits(), 1);
    }
};

QTEST_APPLESS_MAIN(TransactionTest)
#include "tst_transactions.moc"
