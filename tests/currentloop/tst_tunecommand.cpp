// "qzcli tune" as a bench script runs it: against qzdrive-sim on a real pseudo-terminal, its CSV of
// steps, its exit codes, and the gains it leaves in the drive at every end. The search itself is
// tested in process (tst_gainsearch); these runs are kept short.

#include "tests/support/DriveProcess.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using Run = ProgramRun;

const QString kHeader =
    QStringLiteral("step,kp,ki,final_amperes,overshoot_percent,settling_samples,accepted");

} // namespace

class TuneCommandTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    static QStringList qzcliArgs(const QStringList& args) {
        return QStringList{"--variant", "x7", "--port", "COM1"} + args;
    }
    static Run qzcli(const QStringList& args) {
        return RunProgram(QStringLiteral(KIROTUNE_QZCLI_PATH), qzcliArgs(args));
    }
    static int registerOf(int address) {
        const QStringList words = qzcli({"read", QString::number(address)}).out.split(' ');
        return words.size() == 3 ? words[1].toInt() : -1;
    }
    static QStringList stepLines(const QString& out) {
        QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.isEmpty() || lines.takeFirst() != kHeader)
            return {QStringLiteral("no header")};
        return lines;
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }
    void cleanupTestCase() { drive_.stop(); }

    // The chosen pair is the accepted line with the shortest settling, and the drive holds it.
    void searchWritesTheChosenPair() {
        QVERIFY(drive_.start({"--variant", "x7", "--motor", "1.2,0.0036,48", "--gain-scale", "1"}));
        const Run run = qzcli({"tune", "--max-steps", "4", "--current", "1"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = stepLines(run.out);
        QCOMPARE(lines.size(), 4);
        int bestSettling = 1 << 20;
        QString bestGains;
        for (int k = 0; k < lines.size(); ++k) {
            const QStringList fields = lines[k].split(QLatin1Char(','));
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0].toInt(), k + 1);
            QVERIFY(fields[6] == QLatin1String("yes") || fields[6] == QLatin1String("no"));
            if (k == 0)
                QCOMPARE(fields.mid(1, 2).join(','), QStringLiteral("1000,300")); // the drive's
            if (fields[6] == QLatin1String("yes") && fields[5].toInt() < bestSettling) {
                bestSettling = fields[5].toInt();
                bestGains = fields.mid(1, 2).join(',');
            }
        }
        QVERIFY2(!bestGains.isEmpty(), qPrintable(run.out));
        QVERIFY2(
            run.err.contains(QStringLiteral("chosen: Kp %1, Ki %2")
                                 .arg(bestGains.section(',', 0, 0), bestGains.section(',', 1))),
            qPrintable(run.err));
        QCOMPARE(QStringLiteral("%1,%2").arg(registerOf(0)).arg(registerOf(1)), bestGains);
        QCOMPARE(registerOf(2), 0);
        QCOMPARE(registerOf(4), 1024);
    }

    void noPairLeavesTheGains() {
        QVERIFY(drive_.start({"--variant", "x7"}));
        const Run run = qzcli({"tune", "--max-steps", "1", "--kp", "1", "--ki", "0"});
        QCOMPARE(run.exitCode, 5);
        QCOMPARE(stepLines(run.out).size(), 1);
        QVERIFY2(run.err.contains(QStringLiteral("no pair met the limits")), qPrintable(run.err));
        QCOMPARE(registerOf(0), 1000);
        QCOMPARE(registerOf(1), 300);
        QCOMPARE(registerOf(2), 0);
    }

    // A signal while the search runs: the drive gets its gains back and leaves the test mode,
    // then qzcli exits with 128 + the signal.
    void signalPutsTheGainsBack_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalPutsTheGainsBack() {
        QFETCH(int, signal);
        QVERIFY(drive_.start({"--variant", "x7"}));
        QProcess process;
        process.start(QStringLiteral(KIROTUNE_QZCLI_PATH), qzcliArgs({"tune"}));
        QVERIFY(process.waitForStarted());
        QByteArray out;
        // The third step runs with gains of the search's own, not the drive's.
        QVERIFY(QTest::qWaitFor(
            [&] {
                process.waitForReadyRead(100);
                out += process.readAllStandardOutput();
                return out.count('\n') >= 3;
            },
            30000));
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(30000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QVERIFY2(err.contains(QStringLiteral("the drive has its gains back (Kp 1000, Ki 300)")),
                 qPrintable(err));
        QCOMPARE(registerOf(0), 1000);
        QCOMPARE(registerOf(1), 300);
        QCOMPARE(registerOf(2), 0);
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("current 0") << QStringList{"--current", "0"};
        QTest::newRow("current above 5 A") << QStringList{"--current", "5.5"};
        QTest::newRow("overshoot not a number") << QStringList{"--max-overshoot", "x"};
        QTest::newRow("no steps") << QStringList{"--max-steps", "0"};
        QTest::newRow("Kp 0") << QStringList{"--kp", "0"};
        QTest::newRow("Ki without value") << QStringList{"--ki"};
        QTest::newRow("stray word") << QStringList{"1.5"};
    }
    void badArguments() {
        QFETCH(QStringList, args);
        const Run run = qzcli(QStringList{"tune"} + args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("usage:")));
        QCOMPARE(run.out, QString());
    }
};

QTEST_GUILESS_MAIN(TuneCommandTest)
#include "tst_tunecommand.moc"
