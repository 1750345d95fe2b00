#pragma once

#include <QPoint>
#include <QString>
#include <optional>

namespace kiro {

struct Variant;

// What the current-loop window does differently in the two tuners. The link failure message and
// the reply layout come from the link's own table.
struct CurrentLoopVariant {
    std::optional<QPoint> placeTwips; // where the window moves itself when it opens; none: default
    QString autoNoticeTitle;
    QString autoNoticeText;
    bool idleAfterGiveUp = false; // the lamp shows idle again after a give-up
    bool idleAfterClose = false;  // the lamp shows idle after the close has ended the test
    QString driveName; // "x7" or "qz318": the drive as qzcli and the step history name it

    static const CurrentLoopVariant& x7();
    static const CurrentLoopVariant& qz318();
    static const CurrentLoopVariant& of(const Variant& tuner);
};

} // namespace kiro
