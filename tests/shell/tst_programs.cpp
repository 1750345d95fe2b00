// Both tuner programs start as a user starts them, under the offscreen platform and, where an X
// server program is installed, on a real X display, and say nothing about missing files. And the
// tuner opens its link to the simulated drive program on COM1 through a real pseudo-terminal, as a
// new user does first; with --trace, the frames of that exchange are appended to a file.

#include "apps/qztune/TraceStopNotice.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"
#include "link/TracingSerialPort.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "tests/support/DriveProcess.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/PromptRecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
constexpr int kRunMs = 2000;

// What Qt and the programs print when a file they want is not there.
const QRegularExpression kMissingFile(
    QStringLiteral("no such file|no file name|cannot (open|load|find|read)|"
                   "could not (open|load|find|read)|failed to (open|load)|not found|missing"),
    QRegularExpression::CaseInsensitiveOption);

// An X server of our own on a free display, for as long as the test needs it.
class XServer {
public:
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        server_.setProgram(program);
        // -displayfd lets the server choose a free display and tell us its number.
        server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                              QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        server_.start();
        if (!server_.waitForStarted(5000))
            return false;
        QByteArray number;
        while (!number.contains('\n') && server_.waitForReadyRead(10000))
            number += server_.readAllStandardOutput();
        display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        return number.trimmed().size() > 0;
    }
    ~XServer() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            server_.waitForFinished(5000);
        }
    }
    const QString& display() const { return display_; }

private:
    QProcess server_;
    QString display_;
};

// What really went over the port: each frame written and each block read, as "> 01 03 ...".
class WireLog : public kiro::ForwardingSerialPort {
public:
    using ForwardingSerialPort::ForwardingSerialPort;
    bool readAll(QByteArray& bytes) override {
        const bool ok = port_.readAll(bytes);
        if (ok && !bytes.isEmpty())
            entries.append(QStringLiteral("< ") + QString::fromLatin1(bytes.toHex(' ').toUpper()));
        return ok;
    }
    bool write(const QByteArray& bytes) override {
        entries.append(QStringLiteral("> ") + QString::fromLatin1(bytes.toHex(' ').toUpper()));
        return port_.write(bytes);
    }
    QStringList entries;
};

// The lines of a trace: "      12 ms > 01 03 00 00 00 01 84 0A".
const QRegularExpression
    kTraceLine(QStringLiteral("^([ 0-9]{7}[0-9]) ms ([<>] [0-9A-F]{2}(?: [0-9A-F]{2})*)$"));

// "通讯配置", then "打开端口", and the link test run to its end.
void openThePort(kiro::MainWindow& window, kiro::ShellState& state) {
    window.findChild<QAction*>(QStringLiteral("comConfiguration"))->trigger();
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("openPort"));
    QVERIFY(button);
    button->click();
    QTRY_VERIFY(state.work().idle());
}
} // namespace

class ProgramsTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithoutComplaint_data();
    void startsWithoutComplaint();
    void opensTheLinkToTheDriveProgram_data();
    void opensTheLinkToTheDriveProgram();
    void commandLine_data();
    void commandLine();
    void traceRecordsTheSession_data();
    void traceRecordsTheSession();
    void traceThatStopsIsToldOnce();
};

void ProgramsTest::startsWithoutComplaint_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("onX");
    for (const char* program : {KIROTUNE_TUNER_X7, KIROTUNE_TUNER_QZ318}) {
        const QString name = QFileInfo(QString::fromUtf8(program)).fileName();
        QTest::addRow("%s offscreen", qPrintable(name)) << program << false;
        QTest::addRow("%s on X", qPrintable(name)) << program << true;
    }
}

void ProgramsTest::startsWithoutComplaint() {
    QFETCH(QString, program);
    QFETCH(bool, onX);

    QTemporaryDir runtime; // keeps Qt from remarking on a missing runtime folder
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    XServer x;
    if (onX) {
        if (!x.start())
            QSKIP("no X server program (Xvfb) on this machine");
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), x.display());
    } else {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    QProcess tuner;
    tuner.setProcessEnvironment(environment);
    tuner.setProcessChannelMode(QProcess::MergedChannels);
    tuner.start(program, {});
    QVERIFY2(tuner.waitForStarted(5000), qPrintable(tuner.errorString()));
    QVERIFY2(!tuner.waitForFinished(kRunMs),
             qPrintable(QStringLiteral("ended early: ") + tuner.readAll()));
    tuner.terminate();
    if (!tuner.waitForFinished(5000)) {
        tuner.kill();
        tuner.waitForFinished(5000);
    }
    const QString output = QString::fromLocal8Bit(tuner.readAll());
    QVERIFY2(!kMissingFile.match(output).hasMatch(), qPrintable(output));
}

