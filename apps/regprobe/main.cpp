#include "probe/MessageBoxPrompter.h"
#include "probe/ProbeDialog.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RegProbe"));
    regprobe::MessageBoxPrompter prompter;
    regprobe::ProbeDialog dialog(&prompter);
    prompter.setParentWidget(&dialog);
    dialog.show();
    return app.exec();
}
