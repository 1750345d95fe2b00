#pragma once

#include "StepMetrics.h"

#include <QWidget>

class QLabel;

namespace kiro {

// The line under the plot with the figures of the current run, as qzcli step --metrics computes
// them: "rise:" (10 to 90 % of the final value, in samples), "overshoot:" (in %), "settling:"
// (the sample from which the response stays within 2 % of its final value) and "error:" (the
// steady-state error in A). A figure the run has no value for (a step of 0 A, a response that
// never settles) stays empty.
class StepFiguresLine : public QWidget {
    Q_OBJECT
public:
    explicit StepFiguresLine(QWidget* parent = nullptr);

    void showFigures(const StepMetrics& figures);

    // A figure as the line shows it (StepFigureText), with its unit; empty without a value.
    static QString riseText(const StepMetrics& figures);
    static QString overshootText(const StepMetrics& figures);
    static QString settlingText(const StepMetrics& figures);
    static QString errorText(const StepMetrics& figures);

private:
    QLabel* addFigure(const QString& caption, const QString& name, const QString& meaning);

    QLabel* rise_ = nullptr;
    QLabel* overshoot_ = nullptr;
    QLabel* settling_ = nullptr;
    QLabel* error_ = nullptr;
};

} // namespace kiro
