#include "HoverReadout.h"

#include <algorithm>
#include <cmath>

namespace kiro {

HoverReadout::HoverReadout(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("StepReadout"));
    setContentsMargins(12, 0, 0, 0); // apart from the figures it stands beside
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("sample: 199  I: -10.0000 A")));
}

int HoverReadout::NearestSample(double x, const PlotView& view, int sampleCount) {
    const double first = std::max(0, int(view.ViewLeft));
    const double last = std::min(view.ViewLeft + view.ViewWidth, sampleCount - 1);
    // A view wider than the record (an empty plot) still names a sample of the record.
    return int(std::lround(std::clamp(x, first, std::max(first, last))));
}

void HoverReadout::showAt(double x, const PlotView& view, const QVector<float>& samples) {
    if (samples.isEmpty()) {
        clear();
        return;
    }
    const int sample = NearestSample(x, view, int(samples.size()));
    setText(
        QStringLiteral("sample: %1  I: %2 A").arg(sample).arg(double(samples[sample]), 0, 'f', 4));
}

} // namespace kiro
