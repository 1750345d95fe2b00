// qzcli as a script sees it: its output, its messages and its exit codes, against qzdrive-sim on a
// real pseudo-terminal.

#include "tests/support/DriveProcess.h"
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

using Run = ProgramRun;

} // namespace

class QzcliTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    void startDrive(const QStringList& extra = {}) {
        QVERIFY(drive_.start(QStringList{"--variant", "x7"} + extra));
    }

    void stopDrive() { drive_.stop(); }

    Run qzcli(const QStringList& args) {
        return RunProgram(QStringLiteral(KIROTUNE_QZCLI_PATH), args);
    }

    static QStringList on(const QString& port = QStringLiteral("COM1")) {
        return {"--variant", "x7", "--port", port};
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        startDrive();
    }
    void cleanupTestCase() { stopDrive(); }

    // A bench without a bus monitor reads the frames off the trace: the request exactly as sent,
    // then the reply, each with its time stamp; the result stays on standard output alone.
    void traceShowsEveryFrame() {
        const Run run = qzcli(QStringList{"--trace"} + on() + QStringList{"write", "31", "2560"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("31 := 2560\n"));
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() >= 2, qPrintable(run.err));
        const QRegularExpression sent(
            QStringLiteral("^ *\\d+ ms > 01 06 00 1F 0A 00 ([0-9A-F]{2} ){1}[0-9A-F]{2}$"));
        QVERIFY2(sent.match(lines.first()).hasMatch(), qPrintable(lines.first()));
        QVERIFY2(run.err.contains(QStringLiteral(" ms < 01 06 00 1F 0A 00")), qPrintable(run.err));
    }

    void versionAndHelpNeedNoPort() {
        Run run = qzcli({"--version"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("qzcli " KIROTUNE_VERSION "\n"));
        run = qzcli({"--help"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.err.contains(QStringLiteral("usage:")));
    }

    void writeThenReadBack() {
        Run run = qzcli(on() + QStringList{"write", "31", "2560"});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("31 := 2560\n"));

        run = qzcli(on() + QStringList{"write", "0x99", "65535"});
        QCOMPARE(run.exitCode, 0);

        run = qzcli(on() + QStringList{"read", "31"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("31 2560 2560\n"));

        run = qzcli(on() + QStringList{"read", "153", "1"});
        QCOMPARE(run.out, QStringLiteral("153 65535 -1\n"));

        run = qzcli(on() + QStringList{"read", "16", "10"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(QLatin1Char('\n')), 10);
        QVERIFY(run.out.startsWith(QStringLiteral("16 ")));
        QVERIFY(run.out.contains(QStringLiteral("\n25 ")));
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("no port") << QStringList{"--variant", "x7", "read", "0"};
        QTest::newRow("unknown variant")
            << QStringList{"--variant", "x9", "--port", "COM1", "read", "0"};
        QTest::newRow("unknown command") << on() + QStringList{"erase", "0"};
        QTest::newRow("write without value") << on() + QStringList{"write", "31"};
        QTest::newRow("value above 65535") << on() + QStringList{"write", "31", "65536"};
        QTest::newRow("negative value") << on() + QStringList{"write", "31", "-1"};
        QTest::newRow("address not a number") << on() + QStringList{"read", "peak"};
        QTest::newRow("count past the last register") << on() + QStringList{"read", "65535", "2"};
    }
    void badArguments() {
        QFETCH(QStringList, args);
        const Run run = qzcli(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("usage:")));
        QCOMPARE(run.out, QString());
    }

    void portThatCannotBeOpened() {
        Run run = qzcli(on(QStringLiteral("COM99")) + QStringList{"read", "0"});
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.err, QStringLiteral("qzcli: COM99 (/dev/ttyS98): no such port\n"));

        QSerialPort holder(QFileInfo(drive_.portLink()).symLinkTarget());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        run = qzcli(on() + QStringList{"read", "0"});
        holder.close();
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QStringLiteral("busy")), qPrintable(run.err));
    }

    void silentDriveFailsAfterFourAttempts() {
        startDrive({"--fault", "silent"});
        const Run run = qzcli(on() + QStringList{"read", "0"});
        startDrive();
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, QStringLiteral("通讯故障！: 请检查连接后重新开启软件！\n"));
    }
};

QTEST_GUILESS_MAIN(QzcliTest)
#include "tst_qzcli.moc"
