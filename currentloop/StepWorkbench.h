#pragma once

#include "RunOverlay.h"
#include "StepHistory.h"
#include "StepPlot.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kiro {

class CurrentLoopValues;
class HoverReadout;
class RunLegend;
class ShellState;
class StepFiguresLine;
class StepSaveDialog;
struct CurrentLoopVariant;

// What the current-loop window offers around its plot for comparing runs: the figures of the
// current run with a readout of the curve under the mouse, the last runs drawn under the current
// one with a legend of their gains ("clear" takes them away, "keep" switches them off and is
// remembered), "save…" for the current run as CSV or the plot as PNG, and the history of every
// run in the program's data folder. None of it talks to the drive: it learns of each run from
// the window once the run has been read.
class StepWorkbench : public QWidget {
    Q_OBJECT
public:
    StepWorkbench(ShellState& state, StepPlot& plot, QWidget* parent = nullptr);

    // The values a Start wrote to the drive. Input made while the Start ran may have changed the
    // window's values since; the run is kept with what the drive had for it.
    struct StartValues {
        float kp = 0;
        float ki = 0;
        float testCurrent = 0;
    };
    // After a successful Start: the record just read, with the values it was run with.
    void addRun(const QVector<float>& samples, const StartValues& written);

    // The earlier runs for the next redraw of the plot.
    QVector<PlotOverlay> overlays() const;

    const RunOverlay& runs() const { return runs_; }
    void setSaveDialog(StepSaveDialog& dialog) { saveDialog_ = &dialog; }

private:
    void buildControls();
    void mouseMoved(int buttons, QPointF at);
    void clearEarlierRuns();
    void showRuns();
    void setKeeping(bool keeping);
    void save();

    ShellState& state_;
    const CurrentLoopVariant& variant_;
    CurrentLoopValues& values_;
    StepPlot& plot_;
    StepSaveDialog* saveDialog_;
    StepHistory history_;
    RunOverlay runs_;

    StepFiguresLine* figures_ = nullptr;
    HoverReadout* readout_ = nullptr;
    RunLegend* legend_ = nullptr;
    QPushButton* clear_ = nullptr;
    QCheckBox* keep_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* historyNote_ = nullptr;
};

} // namespace kiro
