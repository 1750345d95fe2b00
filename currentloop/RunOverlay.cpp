#include "RunOverlay.h"

#include <algorithm>

namespace kiro {

const QVector<QColor>& RunOverlay::palette() {
    static const QVector<QColor> colours = {
        QColor(110, 140, 190), // slate blue
        QColor(190, 150, 90),  // ochre
        QColor(160, 110, 170), // mauve
        QColor(90, 160, 160),  // teal
        QColor(180, 110, 110), // brick
    };
    return colours;
}

void RunOverlay::add(StepRun run) {
    if (current_ && keeping_) {
        if (earlier_.size() == kEarlierRuns)
            earlier_.removeLast();
        const QColor colour = freeColour();
        earlier_.prepend({std::move(*current_), colour});
    }
    current_ = std::move(run);
}

void RunOverlay::clear() {
    earlier_.clear();
}

void RunOverlay::setKeeping(bool keeping) {
    keeping_ = keeping;
    if (!keeping)
        earlier_.clear();
}

QColor RunOverlay::freeColour() const {
    // There is always one: at most kEarlierRuns - 1 runs hold a colour when a new one is added.
    for (const QColor& colour : palette()) {
        const bool taken =
            std::any_of(earlier_.begin(), earlier_.end(),
                        [&](const OverlaidRun& run) { return run.colour == colour; });
        if (!taken)
            return colour;
    }
    return palette().first();
}

QString LegendTextOf(const StepRun& run) {
    const auto gain = [](std::optional<int> value) {
        return value ? QString::number(*value) : QStringLiteral("?");
    };
    return QStringLiteral("%1/%2, %3 A")
        .arg(gain(run.kp), gain(run.ki), QString::number(run.testCurrent, 'g', 7));
}

} // namespace kiro
