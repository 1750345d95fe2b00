#pragma once

#include "DriveLink.h"

namespace kiro {

// A retried transaction of the tool windows: one attempt (send, the window's wait, receive) is
// repeated until the drive has answered correctly or the window's attempt limit is used up. Each
// window keeps its own waits inside the attempt. A port fault ends it at once: the link has shown
// the fault already, and asking a port that has gone away again would only repeat the message.
// True when the drive answered correctly.
template <typename Attempt>
bool RetriedTransaction(DriveLink& link, int attempts, Attempt attempt) {
    for (int made = 1;; ++made) {
        attempt();
        if (link.ReplyError() == 0)
            return true;
        if (made >= attempts || link.portFaulted())
            return false;
    }
}

} // namespace kiro
