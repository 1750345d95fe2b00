#pragma once

#include <QString>
#include <optional>

namespace kiro {

// How the figures of a step record are written wherever they are shown: amperes to 4 decimals,
// percentages to 2, sample counts whole; a figure without a value is empty and "-0.0000" never
// shows.
constexpr int kAmpereDecimals = 4;
constexpr int kPercentDecimals = 2;

QString FigureText(std::optional<double> value, int decimals);
QString FigureText(std::optional<int> samples);

} // namespace kiro
