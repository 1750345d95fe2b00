#pragma once

#include <QString>

namespace kiro::WriteKey {

// The key of drive work that writes a register, so that two controls writing the same register
// (a slider and the box beside it) replace each other's waiting work.
inline QString of(quint16 address) {
    return QStringLiteral("register %1").arg(address);
}

// The key of drive work that writes some bits of a register and leaves the others as the drive
// holds them.
inline QString ofBits(quint16 address, quint16 mask) {
    return QStringLiteral("register %1 bits %2").arg(address).arg(mask, 4, 16, QLatin1Char('0'));
}

// The key of a command written to a register: two different commands of one register (clear the
// current faults, clear the history) are both carried out, a second click on the same one adds
// nothing.
inline QString ofCommand(quint16 address, quint16 value) {
    return QStringLiteral("register %1 := %2").arg(address).arg(value);
}

} // namespace kiro::WriteKey
