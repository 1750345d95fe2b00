#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace kiro::test {

// For as long as it lives, no file of the process can grow beyond the given size, as on a disk
// that has run full: a write past it fails (EFBIG) in the middle of writing, instead of ending
// the process with SIGXFSZ. ok() tells whether the limit is in force.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes) {
#ifdef Q_OS_UNIX
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0)
            return;
        rlimit limited = saved_;
        limited.rlim_cur = rlim_t(bytes);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
        if (!ok_)
            std::signal(SIGXFSZ, previous_);
#else
        Q_UNUSED(bytes);
#endif
    }
    ~FileSizeLimit() {
#ifdef Q_OS_UNIX
        if (!ok_)
            return;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
#endif
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok() const {
        return ok_;
    }

private:
    bool ok_ = false;
#ifdef Q_OS_UNIX
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
#endif
};

} // namespace kiro::test
