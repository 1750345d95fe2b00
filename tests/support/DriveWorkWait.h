#pragma once

#include "link/DriveWorkQueue.h"

#include <QTest>

namespace kiro::test {

// Lets events run, as the program's top event loop does between a user's actions, until the
// drive work that windows have queued has all ended. False when it has not ended in time.
inline bool driveWorkEnded(DriveWorkQueue& queue, int timeoutMs = 10000) {
    return QTest::qWaitFor([&queue] { return queue.idle(); }, timeoutMs);
}

} // namespace kiro::test
