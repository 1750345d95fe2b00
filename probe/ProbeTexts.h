#pragma once

#include <QString>

namespace regprobe {

// The messages of a refused request. Each row of the dialog has its own wording for some of them,
// and users know them by it, so they are kept row by row as the rows have always shown them.
struct RowMessages {
    QString portClosed;
    QString stationEmpty;
    QString addressEmpty;
    QString stationIllegal;
    QString addressIllegal; // longer than 4 characters, or a blank inside
};

// row: 1 to 5.
const RowMessages& MessagesOfRow(int row);

// Values that do not fit a register word would make the frame a byte longer than Modbus allows.
inline const QString WriteValueTooLarge =
    QStringLiteral("Illegal write value,use 0 to 65535 and try again!");
inline const QString ReadCountTooLarge =
    QStringLiteral("Illegal read count,use 0 to 65535 and try again!");

} // namespace regprobe
