#pragma once

#include "link/DriveWorkQueue.h"

#include <QObject>
#include <QString>
#include <functional>

class QCloseEvent;
class QMdiSubWindow;
class QWidget;

namespace kiro {

class ShellState;

// What every window that talks to the drive agrees to, made once so that no window decides it
// alone: the window's drive work, its close and its give-up.
//
// - Input: everything the user does becomes a job of the window on the program's drive-work
//   queue and is carried out in turn; nothing is dropped because the drive is busy. Jobs are
//   keyed by what they write, so the drive ends with the user's last action.
// - Close: a close (close button, Ctrl+F4, the program ending) while the window's work runs or
//   waits is carried out when that work has ended. A window's own rule is a hook that may put
//   the close off, never refuse it for good.
// - Give-up: the window's waiting work goes, the window is disabled with the keyboard focus on
//   its frame, and the message is shown once. A link that gives up takes every window's waiting
//   work with it; those windows give up without a message of their own.
// - Lifetime: a job never runs after its window is gone, and the window and its frame are not
//   deleted while its work runs or waits.
class WindowContract : public QObject {
    Q_OBJECT
public:
    using Job = DriveWork::Job;

    // A window's own close rule, judged when the close would take effect (the window's work has
    // ended). Later puts the close off: the window then either submits work, whose end carries
    // the close out, or calls closeWindow() itself once its reason has gone.
    enum class CloseVerdict { Now, Later };
    using CloseRule = std::function<CloseVerdict()>;

    WindowContract(ShellState& state, QWidget& window);
    ~WindowContract() override;

    DriveWork& work() { return work_; }
    DriveLink& link() const { return work_.link(); }

    // Queues drive work of the window. The key names what the job writes ("register 64"); see
    // WriteKey. Work is not taken once the window has given up or closed.
    void submit(const QString& key, Job job);
    void submit(Job job) { submit(QString(), std::move(job)); }
    // The work a window's close does on its way out (the end of a test mode). It is tried even
    // after a give-up and while the link is in doubt, so that a drive that answers again is left
    // safe; a failure then tells nothing new.
    void submitLastWork(Job job);

    // The window's work runs now.
    bool running() const { return work_.running(); }
    // The window's work runs or waits.
    bool busy() const { return !work_.idle(); }
    // The window takes no more work: it has given up, or it has closed.
    bool accepting() const { return !givenUp_ && !closed_; }
    bool givenUp() const { return givenUp_; }

    void setCloseRule(CloseRule rule) { closeRule_ = std::move(rule); }
    // Closes the window's frame (or the window) under the same rules as its close button.
    void closeWindow();
    // A close has been asked for and waits for the window's work or its own rule. A window's
    // rule sees it while it judges a close: the close was asked for before, not just now.
    bool closePending() const { return closePending_; }
    bool closed() const { return closed_; }

    // A transaction of the window gave up on the drive: the window's waiting work goes (and
    // every other window's), the window is disabled, the frame keeps the keyboard focus, and
    // the message is shown once. Without a text, the link failure message of the tuner.
    void giveUp(const QString& text = {}, const QString& title = {});

    // Where the keyboard focus goes while the window's controls cannot take it: the frame,
    // whose keys (Ctrl+F4) still reach the window.
    void keepFocusOnFrame(bool hadFocus);

    // When another window's transaction gives up while this window had work waiting. By
    // default the window gives up without a message; the communication window, through which
    // the port is opened again, chooses otherwise.
    void setLinkLossHandler(std::function<void()> handler) { linkLoss_ = std::move(handler); }

signals:
    // The window is giving up (with or without a message): it adds its own part, such as the
    // lamp, its timers and TuningIdle. The window is disabled after this.
    void givingUp();
    // The close takes effect now: the window releases its flags and stops its timers.
    void closing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiSubWindow* frame() const;
    bool judgeClose(QCloseEvent* event);
    void giveUpQuietly();
    void disableWindow();
    void workEnded();
    void watchFrame();

    ShellState& state_;
    QWidget& window_;
    DriveWork work_;
    CloseRule closeRule_;
    std::function<void()> linkLoss_;
    QObject* watchedFrame_ = nullptr;
    bool givenUp_ = false;
    bool closed_ = false;
    bool closePending_ = false;
    bool deletePending_ = false;
};

} // namespace kiro
