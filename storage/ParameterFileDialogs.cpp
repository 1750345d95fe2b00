#include "ParameterFileDialogs.h"

#include <QFileDialog>

namespace kiro {

QString QtParameterFileDialogs::openFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString QtParameterFileDialogs::saveFileName(QWidget* parent, const QString& filter) {
    // The file name is used as chosen: no extension is added.
    return QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
}

} // namespace kiro
