#include "SimulatedSerialPort.h"

#include <algorithm>

namespace kiro::sim {

namespace {
constexpr int kRequestSize = 8; // every request of the link is one 8-byte frame
}

SimulatedSerialPort::SimulatedSerialPort(DriveModel& drive, LinkClock& clock)
    : drive_(drive), clock_(clock) {
    drive_.setClock([&clock] { return clock.nowMs(); });
}

QString SimulatedSerialPort::name() const {
    return QStringLiteral("COM%1").arg(portNumber_);
}

bool SimulatedSerialPort::fail(const QString& what) {
    error_ = what;
    return false;
}

bool SimulatedSerialPort::usable() {
    if (!open_)
        return fail(QStringLiteral("%1: port is not open").arg(name()));
    if (vanished_)
        return fail(QStringLiteral("%1: the port has gone away").arg(name()));
    return true;
}

bool SimulatedSerialPort::open() {
    if (open_)
        return fail(QStringLiteral("%1: port is already open").arg(name()));
    if (!present_)
        return fail(QStringLiteral("%1: no such port").arg(name()));
    open_ = true;
    vanished_ = false;
    ++openCount_;
    error_.clear();
    return true;
}

void SimulatedSerialPort::close() {
    if (!open_)
        return;
    open_ = false;
    if (vanished_) {
        present_ = false; // an unplugged adapter is still unplugged after closing
        vanished_ = false;
    }
    // Whatever was still travelling is lost with the closed port.
    onTheLine_.clear();
    input_.clear();
    request_.clear();
}

bool SimulatedSerialPort::discardOutput() {
    // Writes reach the drive at once, so nothing ever waits to go out.
    return usable();
}

bool SimulatedSerialPort::discardInput() {
    if (!usable())
        return false;
    // Only what has arrived is dropped; bytes still on the line arrive later, as on a real line.
    deliverDue();
    input_.clear();
    return true;
}

int SimulatedSerialPort::bytesWaiting() {
    if (!usable())
        return -1;
    deliverDue();
    return int(input_.size());
}

bool SimulatedSerialPort::readAll(QByteArray& bytes) {
    if (!usable())
        return false;
    deliverDue();
    bytes = input_;
    input_.clear();
    return true;
}

bool SimulatedSerialPort::write(const QByteArray& bytes) {
    if (!usable())
        return false;
    const qint64 now = clock_.nowMs();
    request_.append(bytes);
    while (request_.size() >= kRequestSize) {
        const QByteArray frame = request_.left(kRequestSize);
        request_.remove(0, kRequestSize);
        for (const Delivery& delivery : drive_.respond(frame))
            onTheLine_.append({now + std::max(0, delivery.afterMs), delivery.bytes});
    }
    // Pieces due at the same moment keep the order in which the drive sent them.
    std::stable_sort(onTheLine_.begin(), onTheLine_.end(),
                     [](const Pending& a, const Pending& b) { return a.dueMs < b.dueMs; });
    return true;
}

void SimulatedSerialPort::injectInput(const QByteArray& bytes) {
    if (!open_ || vanished_)
        return; // nobody is listening
    onTheLine_.append({clock_.nowMs(), bytes});
    std::stable_sort(onTheLine_.begin(), onTheLine_.end(),
                     [](const Pending& a, const Pending& b) { return a.dueMs < b.dueMs; });
}

void SimulatedSerialPort::deliverDue() {
    const qint64 now = clock_.nowMs();
    while (!onTheLine_.isEmpty() && onTheLine_.first().dueMs <= now)
        input_.append(onTheLine_.takeFirst().bytes);
}

} // namespace kiro::sim
