#pragma once

#include "link/ForwardingSerialPort.h"

#include <QElapsedTimer>

// Passes every operation to the real port and prints each frame written and each block read, in
// hex with the milliseconds since the port opened, to standard error: what a bus monitor would
// show, for diagnosing a bench without one.
class TracingSerialPort : public kiro::ForwardingSerialPort {
public:
    explicit TracingSerialPort(kiro::SerialPort& port) : ForwardingSerialPort(port) {
        clock_.start();
    }

    bool readAll(QByteArray& bytes) override;
    bool write(const QByteArray& bytes) override;

private:
    void trace(const char* direction, const QByteArray& bytes);

    QElapsedTimer clock_;
};