void ProgramsTest::opensTheLinkToTheDriveProgram_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

void ProgramsTest::opensTheLinkToTheDriveProgram() {
    QFETCH(QString, variant);
    // The drive program publishes COM1 in the port map under this configuration folder, and the
    // tuner looks it up there: the user's own map stays untouched.
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });

    DriveProcess drive(QStringLiteral(KIROTUNE_SIM));
    drive.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QVERIFY2(drive.start({"--variant", variant}), "the drive program did not publish its port");

    const kiro::Variant& table = *kiro::Variant::byName(variant);
    kiro::QtSerialPort port;
    kiro::EventPumpClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::DriveLink link(port, clock, prompts, *table.link);
    kiro::ShellState state(link, prompts, table);
    kiro::MainWindow window(state);
    window.show();

    openThePort(window, state);
    QVERIFY2(prompts.prompts.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
    QVERIFY(port.isOpen());
    QCOMPARE(link.ReadValues().size(), 1); // a whole, correct reply came back
    if (auto* button = window.findChild<QAbstractButton*>(QStringLiteral("Toolbar1_3")))
        QVERIFY(button->isEnabled());
    QVERIFY(window.close());
    QVERIFY(!port.isOpen());
}

void ProgramsTest::commandLine_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    for (const char* program : {KIROTUNE_TUNER_X7, KIROTUNE_TUNER_QZ318}) {
        const QString name = QFileInfo(QString::fromUtf8(program)).fileName();
        QTest::addRow("%s --help", qPrintable(name))
            << program << QStringList{"--help"} << 0 << "--trace <FILE>";
        QTest::addRow("%s unwritable trace", qPrintable(name))
            << program << QStringList{"--trace", QDir::tempPath()} << 2
            << "cannot write the trace to " + QDir::tempPath();
        QTest::addRow("%s trace without file", qPrintable(name))
            << program << QStringList{"--trace"} << 2 << "usage:";
        QTest::addRow("%s unknown option", qPrintable(name))
            << program << QStringList{"--trace-file", "x"} << 2 << "usage:";
    }
    // The probe has no options of its own, and refuses others as the tuners do.
    QTest::newRow("RegProbe unknown option")
        << KIROTUNE_REGPROBE << QStringList{"--bogus"} << 2 << "usage:";
    QTest::newRow("RegProbe argument")
        << KIROTUNE_REGPROBE << QStringList{"COM1"} << 2 << "unexpected 'COM1'";
}

// --help lists the trace; a trace that cannot be written stops the tuner before it shows a
// window, rather than leaving the user without the record they asked for.
void ProgramsTest::commandLine() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QProcess tuner;
    tuner.setProcessChannelMode(QProcess::MergedChannels);
    tuner.start(program, args);
    QVERIFY(tuner.waitForFinished(10000));
    const QString output = QString::fromLocal8Bit(tuner.readAll());
    QCOMPARE(tuner.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tuner.exitCode(), exitCode);
    QVERIFY2(output.contains(said), qPrintable(output));
}

void ProgramsTest::traceRecordsTheSession_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("reply"); // to the link test's read of register 0
    QTest::newRow("qztune-x7") << "x7"
                               << "< 01 03 00 02 03 E8 E4 B4";
    QTest::newRow("QZ318") << "qz318"
                           << "< 01 03 02 03 84 B8 D7";
}

