#include "../DesktopProgram.h"
#include "probe/MessageBoxPrompter.h"
#include "probe/ProbeDialog.h"

#include <QApplication>

namespace {
constexpr int kExitUsage = 2;
} // namespace

int main(int argc, char* argv[]) {
    desktop::CommandLine commandLine(QStringLiteral("RegProbe"),
                                     "Reads or writes one holding register of any Modbus RTU "
                                     "station over a serial port.");
    if (commandLine.answered(argc, argv))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RegProbe"));
    QApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kirotune-regprobe"));
    // The dialog and its about box carry the program's icon, also when minimised.
    QApplication::setWindowIcon(desktop::programIcon());
    // What QApplication left is refused as the tuners refuse it: a mistyped option must not
    // start the probe as if nothing had been asked.
    if (!commandLine.parse(QApplication::arguments()))
        return kExitUsage;
    regprobe::MessageBoxPrompter prompter;
    regprobe::ProbeDialog dialog(&prompter);
    prompter.setParentWidget(&dialog);
    dialog.show();
    return app.exec();
}
