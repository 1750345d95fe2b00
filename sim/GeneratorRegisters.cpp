#include "GeneratorRegisters.h"

#include "DriveModel.h"
#include "link/RegisterMap.h"

namespace kiro::sim {

void LoadGeneratorDefaults(std::array<quint16, 65536>& r, ReplyLayout layout) {
    if (layout != ReplyLayout::NarrowByteCount)
        return; // the X7 has no generator; its registers there are the jog settings
    r[reg::GeneratorRun] = 0;
    r[reg::GeneratorSpeed] = 10;    // 0.1 rps
    r[reg::GeneratorStroke] = 1000; // 10 revolutions
    r[reg::GeneratorRepeats] = 5;
    r[reg::GeneratorForward] = 1;
    r[reg::GeneratorDwellMs] = 50;
    r[reg::GeneratorReciprocating] = 1;
}

QString GeneratorLogLine(const DriveModel& drive, bool wasRunning) {
    if (drive.generatorRunning() == wasRunning)
        return {};
    if (!drive.generatorRunning())
        return QStringLiteral("generator stopped");
    return QStringLiteral("generator started: speed %1 x 0.01 rps, stroke %2 x 0.01 r, "
                          "%3 times, %4, dwell %5 ms%6")
        .arg(drive.reg(reg::GeneratorSpeed))
        .arg(drive.reg(reg::GeneratorStroke))
        .arg(drive.reg(reg::GeneratorRepeats))
        .arg(drive.reg(reg::GeneratorForward) ? QStringLiteral("forward")
                                              : QStringLiteral("reverse"))
        .arg(drive.reg(reg::GeneratorDwellMs))
        .arg(drive.reg(reg::GeneratorReciprocating) ? QStringLiteral(", reciprocating")
                                                    : QString());
}

} // namespace kiro::sim
