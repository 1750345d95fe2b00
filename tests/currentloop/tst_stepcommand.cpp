// "qzcli step" as a bench script runs it: against qzdrive-sim on a real pseudo-terminal, its CSV on
// standard output, its messages and exit codes, and what it leaves in the drive.

#include "tests/support/DriveProcess.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = ProgramRun;

} // namespace

class StepCommandTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    void startDrive(const QString& variant, const QStringList& extra = {}) {
        QVERIFY(drive_.start(QStringList{"--variant", variant} + extra));
    }

    void stopDrive() { drive_.stop(); }

    static Run qzcli(const QString& variant, const QStringList& args) {
        return RunProgram(QStringLiteral(KIROTUNE_QZCLI_PATH),
                          QStringList{"--variant", variant, "--port", "COM1"} + args);
    }

    static int registerOf(const QString& variant, int address) {
        const Run run = qzcli(variant, {"read", QString::number(address)});
        const QStringList words = run.out.split(QLatin1Char(' '));
        return words.size() == 3 ? words[1].toInt() : -1;
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }
    void cleanupTestCase() { stopDrive(); }

    void stepPrintsTheRecord_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("x7") << "x7";
        QTest::newRow("qz318") << "qz318";
    }
    void stepPrintsTheRecord() {
        QFETCH(QString, variant);
        startDrive(variant);
        const Run run = qzcli(variant, {"step", "1.5", "--kp", "3000", "--ki", "0x12c"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QStringLiteral("step test")), qPrintable(run.err));
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 201);
        QCOMPARE(lines.first(), QStringLiteral("sample,amperes"));
        double settled = 0;
        for (int k = 0; k < 200; ++k) {
            const QStringList fields = lines[k + 1].split(QLatin1Char(','));
            QCOMPARE(fields.size(), 2);
            QCOMPARE(fields[0].toInt(), k);
            bool ok = false;
            const double amperes = fields[1].toDouble(&ok);
            QVERIFY(ok);
            // Whole numbers of 1/1024 A, written out exactly.
            QCOMPARE(amperes * 1024, std::round(amperes * 1024));
            if (k >= 150)
                settled += amperes / 50;
        }
        QVERIFY2(std::abs(settled - 1.5) < 0.05, qPrintable(QString::number(settled)));

        // The gains and the current stayed in the drive; the test mode is over.
        QCOMPARE(registerOf(variant, 0), 3000);
        QCOMPARE(registerOf(variant, 1), 300);
        QCOMPARE(registerOf(variant, 4), 1536);
        QCOMPARE(registerOf(variant, 2), 0);
    }

    void stepKeepsTheDrivesGainsWhenNoneGiven() {
        startDrive(QStringLiteral("x7"));
        QCOMPARE(qzcli("x7", {"write", "0", "1234"}).exitCode, 0);
        const Run run = qzcli("x7", {"step", "0"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(QLatin1Char('\n')), 201);
        QCOMPARE(registerOf("x7", 0), 1234);
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no current") << QStringList{"step"};
        QTest::newRow("current above 5 A") << QStringList{"step", "7.5"};
        QTest::newRow("negative current") << QStringList{"step", "-1"};
        QTest::newRow("current not a number") << QStringList{"step", "abc"};
        QTest::newRow("two currents") << QStringList{"step", "1", "2"};
        QTest::newRow("Kp 0") << QStringList{"step", "1", "--kp", "0"};
        QTest::newRow("Kp without value") << QStringList{"step", "1", "--kp"};
        QTest::newRow("Ki above 65535") << QStringList{"step", "1", "--ki", "70000"};
    }
    void badArguments() {
        QFETCH(QStringList, args);
        const Run run = qzcli("x7", args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("usage:")));
        QCOMPARE(run.out, QString());
    }

    void silentDriveFails() {
        startDrive(QStringLiteral("qz318"), {"--fault", "silent"});
        const Run run = qzcli("qz318", {"step", "1"});
        stopDrive();
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("writing the step current")), qPrintable(run.err));
        QVERIFY(run.err.contains(QStringLiteral(
            "Communication Error: Communication Error. Please check the RS232 cable connection "
            "and restart Kirotune.\n")));
    }
};

QTEST_GUILESS_MAIN(StepCommandTest)
#include "tst_stepcommand.moc"
