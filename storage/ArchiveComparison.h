#pragma once

#include "ArchiveTransfer.h"
#include "DriveComparison.h"

namespace kiro {

// Reads every register that the archive entries name from station 1, with the archive's own read,
// and compares it with what writing the entries leaves there. A register named on several lines
// is read once, where the file names it first, and compared with its last line: a restore writes
// every line in order, so the last one is what the drive keeps. Stops at the first read that
// fails (the link has reported it). progress is told the drive's content of each register.
DriveComparison CompareArchive(DriveLink& link, const QVector<ArchiveEntry>& entries,
                               const ArchiveProgress& progress = {});

// The register map's name of a register that qztune-x7 uses; empty for any other.
QString ArchiveRegisterName(quint16 address);

} // namespace kiro
