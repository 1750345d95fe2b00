#include "ArchiveTransfer.h"

#include "link/DriveLink.h"
#include "link/RegisterMap.h"

#include <QSaveFile>

namespace kiro {

namespace {
constexpr quint8 kStation = 1;
}

ArchiveSaveResult SaveArchive(DriveLink& link, const QString& path,
                              const ArchiveProgress& progress) {
    using Outcome = ArchiveSaveResult::Outcome;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {Outcome::FileUnwritable, file.errorString()};

    DriveLink::Session session(link);
    QVector<ArchiveEntry> entries;
    const int total = int(reg::ArchiveRegisters.size());
    for (const quint16 address : reg::ArchiveRegisters) {
        const std::optional<quint16> value = ReadArchiveRegister(link, address);
        if (!value) {
            file.cancelWriting();
            return {Outcome::DriveFailed, {}};
        }
        entries.append({address, *value});
        if (progress)
            progress(int(entries.size()), total, entries.last());
    }

    const QByteArray text = FormatArchive(entries);
    if (file.write(text) != text.size() || !file.commit())
        return {Outcome::FileUnwritable, file.errorString()};
    return {Outcome::Saved, {}};
}

std::optional<quint16> ReadArchiveRegister(DriveLink& link, quint16 address) {
    link.ReadRegisters(kStation, float(address), 1.0f);
    if (link.ReplyError() != 0 || link.ReadValues().isEmpty())
        return std::nullopt;
    // The link decodes registers as signed numbers; the archive keeps the raw word.
    return quint16(int(link.ReadValues().first()) & 0xFFFF);
}

bool WriteArchive(DriveLink& link, const QVector<ArchiveEntry>& entries,
                  const ArchiveProgress& progress) {
    DriveLink::Session session(link);
    const int total = int(entries.size());
    int done = 0;
    for (const ArchiveEntry& entry : entries) {
        link.WriteRegister(kStation, float(entry.address), float(entry.value));
        if (link.ReplyError() != 0)
            return false;
        ++done;
        if (progress)
            progress(done, total, entry);
    }
    return true;
}

} // namespace kiro
