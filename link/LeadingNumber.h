#pragma once

#include <QString>

namespace kiro {

// The value of what a user typed into an entry: the leading decimal number of the text. Blanks
// before it are skipped, then come an optional sign, digits with at most one decimal point and an
// optional exponent ("2e" is 2); whatever follows is ignored. A text without a leading number (or
// an empty one) counts as 0. A number too large for a double comes back as infinity, which every
// range rule brings into range. The decimal point is always ".", whatever the user's locale.
double LeadingNumber(const QString& text);

} // namespace kiro
