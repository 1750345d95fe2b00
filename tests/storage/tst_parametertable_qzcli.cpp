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

    void loadRefusesABadFileBeforeSending() {
        startDrive("qz318");
        QStringList values = kiro::test::sampleValues();
        values[3] = " 70000 ";
        const QString file = files_.filePath("bad.kvx");
        QVERIFY(writeFile(file, kiro::test::kvxBytes(kiro::test::kvxLines(values))));
        const Run run = qzcli("qz318", {"params", "load", file});
        QCOMPARE(run.exitCode, 2);
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
