#pragma once

#include "PlotZoom.h"
#include "StepTest.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTimer;

namespace kiro {

class CurrentLoopValues;
class ShellState;
class StepPlot;
struct CurrentLoopVariant;

// "电流环调试" (Form1): the engineer enters the current loop's gains and a step current, runs the
// drive's step test and studies the recorded response in the plot, or lets the drive tune the loop
// itself. The window reads both gains when it opens and ends the drive's test mode when it closes.
//
// Every exchange with the drive waits with events running, so keys, clicks and a close can arrive
// in the middle of one. While the window (or any other) is talking to the drive, Enter in an
// entry, "Start" and "auto" are held off, and a close waits until the exchange has ended; then it
// still ends the test mode.
class CurrentLoopWindow : public QWidget {
    Q_OBJECT
public:
    explicit CurrentLoopWindow(ShellState& state, QWidget* parent = nullptr);
    ~CurrentLoopWindow() override;

    // The plot timer's handler: redraws the plot with the view in use.
    void DataSource_Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void load();
    void start();
    bool keyPressed(int entry, int keyAscii);
    bool applyEntry(int entry);
    void autoTune();
    void unload();
    void giveUp();

    bool inTransfer() const;
    void showBusy();
    void showIdle();
    void closeWindow();
    void closeIfRequested();
    void retryClose();

    void plotButtonDown(int button, QPointF at);
    void plotMouseMoved(int buttons, QPointF at);
    void plotButtonUp(int button, QPointF at);

    ShellState& state_;
    const CurrentLoopVariant& variant_;
    CurrentLoopValues& values_;

    QLineEdit* entries_[3] = {};
    QPushButton* start_ = nullptr;
    QPushButton* auto_ = nullptr;
    StepPlot* plot_ = nullptr;
    QTimer* dataSource_ = nullptr;
    QTimer* closeRetry_ = nullptr;

    StepRecord record_;
    PlotZoom zoom_;

    bool running_ = false;        // one of this window's exchanges with the drive is under way
    bool closeRequested_ = false; // a close arrived while the link was busy
    bool unloaded_ = false;
};

} // namespace kiro
