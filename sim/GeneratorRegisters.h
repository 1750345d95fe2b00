#pragma once

#include "link/LinkVariant.h"

#include <QString>
#include <QtGlobal>
#include <array>

namespace kiro::sim {

class DriveModel;

// The QZ318's motion generator as the simulated drive keeps it: power-on values of its setup
// registers (speed, stroke, repeat count, direction, dwell time, reciprocating), and what the
// drive's log says when a request starts or stops it.
void LoadGeneratorDefaults(std::array<quint16, 65536>& registers, ReplyLayout layout);

// A log line when the generator started or stopped since wasRunning; empty otherwise.
QString GeneratorLogLine(const DriveModel& drive, bool wasRunning);

} // namespace kiro::sim
