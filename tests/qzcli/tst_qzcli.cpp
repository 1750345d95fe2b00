// qzcli as a script sees it: its output, its messages and its exit codes, against qzdrive-sim on a
// real pseudo-terminal.

#include "tests/support/DriveProcess.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Unwritable.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

namespace {

using Run = ProgramRun;

// Where qzcli writes its results, for the cases that make that output fail.
enum class Output { DevFull, FullDisk, ReadOnlyFolder };

// The 15 lines of a parameter file in the built-in order, with the given values.
QByteArray parameterFile(const QStringList& lines) {
    QStringEncoder encoder("GBK");
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += encoder.encode(line) + "\r\n";
    return bytes;
}

const QStringList kBuiltInLines{"电流环比例增益P= 1000 ",  "电流环积分增益I= 200 ",
                                "用户设置电流值= 2.5 ",    "细分数= 16 ",
                                "低速振动抑制幅值1= 0 ",   "低速振动抑制相位1= 0 ",
                                "低速振动抑制幅值2= 0 ",   "低速振动抑制相位2= 0 ",
                                "低速振动抑制幅值3= 128 ", "低速振动抑制相位3= 128 ",
                                "空闲电流幅度= 50 ",       "空闲电流时间= 2000 ",
                                "输入脉冲滤波使能= 0 ",    "中速振动抑制系数= 1000 ",
                                "脉冲输入模式选择= 0 "};

// The 15 parameter registers, in file order.
const QList<int> kParameterRegisters{0, 1, 31, 32, 64, 65, 68, 69, 72, 73, 78, 79, 80, 153, 255};

} // namespace

class QzcliTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};
    DriveProcess qz318Drive_{QStringLiteral(KIROTUNE_SIM_PATH), QStringLiteral("COM2")};

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
    static QStringList onQz318() { return {"--variant", "qz318", "--port", "COM2"}; }

    // The unsigned value of each register, as qzcli reads it.
    QList<int> registers(const QStringList& drive, const QList<int>& addresses) {
        QList<int> values;
        for (int address : addresses) {
            const Run run = qzcli(drive + QStringList{"read", QString::number(address)});
            values << (run.exitCode == 0 ? run.out.section(QLatin1Char(' '), 1, 1).toInt() : -1);
        }
        return values;
    }

    void write(const QStringList& drive, int address, int value) {
        const Run run =
            qzcli(drive + QStringList{"write", QString::number(address), QString::number(value)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        startDrive();
        QVERIFY(qz318Drive_.start({"--variant", "qz318"}));
    }
    void cleanupTestCase() {
        stopDrive();
        qz318Drive_.stop();
    }

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

    // A script's author reads the exit codes in one of three places; all three say the same.
    void exitCodesAgreeEverywhere() {
        const Run help = qzcli({"--help"});
        const QString table = help.err.mid(help.err.indexOf(QStringLiteral("Exit codes:\n")));
        QFile readme(QStringLiteral(KIROTUNE_SOURCE_DIR "/README.md"));
        QFile manual(QStringLiteral(KIROTUNE_SOURCE_DIR "/packaging/man/qzcli.1"));
        QVERIFY(readme.open(QIODevice::ReadOnly) && manual.open(QIODevice::ReadOnly));
        const QString readmeText = QString::fromUtf8(readme.readAll());
        // The manual's entries as plain text: ".TP", ".B code", then the meaning on its lines.
        QString manualText = QString::fromUtf8(manual.readAll());
        manualText.replace(QLatin1String("\\-"), QLatin1String("-"));
        manualText.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QRegularExpression entry(QStringLiteral("^  (\\S+) +(.*)$"));
        int codes = 0;
        QString code, meaning;
        const auto check = [&] {
            if (code.isEmpty())
                return;
            ++codes;
            QVERIFY2(readmeText.contains(QStringLiteral("| %1 | %2 |").arg(code, meaning)),
                     qPrintable(code + QLatin1Char(' ') + meaning));
            QVERIFY2(manualText.contains(QStringLiteral(".TP .B %1 %2.").arg(code, meaning)),
                     qPrintable(code + QLatin1Char(' ') + meaning));
        };
        for (const QString& line : table.split(QLatin1Char('\n')).mid(1)) {
            const QRegularExpressionMatch match = entry.match(line);
            if (line.startsWith(QLatin1String("        "))) {
                meaning += QLatin1Char(' ') + line.trimmed();
            } else if (match.hasMatch()) {
                check();
                code = match.captured(1);
                meaning = match.captured(2);
            }
        }
        check();
        QCOMPARE(codes, 7);
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
        QTest::newRow("reply margin past a second")
            << on() + QStringList{"--reply-margin", "1001", "read", "0"};
        QTest::newRow("--force for params save") << QStringList{
            "--variant", "qz318", "--port", "COM2", "params", "save", "--force", "f"};
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
        QCOMPARE(run.err, QStringLiteral("communication error: the drive did not answer "
                                         "correctly; check the connection\n"));
    }

    // However a step or a sweep ends, the drive is out of the test mode and a sweep's gains and
    // step current are back; the exit code tells a script which signal ended it.
    void signalsLeaveTheDriveSafe_data() {
        QTest::addColumn<QStringList>("step");
        QTest::addColumn<QString>("when"); // the progress line after which the signals go
        QTest::addColumn<int>("signal");   // 0: the output is closed instead
        QTest::addColumn<int>("times");
        const QStringList single{"step", "0.5"};
        const QStringList sweep{"step", "0.5", "--kp", "1000,2000", "--ki", "100,300", "--metrics"};
        QTest::newRow("step, Ctrl+C") << single << "step test" << SIGINT << 1;
        QTest::newRow("step, Ctrl+C twice") << single << "step test" << SIGINT << 2;
        QTest::newRow("step, SIGTERM") << single << "step test" << SIGTERM << 1;
        QTest::newRow("step, SIGHUP") << single << "step test" << SIGHUP << 1;
        QTest::newRow("step, closed pipe") << single << "step test" << 0 << 0;
        QTest::newRow("sweep, Ctrl+C early") << sweep << "(1/4)" << SIGINT << 1;
        QTest::newRow("sweep, Ctrl+C mid-sweep") << sweep << "(2/4)" << SIGINT << 1;
        QTest::newRow("sweep, Ctrl+C in the last pair") << sweep << "(4/4)" << SIGINT << 1;
        QTest::newRow("sweep, Ctrl+C twice") << sweep << "(2/4)" << SIGINT << 2;
        QTest::newRow("sweep, SIGTERM") << sweep << "(2/4)" << SIGTERM << 1;
        QTest::newRow("sweep, SIGHUP") << sweep << "(3/4)" << SIGHUP << 1;
        QTest::newRow("sweep, closed pipe") << sweep << "(1/4)" << 0 << 0;
    }
    void signalsLeaveTheDriveSafe() {
        QFETCH(QStringList, step);
        QFETCH(QString, when);
        QFETCH(int, signal);
        QFETCH(int, times);
        const QList<int> before{1234, 321, 1536}; // Kp, Ki, step current 1.5 A
        write(on(), 0, before[0]);
        write(on(), 1, before[1]);
        write(on(), 4, before[2]);

        QProcess process;
        if (signal == 0) {
            // As `qzcli ... | head -1` once head has gone: the pipe has no reader any more. The
            // shell passes on qzcli's exit code.
            process.start(QStringLiteral("bash"),
                          QStringList{"-c", "\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}",
                                      KIROTUNE_QZCLI_PATH} +
                              on() + step);
        } else {
            process.start(QStringLiteral(KIROTUNE_QZCLI_PATH), on() + step);
        }
        QVERIFY(process.waitForStarted());
        QString err;
        QVERIFY(QTest::qWaitFor(
            [&] {
                err += QString::fromUtf8(process.readAllStandardError());
                return err.contains(when) || process.state() == QProcess::NotRunning;
            },
            30000));
        for (int k = 0; k < times; ++k) {
            ::kill(pid_t(process.processId()), signal);
            QTest::qWait(20);
        }
        QVERIFY(process.waitForFinished(30000));
        err += QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + (signal ? signal : SIGPIPE));
        QVERIFY2(err.contains(QStringLiteral("stopped by")), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("the drive has left the test mode")), qPrintable(err));
        QCOMPARE(registers(on(), {2}), QList<int>{0});
        if (step.contains(QStringLiteral("--kp")))
            QCOMPARE(registers(on(), {0, 1, 4}), before);
    }

    // A finished sweep also gives the drive back what it held, unless asked to keep the last pair.
    void sweepPutsTheGainsBack() {
        write(on(), 0, 1234);
        write(on(), 1, 321);
        write(on(), 4, 1536);
        const QStringList sweep{"step", "0.5", "--kp", "1000", "--ki", "100,300", "--metrics"};
        Run run = qzcli(on() + sweep);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(registers(on(), {0, 1, 2, 4}), (QList<int>{1234, 321, 0, 1536}));
        run = qzcli(on() + sweep + QStringList{"--keep-gains"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(registers(on(), {0, 1, 2, 4}), (QList<int>{1000, 300, 0, 512}));
    }

    // A current below one step of the drive would run a step of 0 A and report it as a step.
    void stepCurrentBelowTheResolution() {
        const Run run = qzcli(on() + QStringList{"step", "0.0004"});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("1/1024 A")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void optionsStandAnywhere() {
        const Run run = qzcli({"read", "31", "--port", "COM1", "--variant=x7"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("31 ")));
        const Run traceWithFile =
            qzcli(QStringList{"--trace", "t.log"} + on() + QStringList{"read", "0"});
        QCOMPARE(traceWithFile.exitCode, 2);
        QVERIFY2(traceWithFile.err.contains(QStringLiteral("--trace takes no file")),
                 qPrintable(traceWithFile.err));
    }

    // An adapter that delivers replies late: the margin lets them count, and the trace says which.
    void replyMarginForSlowAdapters() {
        startDrive({"--fault", "late", "--delay", "60"});
        const Run strict = qzcli(on() + QStringList{"read", "31"});
        const Run patient =
            qzcli(on() + QStringList{"--trace", "--reply-margin", "100", "read", "31"});
        startDrive();
        QCOMPARE(strict.exitCode, 1);
        QCOMPARE(patient.exitCode, 0);
        QVERIFY(patient.out.startsWith(QStringLiteral("31 ")));
        QVERIFY2(patient.err.contains(QRegularExpression(QStringLiteral(" ms < 01 03 .*  late\n"))),
                 qPrintable(patient.err));
    }

    // Every output is checked: a failed write is an error with a message, never a success, and
    // a file that was there stays as it was.
    void failedOutputIsAnError_data() {
        QTest::addColumn<bool>("qz318");
        QTest::addColumn<QStringList>("command"); // FILE stands for the file written
        QTest::addColumn<int>("where");           // Output
        QTest::addColumn<bool>("toFile");         // FILE, or standard output
        for (const auto& [name, where] :
             {std::pair{"/dev/full", Output::DevFull}, std::pair{"full disk", Output::FullDisk},
              std::pair{"read-only folder", Output::ReadOnlyFolder}}) {
            QTest::addRow("archive save %s", name)
                << false << QStringList{"archive", "save", "FILE"} << int(where) << true;
            QTest::addRow("params save %s", name)
                << true << QStringList{"params", "save", "FILE"} << int(where) << true;
        }
        // Standard output goes to /dev/full; a full disk and a folder are the files' cases.
        const int devFull = int(Output::DevFull);
        QTest::newRow("read > /dev/full")
            << false << QStringList{"read", "16", "10"} << devFull << false;
        QTest::newRow("step > /dev/full")
            << false << QStringList{"step", "0.5"} << devFull << false;
        QTest::newRow("faults > /dev/full") << false << QStringList{"faults"} << devFull << false;
        QTest::newRow("archive verify > /dev/full")
            << false << QStringList{"archive", "verify", "FILE"} << devFull << false;
        QTest::newRow("params save > /dev/full")
            << true << QStringList{"params", "save", "KEPT"} << devFull << false;
    }
    void failedOutputIsAnError() {
        QFETCH(bool, qz318);
        QFETCH(QStringList, command);
        QFETCH(int, where);
        QFETCH(bool, toFile);
        QTemporaryDir folder;
        const QString kept = folder.filePath(QStringLiteral("kept"));
        {
            // An archive that verify accepts as a file; a file save must leave it as it is.
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("0&1000\r\n") > 0);
        }
        QString target = kept;
        if (where == int(Output::DevFull))
            target = QStringLiteral("/dev/full");
        // Standard output fails while the file is written: a file saved beside it is new.
        command.replaceInStrings(QStringLiteral("KEPT"), folder.filePath(QStringLiteral("new")));
        command.replaceInStrings(QStringLiteral("FILE"), toFile ? target : kept);
        QProcess process;
        if (!toFile)
            process.setStandardOutputFile(target);
        std::optional<kiro::test::FileSizeLimit> full;
        std::optional<kiro::test::Unwritable> readOnly;
        if (where == int(Output::FullDisk)) {
            // Room for the port's lock file, not for an archive or a parameter file.
            full.emplace(100 + QSysInfo::machineHostName().size());
            QVERIFY(full->ok());
        } else if (where == int(Output::ReadOnlyFolder)) {
            readOnly.emplace(folder.path());
            if (!readOnly->ok())
                QSKIP("this file system lets the test write into a read-only folder");
        }
        process.start(QStringLiteral(KIROTUNE_QZCLI_PATH), (qz318 ? onQz318() : on()) + command);
        full.reset(); // the limit is the program's, from its start
        QVERIFY(process.waitForFinished(30000));
        readOnly.reset();
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        if (where == int(Output::FullDisk) && process.exitCode() == 3)
            QSKIP("the size limit leaves no room for the port's lock file on this host");
        QCOMPARE(process.exitCode(), 2);
        QVERIFY2(err.contains(QStringLiteral("qzcli: ")), qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("saved to")), qPrintable(err));
        QVERIFY(!QFileInfo(QStringLiteral("/dev/full")).isFile()); // the device is still there
        QFile file(kept);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("0&1000\r\n"));
    }

    // A script has no table to look at before it writes a file: lines out of their place or
    // values out of range refuse the file before a single frame goes out.
    void suspectParameterFiles_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("current"); // register 31 afterwards
        QStringList swapped = kBuiltInLines;
        swapped.swapItemsAt(2, 3);
        QStringList renamed = kBuiltInLines;
        renamed[4] = QStringLiteral("幅值1= 0 ");
        QStringList tooHigh = kBuiltInLines;
        tooHigh[2] = QStringLiteral("用户设置电流值= 16 ");
        const QString load = QStringLiteral("load");
        QTest::newRow("swapped lines")
            << swapped << QStringList{load} << 2 << "line 3 is named \"细分数\"" << 1024;
        QTest::newRow("swapped lines, --by-position")
            << swapped << QStringList{load, "--by-position"} << 2 << "line 3: 16 is outside"
            << 1024;
        QTest::newRow("swapped lines, --by-position --force")
            << swapped << QStringList{load, "--by-position", "--force"} << 0 << "" << 16384;
        QTest::newRow("renamed line")
            << renamed << QStringList{load} << 2 << "line 5 is named" << 1024;
        QTest::newRow("renamed line, --by-position")
            << renamed << QStringList{load, "--by-position"} << 0 << "" << 2560;
        QTest::newRow("out of range")
            << tooHigh << QStringList{load} << 2 << "line 3: 16 is outside the valid range" << 1024;
        QTest::newRow("out of range, --force")
            << tooHigh << QStringList{load, "--force"} << 0 << "" << 16384;
        QTest::newRow("verify, swapped lines")
            << swapped << QStringList{"verify"} << 2 << "line 3 is named" << 1024;
    }
    void suspectParameterFiles() {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, flags);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(int, current);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bench.kvx"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(parameterFile(lines)) > 0);
        file.close();
        write(onQz318(), 31, 1024);

        const Run run =
            qzcli(onQz318() + QStringList{"--trace", "params"} + flags + QStringList{path});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        if (exitCode != 0)
            QVERIFY2(!run.err.contains(QStringLiteral(" ms > ")), qPrintable(run.err));
        QCOMPARE(registers(onQz318(), {31}), QList<int>{current});
    }

    // What params save writes loads and verifies against the drive it came from; what a file
    // cannot carry is named when it is saved, and verify says which side is rounded.
    void savedParametersComeBack_data() {
        QTest::addColumn<int>("value"); // in every parameter register
        QTest::addColumn<int>("firstVerify");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1281") << 1281 << 0;
        QTest::newRow("65535") << 65535 << 4;
    }
    void savedParametersComeBack() {
        QFETCH(int, value);
        QFETCH(int, firstVerify);
        for (int address : kParameterRegisters)
            write(onQz318(), address, value);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("drive.kvx"));

        Run run = qzcli(onQz318() + QStringList{"params", "save", path});
        QCOMPARE(run.exitCode, 0);
        if (firstVerify != 0)
            QVERIFY2(run.err.contains(QStringLiteral("register 31 holds 65535")),
                     qPrintable(run.err));
        run = qzcli(onQz318() + QStringList{"params", "verify", "--force", path});
        QCOMPARE(run.exitCode, firstVerify);
        if (firstVerify != 0) {
            QVERIFY2(run.err.contains(QStringLiteral("register 31: the file side is rounded")),
                     qPrintable(run.err));
            QCOMPARE(run.out.count(QLatin1Char('\n')), 2); // the header and register 31
        }
        run = qzcli(onQz318() + QStringList{"params", "load", "--force", path});
        QCOMPARE(run.exitCode, 0);
        run = qzcli(onQz318() + QStringList{"params", "verify", "--force", path});
        QCOMPARE(run.exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(QzcliTest)
#include "tst_qzcli.moc"
