#pragma once

#include "ForwardingSerialPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <memory>

namespace kiro {

// Passes every operation to the real port and records each frame written and each block read, in
// hex with the milliseconds since the port opened: what a bus monitor would show, for diagnosing a
// bench without one or for sending the record of a session that went wrong. One line per frame,
//
//        12 ms > 01 03 00 00 00 01 84 0A
//        25 ms < 01 03 00 02 03 E8 E4 B4
//
// written and flushed as it happens, so that the record survives a crash. The clock starts anew
// at every opening of the port.
class TracingSerialPort : public ForwardingSerialPort {
public:
    // Lines to standard error.
    explicit TracingSerialPort(SerialPort& port);
    // Lines appended to the file; the file is opened at once, and null returned with the reason
    // in error when it cannot be written.
    static std::unique_ptr<TracingSerialPort> appendingTo(SerialPort& port, const QString& fileName,
                                                          QString& error);

    bool open() override;
    bool readAll(QByteArray& bytes) override;
    bool write(const QByteArray& bytes) override;

private:
    TracingSerialPort(SerialPort& port, std::unique_ptr<QFile> sink);
    void trace(char direction, const QByteArray& bytes);

    std::unique_ptr<QFile> sink_;
    QElapsedTimer clock_;
};

} // namespace kiro
