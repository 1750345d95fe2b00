#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace kiro {
class CurrentLoopTransactions;
}

// How a command that puts the drive into a state of its own (the step test mode, the gains of a
// sweep) ends, whatever ends it: the command's last step, a failure, Ctrl+C, a second Ctrl+C,
// SIGTERM, SIGHUP or a closed pipe (SIGPIPE). While it lives, these signals are caught: the
// handler only takes note, and the command asks between drive jobs whether to stop.
//
// - The first Ctrl+C lets the running step finish and starts no other.
// - Any other signal, or a second one, cuts the running transaction short as well (cutShort(),
//   which the link's clock asks while it waits).
//
// Then leaveDriveSafe() writes register 2 := 0 when a step may have reached the drive, and puts
// back the registers the command asked it to restore; a command that a signal ended exits with
// exitCode(), 128 + the signal. Further signals during that ending are noted and change nothing:
// the ending is bounded by the attempts of its few writes.
class SafeEnding {
public:
    explicit SafeEnding(kiro::CurrentLoopTransactions& drive);
    ~SafeEnding();
    SafeEnding(const SafeEnding&) = delete;
    SafeEnding& operator=(const SafeEnding&) = delete;

    // The first signal caught, 0 while none.
    static int caughtSignal();
    static bool stopRequested() { return caughtSignal() != 0; }
    // The transaction under way should fail now rather than finish.
    static bool cutShort();

    // A step command (register 2 := 1) may have reached the drive.
    void testModeMayBeOn() { testModeMayBeOn_ = true; }
    // Registers to put back at the end, with the values they hold now.
    void restoreAtEnd(quint16 address, quint16 value);

    struct Ending {
        bool testModeLeft = true; // register 2 := 0 arrived, or no step was sent
        bool restored = true;     // every register to put back arrived
        QString summary;          // for the closing message: what was done to the drive
    };
    // Leaves the drive as it should be; runs once, with the link's waits in full again.
    Ending leaveDriveSafe();

    // 128 + the signal that ended the command.
    static int exitCode() { return 128 + caughtSignal(); }
    // "SIGINT (Ctrl+C)", "SIGTERM", ...
    static QString signalName(int signal);

private:
    kiro::CurrentLoopTransactions& drive_;
    bool testModeMayBeOn_ = false;
    QList<std::pair<quint16, quint16>> restore_;
};
