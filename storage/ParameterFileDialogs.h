#pragma once

#include <QString>

class QWidget;

namespace kiro {

// The open and save dialogs of the parameter table window. Production shows the platform's file
// dialogs; tests answer with a path of their own. An empty answer means the user cancelled.
class ParameterFileDialogs {
public:
    virtual ~ParameterFileDialogs() = default;
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& filter) = 0;
};

class QtParameterFileDialogs : public ParameterFileDialogs {
public:
    QString openFileName(QWidget* parent, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& filter) override;
};

} // namespace kiro
