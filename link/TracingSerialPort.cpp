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
QByteArray traceLine(qint64 milliseconds, char direction, const QByteArray& bytes) {
    return QByteArray::number(milliseconds).rightJustified(kTimeWidth, ' ') + " ms " + direction +
           ' ' + bytes.toHex(' ').toUpper() + '\n';
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
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
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
        trace('<', bytes);
    return ok;
}

bool TracingSerialPort::write(const QByteArray& bytes) {
    trace('>', bytes);
    return port_.write(bytes);
}

void TracingSerialPort::trace(char direction, const QByteArray& bytes) {
    // A trace that cannot be written must not disturb the exchange it records.
    sink_->write(traceLine(clock_.elapsed(), direction, bytes));
    sink_->flush();
}

} // namespace kiro
