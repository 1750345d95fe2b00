#pragma once

#include <QString>

namespace regprobe {

// The leading decimal number of a text (leading blanks skipped, 0 when no digit follows), without
// limit so that values too large for a register can be refused rather than cut.
qulonglong LeadingDecimal(const QString& text, bool* hasDigits = nullptr);

// "1000" -> "3E8": upper case, no leading zeros, "0" for 0.
QString DecimalToHexText(const QString& text);
// "12 34" -> "4660": the hexadecimal digits of the text read as one number.
QString HexTextToDecimal(const QString& text);
// "03 E8" -> "0011 1110 1000 ": a 4-bit group and a blank per digit after the leading zeros;
// "0000" when nothing is left.
QString HexTextToBinary(const QString& text);

} // namespace regprobe
