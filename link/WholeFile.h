#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <memory>
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

// A file written whole or not at all. A regular file (or a new one) is written to a temporary file
// that is renamed over the old one only when every byte is on the disk, so an existing file stays
// as it was when anything fails. A path that exists and is no regular file (a device such as
// /dev/full or /dev/stdout, a named pipe) is written in place: renaming over it would replace the
// device itself, which an administrator's rights allow; there, every write is checked instead.
class WholeFileWriter {
public:
    explicit WholeFileWriter(const QString& path) {
        const QFileInfo target(path);
        if (target.exists() && !target.isFile() && !target.isDir())
            inPlace_ = std::make_unique<QFile>(path);
        else
            saveFile_ = std::make_unique<QSaveFile>(path);
    }

    bool open() {
        return inPlace_ ? inPlace_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                        : saveFile_->open(QIODevice::WriteOnly);
    }
    // True only when all the bytes were taken.
    bool write(const QByteArray& bytes) {
        if (saveFile_)
            return WriteWhole(*saveFile_, bytes);
        return inPlace_->write(bytes) == bytes.size() && inPlace_->flush();
    }
    bool commit() {
        if (saveFile_)
            return saveFile_->commit();
        inPlace_->close();
        return inPlace_->error() == QFileDevice::NoError;
    }
    void cancel() {
        if (saveFile_)
            saveFile_->cancelWriting();
        else
            inPlace_->close();
    }
    QString errorString() const {
        return saveFile_ ? saveFile_->errorString() : inPlace_->errorString();
    }

private:
    std::unique_ptr<QSaveFile> saveFile_;
    std::unique_ptr<QFile> inPlace_;
};

// Puts the bytes into the file at the path in one step: a new file, or the old one replaced whole.
// Until every byte is on the disk the old file stays as it was. Empty when saved, otherwise why
// not.
inline std::optional<QString> SaveWholeFile(const QString& path, const QByteArray& bytes) {
    WholeFileWriter file(path);
    if (!file.open())
        return file.errorString();
    if (!file.write(bytes)) {
        file.cancel();
        return QStringLiteral("the disk took only part of the file");
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace kiro
