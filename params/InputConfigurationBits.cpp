#include "InputConfigurationBits.h"

namespace kiro {

quint16 WithInputBit(quint16 word, quint16 mask, bool set) {
    return set ? quint16(word | mask) : quint16(word & ~mask);
}

} // namespace kiro
