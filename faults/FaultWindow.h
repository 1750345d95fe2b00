#pragma once

#include "FaultTransactions.h"
#include "FaultWord.h"

#include <QWidget>
#include <array>
#include <optional>

class QPushButton;
class QTimer;

namespace kiro {

class FaultIndicator;
class ShellState;
struct FaultsVariant;

// The fault query window (Form4): the drive's ten fault words as a grid of round indicators, the
// current faults of column 0 blinking, and the two clear commands.
//
// It reads the fault words as it is made, so a failure message comes before the window shows.
// Everything runs on the user-interface thread and every wait lets events run, so the window
// keeps its own order:
// - a blink tick waits inside the tick; no tick starts while one runs or while the link is busy;
// - a clear asked for during a blink runs when the blink has ended, never inside it;
// - a close request while BlinkBusy is refused once, and a tick that is waiting closes the window
//   after the indicator it has darkened is lit again; any later close request is honoured at once
//   (a tick that finds its window gone ends quietly);
// - a close request during a clear closes the window once the clear and the reading after it are
//   done.
class FaultWindow : public QWidget {
    Q_OBJECT
public:
    FaultWindow(ShellState& state, const FaultsVariant& layout, QWidget* parent = nullptr);
    ~FaultWindow() override;

    static constexpr int kBlinkIntervalMs = 200;
    static constexpr int kDarkMs = 200;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildGrid();
    void buildButtons();
    void placeWindow();
    void load();
    void showWords(const FaultWords& words);
    void blink();
    void askToClear(FaultClear which);
    void clear(FaultClear which);
    void giveUp();
    void closeFrame();

    ShellState& state_;
    const FaultsVariant& layout_;
    std::array<FaultIndicator*, kIndicatorCount> Shape1{};
    std::array<QPushButton*, 2> Command1{};
    QTimer* Timer1 = nullptr;

    // True while the load or a blink tick runs; a close request meanwhile is refused once.
    bool BlinkBusy = false;
    bool tickRunning_ = false;
    bool clearRunning_ = false;
    bool closeAfterClear_ = false;
    bool closeRefused_ = false;
    bool unloaded_ = false;
    std::optional<FaultClear> clearAfterTick_;
};

} // namespace kiro
