// The parameter settings window in a tuner as a new user runs it: the tuner's own serial port on
// the simulated drive program, through a real pseudo-terminal published as COM1. The drive's log
// shows what the window wrote.

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"
#include "params/ParameterWindowInstall.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "tests/support/DriveProcess.h"
#include "tests/support/PromptRecorder.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

class WindowOnDriveTest : public QObject {
    Q_OBJECT
private slots:
    void editsReachTheDriveProgram_data();
    void editsReachTheDriveProgram();
};

void WindowOnDriveTest::editsReachTheDriveProgram_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

void WindowOnDriveTest::editsReachTheDriveProgram() {
    QFETCH(QString, variant);
    QTemporaryDir config;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", oldConfig); });

    DriveProcess drive(QStringLiteral(KIROTUNE_SIM));
    QVERIFY2(drive.start({"--variant", variant}), "the drive program did not publish its port");

    const kiro::Variant& table = *kiro::Variant::byName(variant);
    kiro::QtSerialPort port;
    kiro::EventPumpClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::DriveLink link(port, clock, prompts, *table.link);
    kiro::ShellState state(link, prompts, table);
    kiro::MainWindow window(state);
    kiro::installParameterWindow(window);
    window.show();
    window.findChild<QAction*>(QStringLiteral("comConfiguration"))->trigger();
    window.findChild<QAbstractButton*>(QStringLiteral("openPort"))->click();
    // The work of the windows runs as jobs of the program's queue, after the input that asked.
    auto settled = [&state] { return QTest::qWaitFor([&] { return state.work().idle(); }); };
    QVERIFY(settled());
    QVERIFY(port.isOpen());

    window.findChild<QAction*>(QStringLiteral("P_test"))->trigger();
    auto* form = window.findChild<QWidget*>(QStringLiteral("Form3"));
    QVERIFY(form);
    QVERIFY(settled());
    QVERIFY2(prompts.prompts.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
    QVERIFY(form->isEnabled());
    auto* peak = form->findChild<QLineEdit*>(QStringLiteral("Text1_9"));
    QCOMPARE(peak->text(), QStringLiteral("3.00"));

    peak->setText(QStringLiteral("2.5"));
    QTest::keyClick(peak, Qt::Key_Return);
    QVERIFY(settled());
    QCOMPARE(peak->text(), QStringLiteral("2.50"));
    form->findChild<QSlider*>(QStringLiteral("Slider1_0"))->setValue(5000);
    QStringList expected{QStringLiteral("01 06 00 1F 0A 00"), QStringLiteral("01 06 00 40 13 88")};
    if (auto* start = form->findChild<QAbstractButton*>(QStringLiteral("Command4_0"))) {
        start->click();
        QVERIFY(settled());
        form->findChild<QAbstractButton*>(QStringLiteral("Command4_1"))->click();
        expected << QStringLiteral("generator started") << QStringLiteral("generator stopped");
    }
    QVERIFY(settled());
    QVERIFY2(prompts.prompts.isEmpty(), qPrintable(prompts.texts().join(QLatin1Char('|'))));
    QVERIFY(form->isEnabled());

    QString log;
    auto logged = [&] {
        log += QString::fromLocal8Bit(drive.process().readAllStandardOutput());
        for (const QString& line : expected)
            if (!log.contains(line))
                return false;
        return true;
    };
    QVERIFY2(QTest::qWaitFor(logged, 5000), qPrintable(log));

    QVERIFY(window.close());
    QVERIFY(!state.ToolWindowOpen);
}

QTEST_MAIN(WindowOnDriveTest)
#include "tst_windowondrive.moc"
