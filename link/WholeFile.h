#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <optional>

#include <sys/stat.h>
#include <sys/types.h>

namespace kiro {

// Writes the bytes into a save file open for writing; true only when all of them are on the disk.
// A write that stops part-way (a full disk, a size limit) is not always reported by
// QSaveFile::write(), which may count the whole block as written and let commit() put the
// shortened file in the place of the old one; so the length of what the file really holds
// decides. Commit only after this has returned true.
inline bool WriteWhole(QSaveFile& file, const QByteArray& bytes) {
    if (file.write(bytes) != bytes.size() || !file.flush())
        return false;
    const int handle = file.handle();
    if (handle < 0)
        return true; // nothing more to ask the system
#ifdef Q_OS_WIN
    struct _stat64 written;
    const bool known = _fstat64(handle, &written) == 0;
#else
    struct stat written;
    const bool known = ::fstat(handle, &written) == 0;
#endif
    return known && qint64(written.st_size) == bytes.size();
}

// Puts the bytes into the file at the path in one step: a new file, or the old one replaced whole.
// Until every byte is on the disk the old file stays as it was. Empty when saved, otherwise why
// not.
inline std::optional<QString> SaveWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!WriteWhole(file, bytes)) {
        file.cancelWriting();
        return QStringLiteral("the disk took only part of the file");
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace kiro
