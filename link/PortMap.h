#pragma once

#include <QString>

namespace kiro {

// Where a port name such as "COM3" leads. On Linux a folder of symbolic links named COM1, COM2, ...
// in the user's configuration folder maps names to devices (the same convention as the dosdevices
// folder of Windows-compatibility layers); without a link COMn means /dev/ttyS(n-1). On Windows the
// name is used as it stands.
class PortMap {
public:
    static QString folder();
    static QString portName(int number); // "COM<number>"
    static QString devicePath(const QString& portName);

    // Points portName at target (used by the simulated drive); replaces an older link.
    static bool publish(const QString& portName, const QString& target, QString* error);
    // Removes the link if it still points at target.
    static void withdraw(const QString& portName, const QString& target);
};

} // namespace kiro
