#pragma once

#include <QString>
#include <QStringList>
#include <array>

namespace kiro {

// One fault that a fault word can carry: its bit in the word's low byte, the caption the fault
// window shows left of its indicator row, and whether that row is visible in the grid.
struct FaultKind {
    int bit;
    QString caption; // as the grid shows it, with its inner blanks: "过  流"
    bool rowShown;

    // The caption without its inner blanks, as a script prints it: "过流".
    QString name() const;
};

// The drive keeps one fault word per column of its fault history; word k is column k.
constexpr int kFaultColumns = 10;
// Each column has an indicator for every bit of its word, Shape1(16 x k + b).
constexpr int kIndicatorsPerColumn = 16;
constexpr int kIndicatorCount = kFaultColumns * kIndicatorsPerColumn;

using FaultWords = std::array<quint16, kFaultColumns>;

// The six faults, in the order of their captions Label1(0) to (5). Bit 5 and bits 7 to 15 carry
// no fault.
const std::array<FaultKind, 6>& FaultKinds();

// The fault of a bit, or null for a bit that carries none.
const FaultKind* FaultOfBit(int bit);

// Whether the word carries the fault of the bit (only the low byte counts; bits without a fault
// never do).
bool HasFault(quint16 word, int bit);

// The names of the faults the word carries, in caption order.
QStringList FaultNames(quint16 word);

constexpr int IndicatorIndex(int column, int bit) {
    return kIndicatorsPerColumn * column + bit;
}

} // namespace kiro
