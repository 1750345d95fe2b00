#include "StepFigureText.h"

#include <cmath>

namespace kiro {

QString FigureText(std::optional<double> value, int decimals) {
    if (!value)
        return {};
    const double scale = std::pow(10.0, decimals);
    double figure = std::round(*value * scale) / scale;
    if (figure == 0)
        figure = 0; // no minus sign on a figure that rounds to nothing
    return QString::number(figure, 'f', decimals);
}

QString FigureText(std::optional<int> samples) {
    return samples ? QString::number(*samples) : QString();
}

} // namespace kiro