// The tuner's port with --trace, against the drive program: the file keeps what it held, and gets
// one line per frame sent and block received, exactly the bytes on the wire, timed from the
// opening of the port.
void ProgramsTest::traceRecordsTheSession() {
    QFETCH(QString, variant);
    QFETCH(QString, reply);
    QTemporaryDir folder;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });
    DriveProcess drive(QStringLiteral(KIROTUNE_SIM));
    drive.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QVERIFY2(drive.start({"--variant", variant}), "the drive program did not publish its port");

    const QString traceFile = folder.filePath(QStringLiteral("session.trace"));
    QFile earlier(traceFile);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("an earlier session\n") > 0);
    earlier.close();

    const kiro::Variant& table = *kiro::Variant::byName(variant);
    kiro::QtSerialPort port;
    WireLog wire(port);
    QString error;
    const std::unique_ptr<kiro::TracingSerialPort> trace =
        kiro::TracingSerialPort::appendingTo(wire, traceFile, error);
    QVERIFY2(trace, qPrintable(error));
    kiro::EventPumpClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::DriveLink link(*trace, clock, prompts, *table.link);
    kiro::ShellState state(link, prompts, table);
    kiro::MainWindow window(state);
    window.show();

    constexpr int kBeforeOpeningMs = 1000; // the clock is not to run from here
    QTest::qWait(kBeforeOpeningMs);
    openThePort(window, state);
    QVERIFY2(prompts.prompts.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
    QVERIFY(port.isOpen());

    // Read while the port is still open: every line is in the file as soon as it happened.
    QFile file(traceFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString()); // every line ends
    QCOMPARE(lines.takeFirst(), QStringLiteral("an earlier session"));
    QStringList frames;
    QString received;
    qint64 previousMs = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = kTraceLine.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        const qint64 ms = match.captured(1).trimmed().toLongLong();
        QVERIFY2(ms >= previousMs && ms < kBeforeOpeningMs, qPrintable(line));
        previousMs = ms;
        frames.append(match.captured(2));
        if (frames.last().startsWith(QLatin1Char('<')))
            received += frames.last().mid(1);
    }
    QCOMPARE(frames, wire.entries);
    QCOMPARE(frames.first(), QStringLiteral("> 01 03 00 00 00 01 84 0A"));
    QCOMPARE(QStringLiteral("<") + received, reply);
    QVERIFY(window.close());
}

// A trace file that stops taking lines in the middle of a session (a full disk): the record ends
// with a whole line, the user is told once in a message box after the drive work, and the link
// goes on working.
void ProgramsTest::traceThatStopsIsToldOnce() {
    QTemporaryDir folder;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });
    DriveProcess drive(QStringLiteral(KIROTUNE_SIM));
    drive.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QVERIFY2(drive.start({"--variant", "x7"}), "the drive program did not publish its port");

    const QString traceFile = folder.filePath(QStringLiteral("session.trace"));
    // Larger than the port's lock file, which must still fit under the limit below.
    const QByteArray earlier = QByteArray(400, '#') + '\n';
    QFile file(traceFile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();

    const kiro::Variant& table = *kiro::Variant::byName(QStringLiteral("x7"));
    kiro::QtSerialPort port;
    QString error;
    const std::unique_ptr<kiro::TracingSerialPort> trace =
        kiro::TracingSerialPort::appendingTo(port, traceFile, error);
    QVERIFY2(trace, qPrintable(error));
    kiro::EventPumpClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::DriveLink link(*trace, clock, prompts, *table.link);
    TellWhenTraceStops(*trace, link, prompts, traceFile, QStringLiteral("qztune-x7"));
    kiro::ShellState state(link, prompts, table);
    kiro::MainWindow window(state);
    window.show();
    {
        // Room for the first line of the trace, not for the second.
        kiro::test::FileSizeLimit diskFull(earlier.size() + 50);
        QVERIFY(diskFull.ok());
        openThePort(window, state);
    }
    QTRY_COMPARE(prompts.prompts.size(), 1);
    QVERIFY2(prompts.texts().first().startsWith(
                 QStringLiteral("The trace has stopped: %1 takes no more lines (").arg(traceFile)),
             qPrintable(prompts.texts().first()));
    QVERIFY(port.isOpen());
    QCOMPARE(link.ReadValues().size(), 1); // the link test itself went through

    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    QVERIFY(kept.startsWith(earlier));
    QVERIFY(kept.endsWith('\n'));
    QCOMPARE(kept.count('\n'), 2); // the earlier session and the request
    QVERIFY(window.close());
    QCOMPARE(prompts.prompts.size(), 1);
}

QTEST_MAIN(ProgramsTest)
#include "tst_programs.moc"
