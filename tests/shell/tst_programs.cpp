// Both tuner programs start as a user starts them, under the offscreen platform and, where an X
// server program is installed, on a real X display, and say nothing about missing files. And the
// tuner opens its link to the simulated drive program on COM1 through a real pseudo-terminal, as a
// new user does first.

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "tests/support/DriveProcess.h"
#include "tests/support/PromptRecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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
} // namespace

class ProgramsTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithoutComplaint_data();
    void startsWithoutComplaint();
    void opensTheLinkToTheDriveProgram_data();
    void opensTheLinkToTheDriveProgram();
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

    window.findChild<QAction*>(QStringLiteral("comConfiguration"))->trigger();
    window.findChild<QAbstractButton*>(QStringLiteral("openPort"))->click();
    QVERIFY2(prompts.prompts.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
    QVERIFY(port.isOpen());
    QCOMPARE(link.ReadValues().size(), 1); // a whole, correct reply came back
    if (auto* button = window.findChild<QAbstractButton*>(QStringLiteral("Toolbar1_3")))
        QVERIFY(button->isEnabled());
    QVERIFY(window.close());
    QVERIFY(!port.isOpen());
}

QTEST_MAIN(ProgramsTest)
#include "tst_programs.moc"
