// "qzcli step" as a bench script runs it: against qzdrive-sim on a real pseudo-terminal, its CSV on
// standard output, its messages and exit codes, and what it leaves in the drive. Gain sweeps run
// their pairs in order and name them; the figures follow the drive's response to the gains.

#include "tests/support/DriveProcess.h"
#include "tests/support/Unwritable.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using Run = ProgramRun;

const QString kMetricsHeader =
    QStringLiteral("kp,ki,final_amperes,steady_state_error_amperes,rise_samples,overshoot_percent,"
                   "settling_samples");

// One line of step --metrics, by column.
struct Figures {
    int kp = -1;
    int ki = -1;
    QStringList fields; // all seven, as printed
    double field(int column) const { return fields[column].toDouble(); }
};

QList<Figures> figuresOf(const QString& out) {
    QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty() || lines.takeFirst() != kMetricsHeader)
        return {};
    QList<Figures> rows;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 7)
            return {};
        rows.append({fields[0].toInt(), fields[1].toInt(), fields});
    }
    return rows;
}

QList<QPair<int, int>> gainsOf(const QList<Figures>& rows) {
    QList<QPair<int, int>> gains;
    for (const Figures& row : rows)
        gains.append({row.kp, row.ki});
    return gains;
}

} // namespace

class StepCommandTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir data_; // where qzcli keeps its step history
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    QString historyFolder() const { return data_.filePath(QStringLiteral("qzcli/steps")); }
    QStringList historyFiles() const {
        return QDir(historyFolder()).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    }

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
        QVERIFY(config_.isValid() && data_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());
    }
    void init() { QDir(historyFolder()).removeRecursively(); }
    void cleanupTestCase() { stopDrive(); }

    void stepPrintsTheRecord_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("x7") << "x7";
        QTest::newRow("qz318") << "qz318";
    }
    void stepPrintsTheRecord() {
        QFETCH(QString, variant);
        startDrive(variant);
        const Run run = qzcli(variant, {"step", "1.5", "--kp", "3000", "--ki", "0x384"});
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
        QCOMPARE(registerOf(variant, 1), 900);
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

    // Kp outer, Ki inner: the bench reads the lines in the order of its lists. The figures are
    // those of the drive's PI loop: at Kp 1000 more Ki rises sooner and overshoots more; at Ki 900
    // more Kp damps the overshoot.
    void sweepRunsEveryPairInOrder() {
        startDrive(QStringLiteral("x7"));
        const Run run =
            qzcli("x7", {"step", "1", "--kp", "1000,3000", "--ki", "100,300,900", "--metrics"});
        QCOMPARE(run.exitCode, 0);
        const QList<Figures> rows = figuresOf(run.out);
        QVERIFY2(!rows.isEmpty(), qPrintable(run.out));
        const QList<QPair<int, int>> order{{1000, 100}, {1000, 300}, {1000, 900},
                                           {3000, 100}, {3000, 300}, {3000, 900}};
        QCOMPARE(gainsOf(rows), order);
        for (const Figures& row : rows) {
            const QString line = row.fields.join(QLatin1Char(','));
            QVERIFY2(std::abs(row.field(2) - 1) < 0.1, qPrintable(line)); // a weak Ki lags
            QVERIFY2(std::abs(row.field(2) + row.field(3) - 1) < 0.0002, qPrintable(line));
            for (int column = 2; column < 7; ++column)
                QVERIFY2(!row.fields[column].isEmpty(), qPrintable(line));
        }
        QVERIFY(rows[0].field(4) > rows[2].field(4));
        QVERIFY(rows[2].field(5) > rows[1].field(5) + 5);
        QVERIFY(rows[2].field(5) > rows[5].field(5) + 5);

        // The sweep was the bench's experiment: the drive has its own gains and step current back.
        QCOMPARE(registerOf("x7", 0), 1000);
        QCOMPARE(registerOf("x7", 1), 300);
        QCOMPARE(registerOf("x7", 2), 0);
        QCOMPARE(registerOf("x7", 4), 1024);
    }

    // Without --metrics a sweep prints every record, each line led by the pair's gains; a gain
    // that is not given is the drive's own, read from it and left as it is.
    void sweepOfRecordsNamesTheGains() {
        startDrive(QStringLiteral("qz318"));
        QCOMPARE(qzcli("qz318", {"write", "1", "450"}).exitCode, 0);
        const Run run = qzcli("qz318", {"step", "0.5", "--kp", "2000,1000"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 401);
        QCOMPARE(lines.first(), QStringLiteral("kp,ki,sample,amperes"));
        for (int k = 0; k < 400; ++k) {
            const QStringList fields = lines[k + 1].split(QLatin1Char(','));
            QCOMPARE(fields.size(), 4);
            QCOMPARE(fields[0], k < 200 ? QStringLiteral("2000") : QStringLiteral("1000"));
            QCOMPARE(fields[1], QStringLiteral("450"));
            QCOMPARE(fields[2].toInt(), k % 200);
        }
        QCOMPARE(registerOf("qz318", 1), 450);
    }

    // One step with --metrics names the gains too, also those it left as the drive holds them;
    // a step of 0 A has a final value and an error, but no ratio to it.
    void metricsOfOneStep_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("gains");
        QTest::addColumn<bool>("ratios");
        QTest::newRow("drive's gains") << QStringList{"1.5"} << "1234,300" << true;
        QTest::newRow("Kp given") << QStringList{"1.5", "--kp", "2500"} << "2500,300" << true;
        QTest::newRow("0 A") << QStringList{"0", "--ki", "0x12c"} << "1234,300" << false;
    }
    void metricsOfOneStep() {
        QFETCH(QStringList, args);
        QFETCH(QString, gains);
        QFETCH(bool, ratios);
        startDrive(QStringLiteral("x7"));
        QCOMPARE(qzcli("x7", {"write", "0", "1234"}).exitCode, 0);
        const Run run = qzcli("x7", QStringList{"step", "--metrics"} + args);
        QCOMPARE(run.exitCode, 0);
        const QList<Figures> rows = figuresOf(run.out);
        QCOMPARE(rows.size(), 1);
        const QStringList& fields = rows.first().fields;
        QCOMPARE(fields.mid(0, 2).join(QLatin1Char(',')), gains);
        QVERIFY(!fields[2].isEmpty() && !fields[3].isEmpty());
        for (int column = 4; column < 7; ++column)
            QCOMPARE(fields[column].isEmpty(), !ratios);
        QCOMPARE(registerOf("x7", 2), 0);
    }

    // Ctrl+C during a sweep: the running step ends, its line is printed, the drive leaves the
    // test mode, and the exit code tells a script that pairs were left out.
    void interruptEndsTheTestMode() {
        startDrive(QStringLiteral("x7"));
        QProcess process;
        process.start(QStringLiteral(KIROTUNE_QZCLI_PATH),
                      {"--variant", "x7", "--port", "COM1", "step", "1", "--kp",
                       "1000,2000,3000,4000", "--metrics"});
        QVERIFY(process.waitForStarted());
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                process.waitForReadyRead(100);
                out += process.readAllStandardOutput();
                return out.count('\n') >= 2; // the header and the first pair
            },
            30000));
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(30000));
        out += process.readAllStandardOutput();
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        const QList<Figures> rows = figuresOf(QString::fromUtf8(out));
        QVERIFY2(rows.size() >= 1 && rows.size() <= 2, out.constData());
        QVERIFY2(
            err.contains(
                QStringLiteral("stopped by SIGINT (Ctrl+C) after %1 of 4 steps").arg(rows.size())),
            qPrintable(err));
        QCOMPARE(registerOf("x7", 2), 0);
    }

    // Every step is kept in qzcli's data folder as the window keeps its runs: the record of
    // standard output with the gains the drive ran it with (empty where qzcli neither wrote nor
    // read one).
    void everyStepIsKeptInTheHistory_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("endings");
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("gains given") << QStringList{"step", "1.5", "--kp", "3000", "--ki", "300"}
                                     << QStringList{"_x7_kp3000_ki300.csv"}
                                     << QByteArray("# kp=3000\n# ki=300\n# i_test=1.5\n");
        QTest::newRow("gains left to the drive")
            << QStringList{"step", "0"} << QStringList{"_x7.csv"}
            << QByteArray("# kp=\n# ki=\n# i_test=0\n");
        QTest::newRow("sweep with the drive's Ki")
            << QStringList{"step", "1", "--kp", "1000,2000", "--metrics"}
            << QStringList{"_x7_kp1000_ki250.csv", "_x7_kp2000_ki250.csv"}
            << QByteArray("# kp=1000\n# ki=250\n# i_test=1\n");
    }
    void everyStepIsKeptInTheHistory() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, endings);
        QFETCH(QByteArray, head);
        startDrive(QStringLiteral("x7"));
        QCOMPARE(qzcli("x7", {"write", "1", "250"}).exitCode, 0);
        const Run run = qzcli("x7", args);
        QCOMPARE(run.exitCode, 0);
        const QStringList files = historyFiles();
        QCOMPARE(files.size(), endings.size());
        for (int index = 0; index < files.size(); ++index)
            QVERIFY2(files[index].endsWith(endings[index]), qPrintable(files[index]));

        QFile first(QDir(historyFolder()).filePath(files.first()));
        QVERIFY(first.open(QIODevice::ReadOnly));
        const QByteArray kept = first.readAll();
        QVERIFY2(kept.startsWith(head + "# variant=x7\n# time="), kept.left(200).constData());
        if (!args.contains(QStringLiteral("--metrics"))) {
            // The same samples as on standard output, after the comment lines.
            QCOMPARE(QString::fromUtf8(kept.mid(kept.indexOf("sample,amperes\n"))), run.out);
        }
    }

    // A history that cannot be written is told on standard error; the step and its exit code
    // stay as they are.
    void unwritableHistoryLeavesTheStepAlone() {
        startDrive(QStringLiteral("qz318"));
        QVERIFY(QDir().mkpath(historyFolder()));
        kiro::test::Unwritable readOnly(historyFolder());
        if (!readOnly.ok())
            QSKIP("the folder cannot be made read-only here");
        const Run run = qzcli("qz318", {"step", "1", "--kp", "2000"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count(QLatin1Char('\n')), 201);
        QVERIFY2(run.err.contains(QStringLiteral("qzcli: the step is not kept in the history: ")),
                 qPrintable(run.err));
        QCOMPARE(registerOf("qz318", 2), 0);
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
        QTest::newRow("Kp list with an empty item") << QStringList{"step", "1", "--kp", "1000,,2"};
        QTest::newRow("Ki list ending in a comma") << QStringList{"step", "1", "--ki", "100,"};
        QTest::newRow("Kp list with a 0") << QStringList{"step", "1", "--kp", "1000,0"};
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
