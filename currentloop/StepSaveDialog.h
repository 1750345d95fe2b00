#pragma once

#include <QString>

class QWidget;

namespace kiro {

// The save dialog of the current-loop window's "save…". Production shows the platform's dialog;
// tests answer with a path and a file type of their own.
class StepSaveDialog {
public:
    virtual ~StepSaveDialog() = default;
    // The path chosen, empty when the user cancelled; chosenFilter gets the file type chosen.
    virtual QString saveFileName(QWidget* parent, const QString& suggested, const QString& filters,
                                 QString* chosenFilter) = 0;

    // The platform's dialog.
    static StepSaveDialog& platform();
};

} // namespace kiro
