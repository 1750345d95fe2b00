#pragma once

#include "ParamsTransactions.h"
#include "link/DriveWorkQueue.h"

#include <QWidget>
#include <array>

namespace kiro {

class ConfigurationZone;
class DriveParams;
class InternalTestZone;
class ResonanceZone;
class ShellState;
struct ParamsVariant;

// "参数设定" (Form3): the drive's own parameters, read back when the window opens and written at
// once whenever the user changes one. The window is four zones in five frames; it keeps the
// state they share (CanClose, the lamp, giving up on the drive) and hands all their drive work
// to the program's drive-work queue through its own handle, so that input arriving while a
// transaction waits runs after it instead of colliding with it.
class ParameterWindow : public QWidget {
    Q_OBJECT
public:
    explicit ParameterWindow(ShellState& state, QWidget* parent = nullptr);
    ~ParameterWindow() override;

    // Reads the drive's parameters into the controls, as the window does when it opens. The
    // window stays out of sight until the read-back has ended, whatever its outcome.
    void load();

    ShellState& state() const { return state_; }
    const ParamsVariant& table() const { return table_; }
    ParamsTransactions& drive() { return drive_; }
    DriveParams& params() const { return params_; }

    ConfigurationZone& configuration() const { return *configuration_; }
    ResonanceZone& resonance(int zone) const { return *resonance_.at(std::size_t(zone - 1)); }
    InternalTestZone& internalTest() const { return *internalTest_; }

    // Drive work of an event handler, run as a job of the window after the handler has returned
    // (a job of the same key that still waits is replaced by this one). Nothing is taken or run
    // once the window has given up on the drive.
    void submit(const QString& key, DriveWork::Job job);
    bool accepting() const { return !givenUp_ && !closing_; }
    bool givenUp() const { return givenUp_; }

    bool CanClose() const { return canClose_; }
    void setCanClose(bool canClose) { canClose_ = canClose; }
    void showBusy();
    void showIdle();

    // Messages of the window: titled, or with the program's default title.
    void tell(const QString& text, const QString& title = {});
    QString noticeTitle() const;

    // A write or read that failed on every attempt: the link failure message, CanClose True,
    // the idle lamp where the tuner shows it, and the window disabled for good.
    void giveUp();
    // A slider write that failed: the message and the window disabled; CanClose and the lamp
    // stay as they are.
    void giveUpFromSlider();

    // The zones are placed as the window was designed; it has this one size.
    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return size_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFrames();
    void tellLinkFailure();
    void disableForGood();
    void readBack();
    void keepOutOfSight();
    void appear();
    void chooseFirstFocus();
    void closeAsAsked();
    void releaseFlags();

    ShellState& state_;
    const ParamsVariant& table_;
    ParamsTransactions drive_;
    DriveParams& params_;
    DriveWork work_;
    ConfigurationZone* configuration_ = nullptr;
    std::array<ResonanceZone*, 3> resonance_{};
    InternalTestZone* internalTest_ = nullptr;
    QSize size_;
    bool canClose_ = true;
    bool givenUp_ = false;
    bool closing_ = false;
    bool flagsHeld_ = false;
};

} // namespace kiro
