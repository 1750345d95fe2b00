#include "ProbePlatform.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace regprobe::platform {

// Lives in its own file because the kernel's termios2 header cannot be mixed with <termios.h>.
bool SetCustomBaud(int fd, int baud);

const Handle InvalidHandle = -1;

Handle OpenExclusive(const QString& devicePath) {
    if (devicePath.isEmpty())
        return InvalidHandle;
    const int fd = ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return InvalidHandle;
    // TIOCEXCL keeps other users out (but not root); the lock also stops a second open by root or
    // by this very program, which is what "in use" means to the user.
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return InvalidHandle;
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

bool ClosePortHandle(Handle handle) {
    ::ioctl(handle, TIOCNXCL);
    return ::close(handle) == 0;
}

bool SetQueuesAndTimeouts(Handle handle, int, int, int) {
    // The tty layer's queues are fixed and larger than the 2048 bytes asked for; reads return at
    // once through VMIN = VTIME = 0 (ApplyLineSettings), and WriteBytes keeps the write deadline.
    return handle >= 0;
}

static speed_t standardSpeed(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

bool ApplyLineSettings(Handle handle, const LineSettings& settings) {
    termios tio{};
    if (::tcgetattr(handle, &tio) != 0)
        return false;
    // A 1.5 stop bit frame exists only for 5 data bits, which the probe never uses; the serial
    // driver of Windows refuses it too, so the open fails the same way on both.
    if (settings.stopBits == StopBits::OneAndHalf)
        return false;

    // Binary: no line editing, no echo, no translation of CR/LF, no signals from the data.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IGNPAR);
    tio.c_iflag |= INPCK;
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL | (settings.dataBits == 7 ? CS7 : CS8);
    if (settings.parity != Parity::None)
        tio.c_cflag |= PARENB | (settings.parity == Parity::Odd ? PARODD : 0);
    if (settings.stopBits == StopBits::Two)
        tio.c_cflag |= CSTOPB;
    // A read returns at once with what has arrived.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const speed_t speed = standardSpeed(settings.baud);
    const speed_t placeholder = speed == B0 ? B9600 : speed;
    if (::cfsetispeed(&tio, placeholder) != 0 || ::cfsetospeed(&tio, placeholder) != 0)
        return false;
    if (::tcsetattr(handle, TCSANOW, &tio) != 0)
        return false;
    if (speed == B0 && !SetCustomBaud(handle, settings.baud))
        return false;

    // Pseudo-terminals and some adapters have no modem lines; that is no reason to refuse the port.
    const int rts = TIOCM_RTS;
    ::ioctl(handle, TIOCMBIS, &rts);
    return true;
}

int BytesWaiting(Handle handle) {
    int waiting = 0;
    if (::ioctl(handle, FIONREAD, &waiting) != 0)
        return -1;
    return waiting;
}

int ReadWaiting(Handle handle, std::uint8_t* buffer, int maxBytes) {
    int total = 0;
    while (total < maxBytes) {
        const ssize_t got = ::read(handle, buffer + total, maxBytes - total);
        if (got > 0)
            total += int(got);
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return total;
}

int WriteBytes(Handle handle, const std::uint8_t* bytes, int count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int written = 0;
    while (written < count) {
        const ssize_t put = ::write(handle, bytes + written, count - written);
        if (put > 0) {
            written += int(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR)
            break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd pfd{handle, POLLOUT, 0};
        ::poll(&pfd, 1, int(left));
    }
    return written;
}

void Purge(Handle handle) {
    ::tcflush(handle, TCIOFLUSH);
}

void ClearErrors(Handle) {
    // The tty layer keeps no error state that blocks further I/O.
}

PortEventWait::PortEventWait() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
}

PortEventWait::~PortEventWait() {
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool PortEventWait::valid() const {
    return wakeFd_ >= 0;
}

PortEventWait::Outcome PortEventWait::wait(Handle handle) {
    pollfd fds[2] = {{handle, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return Outcome::Failed;
        if (fds[1].revents & POLLIN)
            return Outcome::Woken;
        if (fds[0].revents & POLLIN)
            return Outcome::Received;
        // Hang-up or an error on the line: the port is gone, waiting again would spin.
        return Outcome::Failed;
    }
}

void PortEventWait::wake(Handle) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto put = ::write(wakeFd_, &one, sizeof one);
}

void PortEventWait::rearm(Handle) {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(wakeFd_, &count, sizeof count);
}

} // namespace regprobe::platform
