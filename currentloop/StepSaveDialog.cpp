#include "StepSaveDialog.h"

#include <QFileDialog>

namespace kiro {

namespace {
class PlatformSaveDialog : public StepSaveDialog {
public:
    QString saveFileName(QWidget* parent, const QString& suggested, const QString& filters,
                         QString* chosenFilter) override {
        return QFileDialog::getSaveFileName(parent, QString(), suggested, filters, chosenFilter);
    }
};
} // namespace

StepSaveDialog& StepSaveDialog::platform() {
    static PlatformSaveDialog dialog;
    return dialog;
}

} // namespace kiro
