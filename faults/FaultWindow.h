#pragma once

#include "FaultTransactions.h"
#include "FaultWord.h"
#include "link/DriveWorkQueue.h"

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
// Closing: a close asked for while the window's work runs or waits takes effect when that work
// has ended. Any other close while BlinkBusy (from a reading until the first blink after it has
// ended, and during every blink) is refused once; a blink that is waiting then closes the window
// itself, after the indicator it has darkened is lit again.
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
    void blinkColumn0();
    void clear(FaultClear which);
    void giveUp();
    void closeFrame();
    // A close that has been let through hides the window; it is deleted a moment later.
    bool closed() const { return isHidden(); }

    ShellState& state_;
    const FaultsVariant& layout_;
    DriveWork work_;
    std::array<FaultIndicator*, kIndicatorCount> Shape1{};
    std::array<QPushButton*, 2> Command1{};
    QTimer* Timer1 = nullptr;

    // True while the reading or a blink runs, and after a reading until the first blink has ended.
    bool BlinkBusy = false;
};

} // namespace kiro
