#pragma once

#include "ParamsTransactions.h"
#include "shell/WindowContract.h"

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
// to the window contract, so that input arriving while a transaction waits runs after it instead
// of colliding with it, and the drive ends with the user's last action.
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

    // Drive work of an event handler, run as a job of the window after the handler has returned.
    // The key names what the job writes (WriteKey): a job of the same key that still waits is
    // dropped for this one. Nothing is taken or run once the window has given up on the drive.
    void submit(const QString& key, WindowContract::Job job);
    bool accepting() const { return contract_.accepting(); }
    bool givenUp() const { return contract_.givenUp(); }

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

private:
    void buildFrames();
    WindowContract::CloseVerdict judgeClose();
    void readBack();
    void keepOutOfSight();
    void appear();
    void chooseFirstFocus();
    void releaseFlags();

    ShellState& state_;
    const ParamsVariant& table_;
    ParamsTransactions drive_;
    DriveParams& params_;
    WindowContract contract_;
    ConfigurationZone* configuration_ = nullptr;
    std::array<ResonanceZone*, 3> resonance_{};
    InternalTestZone* internalTest_ = nullptr;
    QSize size_;
    bool canClose_ = true;
    bool slidersGaveUp_ = false;
    bool flagsHeld_ = false;
};

} // namespace kiro
