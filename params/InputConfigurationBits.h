#pragma once

#include <QtGlobal>

namespace kiro {

// Register 255 holds the drive's input configuration as bits. The window changes one bit at a
// time and sends the whole word, made from what the drive last reported with only that bit
// changed, so that the other bits stay as the drive has them.
quint16 WithInputBit(quint16 word, quint16 mask, bool set);

} // namespace kiro
