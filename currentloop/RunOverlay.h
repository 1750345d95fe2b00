#pragma once

#include "StepRun.h"

#include <QColor>
#include <QVector>
#include <optional>

namespace kiro {

// An earlier run as the plot shows it under the current one.
struct OverlaidRun {
    StepRun run;
    QColor colour;
};

// The runs of the current-loop window: the current one, and while keeping is on the last
// kEarlierRuns before it, each in a muted colour of its own that it keeps as long as it stays on
// the plot. The colours are none of the plot's own (its field, grid, curve, zoom box and lines),
// so that every line on the plot says what it is.
class RunOverlay {
public:
    static constexpr int kEarlierRuns = 5;
    static const QVector<QColor>& palette();

    // A new run becomes the current one; the one before it joins the earlier runs (the oldest of
    // them leaves when there are too many).
    void add(StepRun run);
    // The earlier runs go; the current one stays.
    void clear();
    // Off: the earlier runs go and new runs are not kept.
    void setKeeping(bool keeping);
    bool keeping() const { return keeping_; }

    const std::optional<StepRun>& current() const { return current_; }
    const QVector<OverlaidRun>& earlier() const { return earlier_; } // newest first

private:
    QColor freeColour() const;

    std::optional<StepRun> current_;
    QVector<OverlaidRun> earlier_;
    bool keeping_ = true;
};

// How the legend names a run: "Kp/Ki, I", as "1000/300, 1.5 A" ("?" for a gain nobody read).
QString LegendTextOf(const StepRun& run);

} // namespace kiro
