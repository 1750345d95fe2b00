#include "SafeEnding.h"

#include "currentloop/CurrentLoopTransactions.h"

#include <QStringList>
#include <QtGlobal>
#include <csignal>

namespace {

#ifdef Q_OS_UNIX
constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
#else
constexpr int kCaughtSignals[] = {SIGINT, SIGTERM};
#endif

volatile std::sig_atomic_t firstSignal = 0;
volatile std::sig_atomic_t cutShortFlag = 0;
volatile std::sig_atomic_t ending = 0;

// Only sig_atomic_t stores: safe in a signal handler.
void noteSignal(int signal) {
    const bool first = firstSignal == 0;
    if (first)
        firstSignal = signal;
    // The first Ctrl+C asks for the step under way to finish; anything more is in a hurry. Once the
    // drive is being put right, nothing is cut short: those few writes are what the signal is for.
    if ((!first || signal != SIGINT) && !ending)
        cutShortFlag = 1;
}

void install(void (*handler)(int)) {
#ifdef Q_OS_UNIX
    // Stays installed after the first signal (std::signal may reset it), and interrupted reads and
    // writes resume.
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kCaughtSignals)
        sigaction(signal, &action, nullptr);
#else
    for (int signal : kCaughtSignals)
        std::signal(signal, handler);
#endif
}

} // namespace

SafeEnding::SafeEnding(kiro::CurrentLoopTransactions& drive) : drive_(drive) {
    firstSignal = 0;
    cutShortFlag = 0;
    ending = 0;
    install(noteSignal);
}

SafeEnding::~SafeEnding() {
    install(SIG_DFL);
}

int SafeEnding::caughtSignal() {
    return firstSignal;
}

bool SafeEnding::cutShort() {
    return cutShortFlag != 0;
}

void SafeEnding::restoreAtEnd(quint16 address, quint16 value) {
    restore_.append({address, value});
}

SafeEnding::Ending SafeEnding::leaveDriveSafe() {
    ending = 1;
    cutShortFlag = 0;
    Ending result;
    QStringList done;
    if (testModeMayBeOn_) {
        result.testModeLeft = drive_.endTest();
        testModeMayBeOn_ = false;
        done << (result.testModeLeft ? QStringLiteral("the drive has left the test mode")
                                     : QStringLiteral("the drive did not confirm leaving the "
                                                      "test mode (register 2 := 0)"));
    }
    // A drive that did not take register 2 is gone: asking it for more only takes time.
    if (!restore_.isEmpty() && result.testModeLeft) {
        QStringList registers;
        for (const auto& [address, value] : std::as_const(restore_)) {
            const bool put = drive_.writeGain(address, float(value));
            result.restored = result.restored && put;
            registers << QStringLiteral("%1 := %2%3")
                             .arg(address)
                             .arg(value)
                             .arg(put ? QString() : QStringLiteral(" (failed)"));
        }
        done << QStringLiteral("registers put back as they were: %1").arg(registers.join(", "));
    } else if (!restore_.isEmpty()) {
        result.restored = false;
        done << QStringLiteral("registers not put back");
    }
    restore_.clear();
    result.summary = done.join(QStringLiteral("; "));
    return result;
}

QString SafeEnding::signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT (Ctrl+C)");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
#ifdef Q_OS_UNIX
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    case SIGPIPE:
        return QStringLiteral("SIGPIPE (the output was closed)");
#endif
    default:
        break;
    }
    return QStringLiteral("signal %1").arg(signal);
}
