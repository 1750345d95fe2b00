#pragma once

#include "PlotZoom.h"

#include <QLabel>
#include <QVector>

namespace kiro {

// Beside the figures: the sample under the mouse pointer and its current, read off the current
// run ("sample: 44  I: 1.5000 A"), so that an engineer can take values off the curve without
// exporting it.
class HoverReadout : public QLabel {
    Q_OBJECT
public:
    explicit HoverReadout(QWidget* parent = nullptr);

    // The sample nearest to x (in the plot's units) within the view and the record.
    static int NearestSample(double x, const PlotView& view, int sampleCount);

    void showAt(double x, const PlotView& view, const QVector<float>& samples);
};

} // namespace kiro
