#pragma once

#include "link/DriveWorkQueue.h"
#include "link/Prompts.h"

#include <QObject>
#include <QString>
#include <array>

namespace kiro {

class DriveLink;
class StatusDisplay;
struct Variant;

// The flags of the exclusive tool windows, indexed 1 to 5 as the windows know them:
// 1 = current-loop tuning window, 3 = parameter settings window. 2, 4 and 5 are asked by the
// menu commands but set by no window.
class WindowFlagArray {
public:
    static constexpr int kFirst = 1;
    static constexpr int kLast = 5;

    bool& operator()(int index);
    bool operator()(int index) const;
    void clear() { flags_.fill(false); }

private:
    std::array<bool, kLast> flags_{};
};

// What every window of a tuner shares for the whole run: the tool-window flags, the drive link
// (with its link state and TuningIdle), the prompts, the variant table and the link lamp.
// One object per program, created before the main window and outliving it.
class ShellState : public QObject {
    Q_OBJECT
public:
    ShellState(DriveLink& link, Prompter& prompter, const Variant& variant,
               QObject* parent = nullptr);

    // True while an exclusive tool window is open.
    bool ToolWindowOpen = false;
    WindowFlagArray WindowOpenFlags;

    bool TuningIdle() const;
    void setTuningIdle(bool idle);

    DriveLink& link() const { return link_; }
    // The program's drive-work queue: the one way a window reaches the drive.
    DriveWorkQueue& work() { return work_; }
    Prompter& prompter() const { return prompter_; }
    const Variant& variant() const { return variant_; }

    // Whether the port through which the link talks is open.
    bool portOpen() const;
    // The drive is in use: a job of the queue runs, or the link is inside a transaction.
    bool linkBusy() const;

    // The link lamp of status-bar panel 2 (null until the main window has made it).
    StatusDisplay* lamp() const { return lamp_; }
    void setLamp(StatusDisplay* lamp);

    // The pictures of the tuner sit beside the program.
    QString picturePath(const QString& fileName) const;
    void setPictureFolder(const QString& folder) { pictureFolder_ = folder; }

    void tell(const QString& text, const QString& title, Prompt::Icon icon = Prompt::Icon::None);

    // Told by the communication window, so that the main window can follow the port.
    void announcePortOpened() { emit portOpened(); }
    void announcePortClosed() { emit portClosed(); }
    // Told by the windows' contract, so that an ending program can go on closing.
    void announceWindowClosed() { emit windowClosed(); }

signals:
    void portOpened();
    void portClosed();
    void windowClosed();

private:
    DriveLink& link_;
    DriveWorkQueue work_;
    Prompter& prompter_;
    const Variant& variant_;
    StatusDisplay* lamp_ = nullptr;
    QString pictureFolder_;
};

} // namespace kiro
