#include "GeneratorRun.h"

#include "link/RegisterMap.h"

namespace kiro {

namespace {
constexpr int kStrokeScale = 100; // the drive counts the stroke in hundredths of a revolution
} // namespace

QList<QPair<quint16, double>> GeneratorStartWrites(const GeneratorSettings& settings) {
    return {
        {reg::GeneratorReciprocating, settings.reciprocating ? 1 : 0},
        {reg::GeneratorForward, settings.forward ? 1 : 0},
        {reg::GeneratorRepeats, settings.repeats},
        {reg::GeneratorStroke, settings.strokeRevolutions * kStrokeScale},
        {reg::GeneratorDwellMs, settings.dwellMs},
        {reg::GeneratorSpeed, double(settings.speed)},
        {reg::GeneratorRun, 1},
    };
}

} // namespace kiro
