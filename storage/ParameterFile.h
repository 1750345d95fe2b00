#pragma once

#include "ParameterSet.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace kiro {

// The parameter file (.kvx): 15 lines "name=value" in index order, each ending in CR LF, in code
// page 936 (GBK) as the Chinese names require. A value is written as the program prints a number:
// the sign position (a blank, or "-"), the number in its shortest form with up to seven
// significant digits and no leading zero before the point, and a trailing blank (" 16 ", " .5 ").
// The current (index 2) is in amperes.
//
// A file opens only as a whole: the first 15 lines must each hold a name, "=" and a number that
// its register can take; lines after the 15th are ignored; a line's position, not its name,
// decides its register.
struct ParameterFileReading {
    std::optional<ParameterSet> set;
    int badLine = 0; // 1-based line that refused the file; 0 when the file itself failed
    QString problem; // why, in words for a log or a console; empty on success
};

ParameterFileReading DecodeParameterFile(const QByteArray& bytes);
ParameterFileReading ReadParameterFile(const QString& path);

// Empty when a name cannot be written in code page 936.
std::optional<QByteArray> EncodeParameterFile(const ParameterSet& set);
// Writes the whole file or nothing: an existing file stays as it was when anything fails.
bool WriteParameterFile(const QString& path, const ParameterSet& set, QString* problem = nullptr);

// " 16 ", "-3 ", " .5 ".
QString FormatFileNumber(float value);
// A decimal number with blanks around it (".5", "1.25", "-3", "1E+07"); empty for anything else.
std::optional<float> ParseFileNumber(QStringView text);

} // namespace kiro
