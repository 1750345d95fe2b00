#pragma once

#include <QByteArray>
#include <QSaveFile>

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

} // namespace kiro
