#pragma once

#include "link/StatusDisplay.h"

#include <QPixmap>
#include <QPointer>
#include <QString>

class QLabel;

namespace kiro {

class ShellState;

// The link lamp in panel 2 of the main window's status bar: the busy and idle pictures beside the
// program in qztune-x7, the words "Communicating..." and "Ready" in QZ318. A missing picture
// leaves the panel empty.
class StatusLamp : public StatusDisplay {
public:
    StatusLamp(QLabel* panel, const ShellState& state);

    void showBusy() override;
    void showIdle() override;
    bool showsBusy() const { return busy_; }

private:
    void show(bool busy);

    QPointer<QLabel> panel_;
    bool pictures_;
    QString busyShown_;
    QString idleShown_;
    QPixmap busyPicture_;
    QPixmap idlePicture_;
    bool busy_ = false;
};

} // namespace kiro
