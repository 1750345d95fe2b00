#pragma once

#include <QString>

// The exit codes of every qzcli command: a bench script reads nothing else, so this table is the
// one source of the codes and of their meaning in --help (README and the manual page repeat it).
enum ExitCode {
    kExitDone = 0,
    kExitDriveFailed = 1,
    kExitUsage = 2, // wrong arguments, or a file or output that cannot be used
    kExitPort = 3,
    kExitDiffers = 4,   // the drive holds something other than the file it was compared with
    kExitNoPairMet = 5, // tune: no pair met the limits; the drive keeps its gains
};

// 128 + the signal, as a shell reports a program that a signal ended: 130 for Ctrl+C (SIGINT),
// 129 SIGHUP, 141 a closed pipe (SIGPIPE), 143 SIGTERM.
constexpr int kExitSignalBase = 128;

// The table as --help prints it.
QString exitCodeHelp();
