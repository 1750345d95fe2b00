#pragma once

#include "StepRun.h"

#include <QByteArray>

namespace kiro {

// A run as a CSV file: comment lines with the gains, the step current, the drive and the time
// ("# kp=1000"), then "sample,amperes" and one line per sample, as qzcli step prints the record.
// A gain that is not known stays empty after its "=". Every sample is a whole number of 1/1024 A
// and is written out exactly, so that reading the file gives back the very samples.
QByteArray FormatStepCsv(const StepRun& run);

} // namespace kiro
