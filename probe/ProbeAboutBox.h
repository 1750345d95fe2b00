#pragma once

#include <QDialog>

namespace regprobe {

// The small box behind the dialog's "About" entry: program name and version.
class ProbeAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit ProbeAboutBox(QWidget* parent = nullptr);
};

} // namespace regprobe
