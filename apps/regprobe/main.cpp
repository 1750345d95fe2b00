#include "../DesktopProgram.h"
#include "probe/MessageBoxPrompter.h"
#include "probe/ProbeDialog.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (desktop::answerCommandLine(argc, argv, "RegProbe",
                                   "Reads or writes one holding register of any Modbus RTU station "
                                   "over a serial port."))
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RegProbe"));
    QApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kirotune-regprobe"));
    // The dialog and its about box carry the program's icon, also when minimised.
    QApplication::setWindowIcon(desktop::programIcon());
    regprobe::MessageBoxPrompter prompter;
    regprobe::ProbeDialog dialog(&prompter);
    prompter.setParentWidget(&dialog);
    dialog.show();
    return app.exec();
}
