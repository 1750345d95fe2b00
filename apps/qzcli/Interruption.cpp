#include "Interruption.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interruptedFlag = 0;

void noteInterruption(int signal) {
    interruptedFlag = 1;
    // The next Ctrl+C gets the default treatment. Both statements are safe in a signal handler.
    std::signal(signal, SIG_DFL);
}

} // namespace

InterruptionGuard::InterruptionGuard() {
    interruptedFlag = 0;
    std::signal(SIGINT, noteInterruption);
}

InterruptionGuard::~InterruptionGuard() {
    std::signal(SIGINT, SIG_DFL);
}

bool InterruptionGuard::interrupted() const {
    return interruptedFlag != 0;
}
