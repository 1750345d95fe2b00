#pragma once

#include <QString>

namespace kiro {

// How the two drives answer a read of n registers.
enum class ReplyLayout {
    WideByteCount,   // QZ318-X7: 16-bit byte count, 2n + 6 bytes
    NarrowByteCount, // QZ318: 8-bit byte count (standard Modbus RTU), 2n + 5 bytes
};

// Everything the drive link does differently for the two tuners.
struct LinkVariant {
    ReplyLayout layout;
    QString failureTitle; // shown when the retrying routines give up
    QString failureMessage;

    static const LinkVariant& x7();
    static const LinkVariant& qz318();
    // "x7" or "qz318"; nullptr for any other name.
    static const LinkVariant* byName(const QString& name);
};

} // namespace kiro
