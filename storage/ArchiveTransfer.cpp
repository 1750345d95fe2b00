#include "ArchiveTransfer.h"

#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"
#include "link/WholeFile.h"

namespace kiro {

ArchiveSaveResult SaveArchive(DriveLink& link, const QString& path,
                              const ArchiveProgress& progress) {
    using Outcome = ArchiveSaveResult::Outcome;
    WholeFileWriter file(path);
    if (!file.open())
        return {Outcome::FileUnwritable, file.errorString()};

    QVector<ArchiveEntry> entries;
    const int total = int(reg::ArchiveRegisters.size());
    for (const quint16 address : reg::ArchiveRegisters) {
        const std::optional<quint16> value = ReadArchiveRegister(link, address);
        if (!value) {
            file.cancel();
            return {Outcome::DriveFailed, {}};
        }
        entries.append({address, *value});
        if (progress)
            progress(int(entries.size()), total, entries.last());
    }

    const QByteArray text = FormatArchive(entries);
    if (!file.write(text)) {
        file.cancel();
        return {Outcome::FileUnwritable, QStringLiteral("the disk took only part of the archive")};
    }
    if (!file.commit())
        return {Outcome::FileUnwritable, file.errorString()};
    return {Outcome::Saved, {}};
}

std::optional<quint16> ReadArchiveRegister(DriveLink& link, quint16 address) {
    link.ReadRegisters(modbus::kDriveStation, float(address), 1.0f);
    if (link.ReplyError() != 0 || link.ReadValues().isEmpty())
        return std::nullopt;
    // The archive keeps the raw word, never the signed number the link decodes.
    return link.ReadWord(0);
}

bool WriteArchive(DriveLink& link, const QVector<ArchiveEntry>& entries,
                  const ArchiveProgress& progress) {
    const int total = int(entries.size());
    int done = 0;
    for (const ArchiveEntry& entry : entries) {
        link.WriteRegister(modbus::kDriveStation, float(entry.address), float(entry.value));
        if (link.ReplyError() != 0)
            return false;
        ++done;
        if (progress)
            progress(done, total, entry);
    }
    return true;
}

} // namespace kiro
