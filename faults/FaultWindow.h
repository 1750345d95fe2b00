#pragma once

#include "FaultTransactions.h"
#include "FaultWord.h"
#include "shell/WindowContract.h"

#include <QWidget>
#include <array>

class QPushButton;
class QTimer;

namespace kiro {

class FaultIndicator;
class ShellState;
struct FaultsVariant;

// The fault query window (Form4): the drive's ten fault words as a grid of round indicators, the
// current faults of column 0 blinking, and the two clear commands.
//
// Its drive work, the reading of the words as it opens and each clear with the reading after it,
// runs as jobs of the program's drive-work queue, after the handler that asked and one at a time.
// Blinking never talks to the drive and holds it for nobody: the dark time of an indicator is a
// wait that lets events run, any window's drive work included.
//
// Closing follows the window contract: a close asked for while the window's work runs or waits
// takes effect when that work has ended. A close while BlinkBusy (from a reading until the first
// blink after it has ended, and during every blink) is put off, never forgotten: the blink that
// is waiting closes the window after the indicator it has darkened is lit again, or the next
// blink closes it as it starts.
class FaultWindow : public QWidget {
    Q_OBJECT
public:
    FaultWindow(ShellState& state, const FaultsVariant& layout, QWidget* parent = nullptr);
    ~FaultWindow() override;

    static constexpr int kBlinkIntervalMs = 200;
    static constexpr int kDarkMs = 200;

private:
    void buildGrid();
    void buildButtons();
    void placeWindow();
    void load();
    void showLoaded(const FaultWords& words);
    void showWords(const FaultWords& words);
    void blink();
    void blinkColumn0();
    void clear(FaultClear which);
    WindowContract::CloseVerdict judgeClose();
    void closeNow();
    bool closed() const { return contract_.closed(); }

    ShellState& state_;
    const FaultsVariant& layout_;
    WindowContract contract_;
    std::array<FaultIndicator*, kIndicatorCount> Shape1{};
    std::array<QPushButton*, 2> Command1{};
    QTimer* Timer1 = nullptr;

    // True while the reading or a blink runs, and after a reading until the first blink has ended.
    bool BlinkBusy = false;
    bool blinking_ = false; // a blink tick is under way (in the dark time of an indicator)
};

} // namespace kiro
