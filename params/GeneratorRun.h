#pragma once

#include <QList>
#include <QPair>
#include <QtGlobal>

namespace kiro {

// What the drive's pulse generator is to run, as the user set it.
struct GeneratorSettings {
    bool reciprocating = true;
    bool forward = true;
    double repeats = 0;
    double strokeRevolutions = 0;
    double dwellMs = 0;
    int speed = 0; // hundredths of a revolution per second
};

// The writes that start the generator, in the order the drive takes them: the mode, the
// direction, the counts and the speed, and the run command last. The stroke travels in
// hundredths of a revolution.
QList<QPair<quint16, double>> GeneratorStartWrites(const GeneratorSettings& settings);

} // namespace kiro
