#pragma once

#include <QString>

namespace regprobe {

// Turns a port name of the dialog ("COM1" ...) into the device to open. On Linux a folder of
// symbolic links named COM1, COM2, ... in the user's configuration folder maps names to devices
// (the same folder the tuners read, so one link serves every program); without a link COMn means
// /dev/ttyS(n-1). Other names, and every name on Windows, are used as they stand.
QString ProbeDevicePath(const QString& portName);

} // namespace regprobe
