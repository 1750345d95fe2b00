#pragma once

#include <QVector>
#include <optional>

namespace kiro {

// What the gain search learns about a drive's current loop from its steps, in the drive's own
// register units: nothing here knows how a drive scales its gains, how long its delay is or which
// winding it drives.
//
// The model: the drive measures the current i[k], computes the output u[k] = Kp e[k] + I[k] with
// I[k] = I[k-1] + kappa Ki e[k] from the error e[k] = r[k] - i[k], and the winding answers
// i[k+1] = pole i[k] + gainPerKp u[k - delay]. gainPerKp is the current one raw count of Kp adds
// in one sample per ampere of error; kappa is what one raw count of Ki is worth in counts of Kp
// per sample, which differs between firmwares.
struct LoopModel {
    double pole = 0;
    double gainPerKp = 0;
    int delay = 0;
    int stepIndex = 0; // the first sample at which the drive commands the step
    double kappa = 0;  // 0 until a step with integral action has been fitted
};

// The model's step response (no noise), one value in amperes per sample.
QVector<float> SimulateLoop(const LoopModel& model, double kp, double ki, double commandedAmperes,
                            int count);

// A model fitted to a step, and how far the step lies from it: the root-mean-square difference
// in parts of the commanded current.
struct LoopFit {
    LoopModel model;
    double residual = 0;
};

// The winding, the delay and the step's start from a step with proportional gain alone (Ki 0),
// by least squares: the fits that explain the step about equally well (a slow step hardly tells
// a later start from a longer delay), best first; none when the record carries too little of a
// response to fit.
QVector<LoopFit> FitProportionalStep(const QVector<float>& samples, double commandedAmperes,
                                     double kp);

// Whether a fit with this residual explains its step as well as the best one, with the least
// residual, does (within the noise of a record).
bool ExplainsEquallyWell(double residual, double least);

// kappa of the model from a step with both gains; the rest of the model stays as it is.
std::optional<LoopFit> FitIntegralScale(const LoopModel& model, const QVector<float>& samples,
                                        double commandedAmperes, double kp, double ki);

} // namespace kiro
