#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

namespace kiro {

// One step test as it is kept and compared afterwards: the record with what the drive ran it with.
struct StepRun {
    QVector<float> samples; // amperes, one per sample
    std::optional<int> kp;  // as the drive received it; empty when nobody wrote or read it
    std::optional<int> ki;  // the same for Ki
    double testCurrent = 0; // the step in amperes
    QString variant;        // "x7" or "qz318", as qzcli's --variant names the drives
    QDateTime time;         // when the record was read
};

} // namespace kiro
