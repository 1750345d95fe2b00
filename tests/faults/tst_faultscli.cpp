// qzcli faults as a script sees it, against qzdrive-sim started with chosen fault words on a real
// pseudo-terminal: the words and their fault names, the two clears, and the settings that share
// the fault words' addresses left as they were.

#include "tests/support/DriveProcess.h"
#include "tests/support/PrivateConfigMain.h"

#include <QFileInfo>
#include <QTest>

namespace {

using Run = ProgramRun;

Run run(const QString& program, const QStringList& args) {
    return RunProgram(program, args);
}

QString linesOf(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

const QStringList kZeroWords{"0 0x0000", "1 0x0000", "2 0x0000", "3 0x0000", "4 0x0000",
                             "5 0x0000", "6 0x0000", "7 0x0000", "8 0x0000", "9 0x0000"};

} // namespace

class FaultsCliTest : public QObject {
    Q_OBJECT

    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    bool startDrive(const QStringList& args) { return drive_.start(args); }

    void stopDrive() { drive_.stop(); }

    static Run qzcli(const QString& variant, const QStringList& args) {
        return run(QStringLiteral(KIROTUNE_QZCLI_PATH),
                   QStringList{"--variant", variant, "--port", "COM1"} + args);
    }

private slots:
    void cleanup() { stopDrive(); }

    void wordsAndClears_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QList<int>>("settings"); // single registers among the fault words
        QTest::newRow("x7 jog settings") << "x7" << QList<int>{21, 22, 24};
        QTest::newRow("qz318 generator settings") << "qz318" << QList<int>{22, 24, 25};
    }
    void wordsAndClears() {
        QFETCH(QString, variant);
        QFETCH(QList<int>, settings);
        QVERIFY(startDrive({"--variant", variant, "--faults", "0x09,4,0,0x5F,0xFF20"}));
        for (int address : settings) {
            const Run write = qzcli(
                variant, {"write", QString::number(address), QString::number(1000 + address)});
            QCOMPARE(write.exitCode, 0);
        }

        Run faults = qzcli(variant, {"faults"});
        QCOMPARE(faults.err, QString());
        QCOMPARE(faults.exitCode, 0);
        QStringList words = kZeroWords;
        words[0] = "0 0x0009 overcurrent phase-loss";
        words[1] = "1 0x0004 undervoltage";
        words[3] =
            "3 0x005F overcurrent overvoltage undervoltage phase-loss encoder following-error";
        words[4] = "4 0xFF20"; // bit 5 and the high byte carry no fault
        QCOMPARE(faults.out, linesOf(words));

        faults = qzcli(variant, {"faults", "--clear", "current"});
        QCOMPARE(faults.exitCode, 0);
        words[0] = "0 0x0000";
        QCOMPARE(faults.out, linesOf(words));

        faults = qzcli(variant, {"faults", "--clear", "history"});
        QCOMPARE(faults.exitCode, 0);
        QCOMPARE(faults.out, linesOf(kZeroWords));

        for (int address : settings) {
            const Run read = qzcli(variant, {"read", QString::number(address)});
            QCOMPARE(read.out, QStringLiteral("%1 %2 %2\n").arg(address).arg(1000 + address));
        }
    }

    void silentDrive_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("message");
        QTest::newRow("x7") << "x7"
                            << "communication error: the drive did not answer correctly; check "
                               "the connection\n";
        QTest::newRow("qz318") << "qz318"
                               << "Communication Error: Communication Error. Please check the "
                                  "RS232 cable connection and restart Kirotune.\n";
    }
    void silentDrive() {
        QFETCH(QString, variant);
        QFETCH(QString, message);
        QVERIFY(startDrive({"--variant", variant, "--fault", "silent"}));
        for (const QStringList& args : {QStringList{"faults"}, {"faults", "--clear", "history"}}) {
            const Run faults = qzcli(variant, args);
            QCOMPARE(faults.exitCode, 1);
            QCOMPARE(faults.out, QString());
            QCOMPARE(faults.err, message);
        }
    }

    void badArguments_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        const QString cli = QStringLiteral(KIROTUNE_QZCLI_PATH);
        const QString sim = QStringLiteral(KIROTUNE_SIM_PATH);
        const QStringList on{"--variant", "x7", "--port", "COM1"};
        QTest::newRow("clear without what") << cli << on + QStringList{"faults", "--clear"};
        QTest::newRow("clear of something else")
            << cli << on + QStringList{"faults", "--clear", "all"};
        QTest::newRow("a word after faults") << cli << on + QStringList{"faults", "now"};
        QTest::newRow("drive: word too large") << sim << on + QStringList{"--faults", "0x10000"};
        QTest::newRow("drive: eleven words")
            << sim << on + QStringList{"--faults", "1,2,3,4,5,6,7,8,9,10,11"};
        QTest::newRow("drive: not a number") << sim << on + QStringList{"--faults", "9,x"};
    }
    void badArguments() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const Run bad = run(program, args);
        QCOMPARE(bad.exitCode, 2);
        QVERIFY2(bad.err.contains(QStringLiteral("usage:")), qPrintable(bad.err));
        QCOMPARE(bad.out, QString());
    }
};

KIRO_TEST_MAIN_WITH_PRIVATE_CONFIG(FaultsCliTest)
#include "tst_faultscli.moc"
