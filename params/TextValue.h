#pragma once

#include <QString>

namespace kiro {

// The value of what a user typed into an entry: the leading decimal number of the text (an
// optional sign, digits with at most one decimal point); whatever follows is ignored, and a text
// without a leading number counts as 0.
double LeadingNumber(const QString& text);

// A register value as the entries show it: the shortest decimal text, no fraction for whole
// values.
QString DecimalText(double value);

} // namespace kiro
