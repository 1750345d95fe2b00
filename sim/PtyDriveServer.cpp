#include "PtyDriveServer.h"

#include "GeneratorRegisters.h"
#include "link/Crc16.h"
#include "link/PortMap.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace kiro::sim {

namespace {

constexpr int kRequestSize = 8;
// A request arrives within a few milliseconds; bytes that sat longer belong to no frame.
constexpr int kStalePartialMs = 50;

// Long replies (the 200-register capture) are shortened in the log so that it stays readable.
QString logHex(const QByteArray& bytes) {
    constexpr int kShown = 16;
    if (bytes.size() <= 2 * kShown)
        return QString::fromLatin1(bytes.toHex(' ').toUpper());
    return QStringLiteral("%1 ... %2 (%3 bytes)")
        .arg(QString::fromLatin1(bytes.left(kShown).toHex(' ').toUpper()),
             QString::fromLatin1(bytes.right(2).toHex(' ').toUpper()))
        .arg(bytes.size());
}

bool isRequest(const QByteArray& frame) {
    const Crc16 crc = ComputeCrc16(frame.left(kRequestSize - 2));
    return quint8(frame[kRequestSize - 2]) == crc.low &&
           quint8(frame[kRequestSize - 1]) == crc.high;
}

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyDriveServer::PtyDriveServer(DriveModel& drive, QObject* parent)
    : QObject(parent), drive_(drive) {
}

PtyDriveServer::~PtyDriveServer() {
    stop();
}

bool PtyDriveServer::start(QString* error) {
    if (isRunning())
        return true;
    auto failWith = [&](const QString& reason) {
        if (error)
            *error = reason;
        stop();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return failWith(systemError("posix_openpt"));
    if (::grantpt(master_) != 0)
        return failWith(systemError("grantpt"));
    if (::unlockpt(master_) != 0)
        return failWith(systemError("unlockpt"));
    const char* name = ::ptsname(master_);
    if (!name)
        return failWith(systemError("ptsname"));
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return failWith(systemError("open slave"));
    // Raw line: no echo (the drive would hear its own replies), no translation of bytes.
    termios line{};
    if (::tcgetattr(slave_, &line) != 0)
        return failWith(systemError("tcgetattr"));
    ::cfmakeraw(&line);
    ::cfsetispeed(&line, B38400);
    ::cfsetospeed(&line, B38400);
    if (::tcsetattr(slave_, TCSANOW, &line) != 0)
        return failWith(systemError("tcsetattr"));
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

    readNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, &PtyDriveServer::readMaster);
    writeNotifier_ = new QSocketNotifier(master_, QSocketNotifier::Write, this);
    writeNotifier_->setEnabled(false);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &PtyDriveServer::flushOutput);
    staleTimer_ = new QTimer(this);
    staleTimer_->setSingleShot(true);
    connect(staleTimer_, &QTimer::timeout, this, &PtyDriveServer::dropStalePartial);
    return true;
}

bool PtyDriveServer::publish(const QString& portName, QString* error) {
    if (!isRunning()) {
        if (error)
            *error = QStringLiteral("the simulated drive is not running");
        return false;
    }
    if (!PortMap::publish(portName, slavePath_, error))
        return false;
    publishedName_ = portName;
    return true;
}

void PtyDriveServer::stop() {
    if (!publishedName_.isEmpty()) {
        PortMap::withdraw(publishedName_, slavePath_);
        publishedName_.clear();
    }
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    delete staleTimer_;
    staleTimer_ = nullptr;
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
    inbox_.clear();
    outbox_.clear();
}

void PtyDriveServer::readMaster() {
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got > 0) {
            partialAge_.start();
            inbox_.append(buffer, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: all read for now
    }
    frameRequests();
}

// Requests are 8 bytes with a CRC. Noise ahead of a frame is skipped a byte at a time until a
// frame with a right CRC lines up; the rest of a frame that went quiet for too long is dropped.
void PtyDriveServer::frameRequests() {
    while (inbox_.size() >= kRequestSize) {
        const QByteArray frame = inbox_.left(kRequestSize);
        if (!isRequest(frame)) {
            inbox_.remove(0, 1);
            continue;
        }
        inbox_.remove(0, kRequestSize);
        handle(frame);
    }
    if (inbox_.isEmpty()) {
        staleTimer_->stop();
        return;
    }
    staleTimer_->start(kStalePartialMs + 1);
}

void PtyDriveServer::dropStalePartial() {
    if (!inbox_.isEmpty() && partialAge_.elapsed() > kStalePartialMs)
        inbox_.clear();
    else if (!inbox_.isEmpty())
        staleTimer_->start(kStalePartialMs + 1 - int(partialAge_.elapsed()));
}

void PtyDriveServer::handle(const QByteArray& request) {
    const bool generatorWasRunning = drive_.generatorRunning();
    const QList<Delivery> deliveries = drive_.respond(request);
    QStringList pieces;
    for (const Delivery& delivery : deliveries) {
        pieces << logHex(delivery.bytes);
        const QByteArray bytes = delivery.bytes;
        QPointer<PtyDriveServer> self(this);
        QTimer::singleShot(qMax(0, delivery.afterMs), this, [self, bytes] {
            if (self)
                self->send(bytes);
        });
    }
    const QString line =
        QStringLiteral("%1 -> %2")
            .arg(QString::fromLatin1(request.toHex(' ').toUpper()),
                 pieces.isEmpty() ? QStringLiteral("silent") : pieces.join(QStringLiteral(" | ")));
    const QString generator = GeneratorLogLine(drive_, generatorWasRunning);
    if (log_) {
        std::fprintf(log_, "%s\n", line.toLocal8Bit().constData());
        if (!generator.isEmpty())
            std::fprintf(log_, "%s\n", generator.toLocal8Bit().constData());
        std::fflush(log_);
    }
    emit requestHandled(line);
}

void PtyDriveServer::send(const QByteArray& bytes) {
    if (!isRunning())
        return;
    outbox_.append(bytes);
    flushOutput();
}

void PtyDriveServer::flushOutput() {
    while (!outbox_.isEmpty()) {
        const ssize_t sent = ::write(master_, outbox_.constData(), size_t(outbox_.size()));
        if (sent > 0) {
            outbox_.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        break; // the terminal's buffer is full: go on when it can take more
    }
    writeNotifier_->setEnabled(!outbox_.isEmpty());
}

} // namespace kiro::sim
