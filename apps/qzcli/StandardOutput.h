#pragma once

#include <QByteArray>
#include <QString>

// Results on standard output, every write checked: a script that reads them must never get a
// shortened result together with a success code. Each write is flushed at once, so that a failure
// (a full disk, /dev/full, a closed pipe) is seen where it happens, and nothing follows it.
namespace standard_output {

// False when the text did not reach standard output (now or in an earlier write).
bool write(const QByteArray& text);
bool write(const QString& text);
bool failed();
// Why the output failed, as the system says it.
QString problem();

// The command's exit code once standard output has been closed: a command whose output was lost
// exits with kExitUsage after saying so, unless a signal ended it.
int close(int exitCode);

} // namespace standard_output
