#pragma once

#include "StepRun.h"

#include <QImage>
#include <QString>
#include <optional>

namespace kiro {

// Saving the current run for a report or another program: its record as CSV (the form of the step
// history), or the plot as it is shown as a PNG picture.
namespace step_export {

const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kPngFilter = QStringLiteral("PNG (*.png)");
// Both, for the save dialog; CSV first, as the data is what most users want.
QString filters();

enum class Kind { Csv, Png };

struct Target {
    QString path;
    Kind kind = Kind::Csv;
};

// What to write where: a name ending in .csv or .png says the kind itself; any other name takes
// the kind of the filter chosen in the dialog, and its suffix.
Target TargetFor(const QString& chosenPath, const QString& chosenFilter);

// Writes the run, or the picture, in one step: a failed write leaves any file of that name as it
// was. Empty when saved, otherwise why not.
std::optional<QString> Save(const Target& target, const StepRun& run, const QImage& picture);

} // namespace step_export

} // namespace kiro
