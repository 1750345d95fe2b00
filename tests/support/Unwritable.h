#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kiro::test {

// Takes away the right to write a file, or to make files in a folder, for as long as it lives.
// The permissions do that for a user; an administrator (a test run as root) is not held back by
// them, so the file system's immutable flag is set as well where it can be. ok() tells whether
// the path really refuses to be written now.
class Unwritable {
public:
    explicit Unwritable(const QString& path) : path_(path), permissions_(QFile::permissions(path)) {
        QFile::setPermissions(path, permissions_ & ~(QFile::WriteOwner | QFile::WriteUser |
                                                     QFile::WriteGroup | QFile::WriteOther));
        if (!refuses())
            setImmutable(true);
        ok_ = refuses();
    }
    ~Unwritable() {
        if (immutable_)
            setImmutable(false);
        QFile::setPermissions(path_, permissions_);
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;

    bool ok() const { return ok_; }

private:
    bool refuses() const {
        if (QFileInfo(path_).isDir()) {
            QTemporaryFile probe(QDir(path_).filePath(QStringLiteral("probe-XXXXXX")));
            return !probe.open();
        }
        QFile file(path_);
        return !file.open(QIODevice::Append); // writes nothing
    }

    void setImmutable(bool on) {
#ifdef Q_OS_LINUX
        const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0)
                immutable_ = on;
        }
        ::close(fd);
#else
        Q_UNUSED(on);
#endif
    }

    QString path_;
    QFile::Permissions permissions_;
    bool immutable_ = false;
    bool ok_ = false;
};

} // namespace kiro::test
