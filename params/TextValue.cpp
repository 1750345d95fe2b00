#include "TextValue.h"

namespace kiro {

QString DecimalText(double value) {
    return QString::number(value, 'g', 10);
}

} // namespace kiro
