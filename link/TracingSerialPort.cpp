#include "TracingSerialPort.h"

#include <cstdio>

namespace kiro {

namespace {
constexpr int kTimeWidth = 8;

std::unique_ptr<QFile> standardError() {
    auto file = std::make_unique<QFile>();
    // Through the C stream, so that the trace and the progress lines keep their order.
    file->open(stderr, QIODevice::WriteOnly);
    return file;
}

// "      12 ms > 01 03 ...": sent (>) or received (<).
QByteArray traceLine(qint64 milliseconds, char direction, const QByteArray& bytes,
                     const QByteArray& note) {
    return QByteArray::number(milliseconds).rightJustified(kTimeWidth, ' ') + " ms " + direction +
           ' ' + bytes.toHex(' ').toUpper() + (note.isEmpty() ? QByteArray() : "  " + note) + '\n';
}
} // namespace

TracingSerialPort::TracingSerialPort(SerialPort& port) : TracingSerialPort(port, standardError()) {
}

TracingSerialPort::TracingSerialPort(SerialPort& port, std::unique_ptr<QFile> sink)
    : ForwardingSerialPort(port), sink_(std::move(sink)) {
    // A port that is already open counts from now.
    clock_.start();
}

std::unique_ptr<TracingSerialPort>
TracingSerialPort::appendingTo(SerialPort& port, const QString& fileName, QString& error) {
    auto file = std::make_unique<QFile>(fileName);
    // Unbuffered: a line the disk refuses is known at once, not at some later flush or close.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = file->errorString();
        return nullptr;
    }
    return std::unique_ptr<TracingSerialPort>(new TracingSerialPort(port, std::move(file)));
}

bool TracingSerialPort::open() {
    if (!port_.open())
        return false;
    clock_.restart();
    return true;
}

bool TracingSerialPort::readAll(QByteArray& bytes) {
    const bool ok = port_.readAll(bytes);
    if (ok && !bytes.isEmpty())
        trace('<', bytes, receivedNote_ ? receivedNote_(bytes) : QByteArray());
    return ok;
}

bool TracingSerialPort::write(const QByteArray& bytes) {
    trace('>', bytes);
    return port_.write(bytes);
}

void TracingSerialPort::trace(char direction, const QByteArray& bytes, const QByteArray& note) {
    // A trace that cannot be written must not disturb the exchange it records.
    if (stopped_)
        return;
    const QByteArray line = traceLine(clock_.elapsed(), direction, bytes, note);
    const qint64 before = sink_->size();
    if (sink_->write(line) == line.size() && sink_->flush())
        return;
    stopped_ = true;
    const QString why = sink_->errorString();
    // Whatever part of the line reached a regular file goes again, so that the record ends with a
    // whole line; a device or pipe keeps what it took.
    if (!sink_->isSequential())
        sink_->resize(before);
    if (failureHandler_)
        failureHandler_(why);
}

} // namespace kiro
