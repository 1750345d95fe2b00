#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

namespace kiro {

// One register whose content in the drive is not what a file gives it. Both values are written as
// the file writes them, so that a person compares like with like.
struct RegisterDifference {
    quint16 address = 0;
    QString name; // empty where the register has no name
    QString fileValue;
    QString driveValue;

    friend bool operator==(const RegisterDifference&, const RegisterDifference&) = default;
};

// What a drive holds measured against a file: every register the file names, read back.
struct DriveComparison {
    enum class Outcome {
        Same,        // the drive holds the file
        Differs,     // the registers in differences hold something else
        DriveFailed, // a register could not be read; nothing is known
    };
    Outcome outcome = Outcome::DriveFailed;
    QVector<RegisterDifference> differences; // in file order
    int compared = 0;                        // registers read and compared
};

} // namespace kiro
