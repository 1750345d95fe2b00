#include "StandardOutput.h"

#include "ExitCodes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace standard_output {

namespace {
QString failure;

void noteFailure() {
    if (failure.isEmpty())
        failure = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
}
} // namespace

bool write(const QByteArray& text) {
    if (!failure.isEmpty())
        return false;
    errno = 0;
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
        std::fflush(stdout) != 0) {
        noteFailure();
        return false;
    }
    return true;
}

bool write(const QString& text) {
    return write(text.toUtf8());
}

bool failed() {
    return !failure.isEmpty();
}

QString problem() {
    return failure;
}

int close(int exitCode) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        noteFailure();
    // Closing reports what a file system keeps until the last moment (NFS, a full quota).
    if (std::fclose(stdout) != 0)
        noteFailure();
    if (failure.isEmpty())
        return exitCode;
    std::fprintf(stderr, "qzcli: cannot write the results to standard output: %s\n",
                 qPrintable(failure));
    // A signal's code says more (it ended the command); any other result is lost with the output.
    return exitCode >= kExitSignalBase ? exitCode : kExitUsage;
}

} // namespace standard_output
