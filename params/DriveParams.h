#pragma once

#include <QObject>
#include <array>

namespace kiro {

class ShellState;

// The values the parameter settings window last read from or wrote to the drive, one slot per
// parameter (the variant table says which register each slot holds). They outlive the window:
// the next opening finds them as the last one left them.
class DriveParams : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 18;

    float& operator[](int slot) { return values_.at(std::size_t(slot)); }
    float operator[](int slot) const { return values_.at(std::size_t(slot)); }

    // The one set of the program, kept beside the shell's shared state.
    static DriveParams& of(ShellState& state);

private:
    using QObject::QObject;
    std::array<float, kSlots> values_{};
};

} // namespace kiro
