#pragma once

#include <QString>
#include <QVector>
#include <array>
#include <optional>

namespace kiro::sim {

// The drive's fault history: ten fault words, word k being column k of the tuners' fault grid.
// The drive hands them out only as the one block read of registers 16 to 25; single reads and
// writes of those addresses reach the settings the drive keeps there (the jog settings of the
// QZ318-X7, the waveform generator of the QZ318), so neither ever disturbs the other.
class FaultRecord {
public:
    static constexpr int kWords = 10;

    FaultRecord(); // a short, plausible history

    quint16 word(int column) const;
    void setWord(int column, quint16 word);
    // Column 0 first; columns not given hold no faults.
    void setWords(const QVector<quint16>& words);

    // Whether a read request is the block read of the fault words.
    static bool isFaultRead(int address, int count);

    // Takes a write that is the clear command of register 16 (0: current faults, 1: the history;
    // other values do nothing) and returns true; any other write is not the record's.
    bool takeWrite(int address, quint16 value);

    // "W0,W1,...": up to ten words, decimal or hexadecimal with 0x.
    static std::optional<QVector<quint16>> parse(const QString& list);

private:
    std::array<quint16, kWords> words_{};
};

} // namespace kiro::sim
