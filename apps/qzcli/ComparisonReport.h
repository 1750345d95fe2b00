#pragma once

#include "storage/DriveComparison.h"

#include <QString>

// A field of a CSV line: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break (a parameter file's names are the user's own text).
QString csvField(const QString& text);

// Ends verify, restore --verify and load --verify alike: the registers that differ as CSV on
// standard output (the header register,name,file,drive comes also when none differ), a summary on
// standard error, and the exit code: done, differs, or the drive failed.
int reportComparison(const kiro::DriveComparison& comparison, const QString& path);
