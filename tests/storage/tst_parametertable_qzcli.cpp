// qzcli's parameter set commands as a script uses them, against qzdrive-sim on a real
// pseudo-terminal: save, load and reset of the QZ318 parameter table, and the EEPROM commit of
// both drives.

#include "ParameterTableRig.h"
#include "tests/support/DriveProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = ProgramRun;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Registers and the values written to them.
using Writes = QList<QPair<int, int>>;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class ParameterTableQzcliTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH), QStringLiteral("COM4")};

    void startDrive(const QString& variant, const QStringList& extra = {}) {
        QVERIFY(drive_.start(QStringList{"--variant", variant} + extra));
    }

    void stopDrive() { drive_.stop(); }

    Run qzcli(const QString& variant, const QStringList& args) {
        return RunProgram(QStringLiteral(KIROTUNE_QZCLI_PATH),
                          QStringList{"--variant", variant, "--port", drive_.port()} + args);
    }

    int reg(int address) {
        const Run run = qzcli("qz318", {"read", QString::number(address)});
        return run.out.section(QLatin1Char(' '), 1, 1).toInt();
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
    }
    void cleanupTestCase() { stopDrive(); }

    void saveResetAndLoadBack() {
        startDrive("qz318");
        QCOMPARE(qzcli("qz318", {"write", "31", "1280"}).exitCode, 0);
        QCOMPARE(qzcli("qz318", {"write", "32", "16"}).exitCode, 0);
        QCOMPARE(qzcli("qz318", {"write", "255", "6"}).exitCode, 0);

        const QString file = files_.filePath("bench.kvx");
        Run run = qzcli("qz318", {"params", "save", file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("register,name,value\n0,电流环比例增益P,")));
        QVERIFY(run.out.contains(QStringLiteral("\n31,用户设置电流值,1.25\n")));
        QVERIFY(run.err.contains(QStringLiteral("reading register 255 (15 of 15)")));
        const QByteArray bytes = fileBytes(file);
        QCOMPARE(bytes.count("\r\n"), 15);
        QVERIFY(bytes.contains(kiro::test::kvxBytes({QStringLiteral("细分数= 16 ")})));
        QVERIFY(bytes.contains(kiro::test::kvxBytes({QStringLiteral("用户设置电流值= 1.25 ")})));

        run = qzcli("qz318", {"params", "reset"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(reg(31), 1024);
        QCOMPARE(reg(32), 1);
        QCOMPARE(reg(255), 0);

        run = qzcli("qz318", {"params", "load", file});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(reg(31), 1280);
        QCOMPARE(reg(32), 16);
        QCOMPARE(reg(255), 6);
    }

    void verify_data() {
        QTest::addColumn<Writes>("driveWrites");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("differences");
        const QString kp = kiro::BuiltInParamNames()[0];
        QTest::newRow("the drive holds the file") << Writes{} << kp << QString();
        QTest::newRow("one register")
            << Writes{{32, 17}} << kp << QStringLiteral("32,细分数,16,17\n");
        QTest::newRow("the last register")
            << Writes{{255, 7}} << kp << QStringLiteral("255,脉冲输入模式选择,6,7\n");
        // 1.25 A is 1280; one step above reads 1.25 when rounded to two decimals.
        QTest::newRow("the current one step off")
            << Writes{{31, 1281}} << kp << QStringLiteral("31,用户设置电流值,1.25,1.250977\n");
        QTest::newRow("a name with a comma and quotes")
            << Writes{{0, 1300}} << QStringLiteral("增益\"P\",快")
            << QStringLiteral("0,\"增益\"\"P\"\",快\",1200,1300\n");
    }
    void verify() {
        QFETCH(Writes, driveWrites);
        QFETCH(QString, firstName);
        QFETCH(QString, differences);
        startDrive("qz318");
        QStringList lines = kiro::test::kvxLines(kiro::test::sampleValues());
        lines[0] = firstName + QStringLiteral("= 1200 ");
        const QString file = files_.filePath("verify.kvx");
        QVERIFY(writeFile(file, kiro::test::kvxBytes(lines)));
        // A script loads a file whose names are not the built-in ones only when told to.
        const QStringList byPosition = firstName == kiro::BuiltInParamNames()[0]
                                           ? QStringList{}
                                           : QStringList{"--by-position"};
        QCOMPARE(
            qzcli("qz318", QStringList{"params", "load"} + byPosition + QStringList{file}).exitCode,
            0);
        for (const auto& [address, value] : driveWrites)
            QCOMPARE(qzcli("qz318", {"write", QString::number(address), QString::number(value)})
                         .exitCode,
                     0);

        const Run run =
            qzcli("qz318", QStringList{"params", "verify"} + byPosition + QStringList{file});
        QCOMPARE(run.exitCode, differences.isEmpty() ? 0 : 4);
        QCOMPARE(run.out, QStringLiteral("register,name,file,drive\n") + differences);
        QVERIFY2(run.err.contains(QStringLiteral("reading register 255 (15 of 15)")),
                 qPrintable(run.err));
    }

    void stuckRegisterShowsAfterLoadVerify() {
        startDrive("qz318", {"--stuck", "32=3200"});
        const QString file = files_.filePath("stuck.kvx");
        QVERIFY(writeFile(file,
                          kiro::test::kvxBytes(kiro::test::kvxLines(kiro::test::sampleValues()))));
        const Run plain = qzcli("qz318", {"params", "load", file});
        const Run verified = qzcli("qz318", {"params", "load", "--verify", file});

        // Every write is acknowledged: without reading back, the load looks complete.
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(plain.out.contains(QStringLiteral("\n32,细分数,16\n")));
        QCOMPARE(verified.exitCode, 4);
        QVERIFY2(verified.err.contains(QStringLiteral("writing register 255 (15 of 15)")),
                 qPrintable(verified.err));
        QCOMPARE(verified.out, QStringLiteral("register,name,file,drive\n32,细分数,16,3200\n"));
        QCOMPARE(reg(32), 3200);
    }

    void verifyOnASilentDrive() {
        startDrive("qz318", {"--fault", "silent"});
        const QString file = files_.filePath("silent.kvx");
        QVERIFY(writeFile(file,
                          kiro::test::kvxBytes(kiro::test::kvxLines(kiro::test::sampleValues()))));
        const Run run = qzcli("qz318", {"params", "verify", file});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("the drive did not answer")), qPrintable(run.err));
    }

    void loadRefusesABadFileBeforeSending_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("load") << QStringList{"params", "load"};
        QTest::newRow("load --verify") << QStringList{"params", "load", "--verify"};
        QTest::newRow("verify") << QStringList{"params", "verify"};
    }
    void loadRefusesABadFileBeforeSending() {
        QFETCH(QStringList, args);
        startDrive("qz318");
        QStringList values = kiro::test::sampleValues();
        values[3] = " 70000 ";
        const QString file = files_.filePath("bad.kvx");
        QVERIFY(writeFile(file, kiro::test::kvxBytes(kiro::test::kvxLines(values))));
        const Run run = qzcli("qz318", args << file);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("line 4")), qPrintable(run.err));
        QCOMPARE(reg(0), 900); // the first line was not written either
    }

    void saveLeavesTheFileAloneWhenTheDriveIsSilent() {
        startDrive("qz318", {"--fault", "silent"});
        const QString file = files_.filePath("kept.kvx");
        QVERIFY(writeFile(file, "what was there"));
        const Run run = qzcli("qz318", {"params", "save", file});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QCOMPARE(fileBytes(file), QByteArray("what was there"));
    }

    void commitOnBothDrives_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("qz318") << "qz318";
        QTest::newRow("x7") << "x7";
    }
    void commitOnBothDrives() {
        QFETCH(QString, variant);
        startDrive(variant);
        const Run run = qzcli(variant, {"commit"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("12 := 1\n"));
        QVERIFY(run.err.isEmpty());
    }

    void wrongArguments_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("params on the x7") << "x7" << QStringList{"params", "reset"};
        QTest::newRow("params without a verb") << "qz318" << QStringList{"params"};
        QTest::newRow("save without a file") << "qz318" << QStringList{"params", "save"};
        QTest::newRow("commit with an argument") << "qz318" << QStringList{"commit", "now"};
        QTest::newRow("verify without a file") << "qz318" << QStringList{"params", "verify"};
        QTest::newRow("--verify with save")
            << "qz318" << QStringList{"params", "save", "--verify", "a.kvx"};
    }
    void wrongArguments() {
        QFETCH(QString, variant);
        QFETCH(QStringList, args);
        const Run run = qzcli(variant, args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("usage:")));
    }
};

QTEST_GUILESS_MAIN(ParameterTableQzcliTest)
#include "tst_parametertable_qzcli.moc"
