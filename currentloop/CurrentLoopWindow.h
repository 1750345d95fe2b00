#pragma once

#include "GainSearch.h"
#include "PlotZoom.h"
#include "StepTest.h"
#include "StepWorkbench.h"
#include "shell/WindowContract.h"

#include <QWidget>
#include <optional>

class QLineEdit;
class QPushButton;
class QTimer;

namespace kiro {

class CurrentLoopValues;
class GainSearchProgress;
class ShellState;
class StepPlot;
struct CurrentLoopVariant;

// "电流环调试" (Form1): the engineer enters the current loop's gains and a step current, runs the
// drive's step test and studies the recorded response in the plot, or lets the drive tune the loop
// itself, or lets the window search for gains with real steps ("search"). The window reads both
// gains when it opens and ends the drive's test mode when it closes.
//
// All of its drive work (the reads as it opens, Start, Enter in a gain entry, "auto", the search
// and the end of the test as it closes) runs as jobs under the window contract, in turn: Enter
// during a Start writes its gain after the Start. A close waits until the window's work has
// ended, and then still ends the test mode; a search asked to end (its "cancel", a close) stops
// before its next step and puts back the gains the drive had.
class CurrentLoopWindow : public QWidget {
    Q_OBJECT
public:
    explicit CurrentLoopWindow(ShellState& state, QWidget* parent = nullptr);
    ~CurrentLoopWindow() override;

    // The plot timer's handler: redraws the plot with the view in use.
    void DataSource_Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildControls();
    void load();
    void readGains();
    void start();
    void runStart();
    bool keyPressed(int entry, int keyAscii);
    bool applyEntry(int entry);
    void writeGain(int entry, quint16 address, float value);
    void autoTune();
    void runAutoTune();
    void searchClicked();
    void runSearch();
    void searchEnded(std::optional<GainPair> shown);
    void showRun(const StepRecord& record, const StepWorkbench::StartValues& written);
    WindowContract::CloseVerdict unload();
    void endTest();
    void releaseFlags();
    void givingUp();

    void showBusy();
    void showIdle();
    void growFrameToFit();

    void plotButtonDown(int button, QPointF at);
    void plotMouseMoved(int buttons, QPointF at);
    void plotButtonUp(int button, QPointF at);

    ShellState& state_;
    const CurrentLoopVariant& variant_;
    CurrentLoopValues& values_;
    WindowContract contract_;

    QLineEdit* entries_[3] = {};
    QPushButton* start_ = nullptr;
    QPushButton* auto_ = nullptr;
    QPushButton* search_ = nullptr;
    GainSearchProgress* searchProgress_ = nullptr;
    StepPlot* plot_ = nullptr;
    StepWorkbench* workbench_ = nullptr;
    QTimer* dataSource_ = nullptr;

    StepRecord record_;
    PlotZoom zoom_;

    bool leaving_ = false;   // "auto" or a close has begun the window's end: no new drive work
    bool unloaded_ = false;  // the end of the test mode has been asked for: the window may close
    bool flagsHeld_ = false; // WindowOpenFlags(1) and ToolWindowOpen are set by this window
    bool searching_ = false; // a search is queued or runs: its button cancels it
    bool searchCancelled_ = false;
};

} // namespace kiro
