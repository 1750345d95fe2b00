#pragma once

#include "ArchiveFile.h"

#include <QString>
#include <QVector>
#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// Told after each register of a transfer: how many are done, of how many, and the last one.
using ArchiveProgress = std::function<void(int done, int total, const ArchiveEntry& entry)>;

struct ArchiveSaveResult {
    enum class Outcome {
        Saved,
        DriveFailed,    // a register could not be read; the file was left as it was
        FileUnwritable, // the file could not be written; the file was left as it was
    };
    Outcome outcome = Outcome::Saved;
    QString detail; // FileUnwritable: the system's reason
};

// Reads the archived registers from station 1, one read each, in file order, and writes them
// to path. The file is replaced in one step only when every register has been read and the
// whole text is on the disk, so a failed read or a full disk never leaves a stale or half
// archive behind. A path that cannot be written is found before the drive is asked anything.
ArchiveSaveResult SaveArchive(DriveLink& link, const QString& path,
                              const ArchiveProgress& progress = {});

// One register read as the archive reads it: ReadRegisters at station 1 with a count of 1. The
// unsigned register content, or nothing when the read failed after the link's retries (the link
// has reported it).
std::optional<quint16> ReadArchiveRegister(DriveLink& link, quint16 address);

// Writes the entries to station 1 in their order, one write each, and stops at the first write
// that fails; the registers before it keep their new values. True when every entry was written.
bool WriteArchive(DriveLink& link, const QVector<ArchiveEntry>& entries,
                  const ArchiveProgress& progress = {});

} // namespace kiro
