// The tuner program. The same source builds qztune-x7 and QZ318; KIROTUNE_VARIANT names the drive.

#include "../DesktopProgram.h"
#include "TraceStopNotice.h"
#include "currentloop/CurrentLoopWindowInstall.h"
#include "faults/FaultWindowInstall.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"
#include "link/TracingSerialPort.h"
#include "params/ParameterWindowInstall.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPrompter.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "storage/StorageWindowInstall.h"

#include <QApplication>
#include <cstdio>
#include <memory>

namespace {
constexpr int kExitUsage = 2;
} // namespace

int main(int argc, char** argv) {
    const kiro::Variant& variant = *kiro::Variant::byName(QStringLiteral(KIROTUNE_VARIANT));
    desktop::CommandLine commandLine(variant.programName,
                                     "Configuration and tuning of " KIROTUNE_DRIVE
                                     " stepper-motor drives over RS-232.");
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Append every frame sent to the drive and received from it to FILE, in "
                       "hexadecimal with the milliseconds since the port opened."),
        QStringLiteral("FILE"));
    commandLine.addOption(traceOption);
    if (commandLine.answered(argc, argv))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(variant.programName);
    QApplication::setOrganizationName(QStringLiteral("Kirotune"));
    QApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(KIROTUNE_DESKTOP_ENTRY));
    QApplication::setWindowIcon(desktop::programIcon());
    if (!commandLine.parse(QApplication::arguments()))
        return kExitUsage;

    kiro::QtSerialPort port;
    // With --trace the link talks through the trace, which records what passes.
    std::unique_ptr<kiro::TracingSerialPort> trace;
    if (commandLine.isSet(traceOption)) {
        const QString file = commandLine.value(traceOption);
        QString error;
        trace = kiro::TracingSerialPort::appendingTo(port, file, error);
        if (!trace) {
            std::fprintf(stderr, "%s: cannot write the trace to %s: %s\n",
                         qPrintable(variant.programName), qPrintable(file), qPrintable(error));
            return kExitUsage;
        }
    }
    kiro::EventPumpClock clock;
    kiro::MessageBoxPrompter prompter;
    kiro::DriveLink link(trace ? static_cast<kiro::SerialPort&>(*trace) : port, clock, prompter,
                         *variant.link);
    kiro::ShellState state(link, prompter, variant);

    if (trace)
        TellWhenTraceStops(*trace, link, prompter, commandLine.value(traceOption),
                           variant.programName);

    kiro::MainWindow window(state);
    kiro::installParameterWindow(window);
    kiro::installCurrentLoopWindow(window);
    kiro::installFaultWindow(window);
    kiro::installStorageWindow(window);
    window.showMaximized();
    return app.exec();
}
