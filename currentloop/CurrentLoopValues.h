#pragma once

#include <QObject>

namespace kiro {

class ShellState;

// The values the current-loop window keeps for the whole run of the tuner, from one opening of the
// window to the next: the gains and the step current as last clamped or read, and the number of
// samples of the last capture.
class CurrentLoopValues : public QObject {
    Q_OBJECT
public:
    // The tuner's one set, made on first use and living as long as the shell state.
    static CurrentLoopValues& of(ShellState& state);

    float GainKp = 0;
    float GainKi = 0;
    float TestCurrent = 0; // amperes, 0 to 5
    qint16 SampleCount = 0;

private:
    using QObject::QObject;
};

} // namespace kiro
