// The tuner program. The same source builds qztune-x7 and QZ318; KIROTUNE_VARIANT names the drive.

#include "../DesktopProgram.h"
#include "currentloop/CurrentLoopWindowInstall.h"
#include "faults/FaultWindowInstall.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"
#include "params/ParameterWindowInstall.h"
#include "shell/MainWindow.h"
#include "shell/MessageBoxPrompter.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "storage/StorageWindowInstall.h"

#include <QApplication>

int main(int argc, char** argv) {
    const kiro::Variant& variant = *kiro::Variant::byName(QStringLiteral(KIROTUNE_VARIANT));
    if (desktop::answerCommandLine(argc, argv, qPrintable(variant.programName),
                                   "Configuration and tuning of " KIROTUNE_DRIVE
                                   " stepper-motor drives over RS-232."))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(variant.programName);
    QApplication::setOrganizationName(QStringLiteral("Kirotune"));
    QApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(KIROTUNE_DESKTOP_ENTRY));
    QApplication::setWindowIcon(desktop::programIcon());

    kiro::QtSerialPort port;
    kiro::EventPumpClock clock;
    kiro::MessageBoxPrompter prompter;
    kiro::DriveLink link(port, clock, prompter, *variant.link);
    kiro::ShellState state(link, prompter, variant);

    kiro::MainWindow window(state);
    kiro::installParameterWindow(window);
    kiro::installCurrentLoopWindow(window);
    kiro::installFaultWindow(window);
    kiro::installStorageWindow(window);
    window.showMaximized();
    return app.exec();
}
