#pragma once

#include "ForwardingSerialPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <functional>
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
//
// A trace that cannot be written (a full disk, a file taken away) stops at the last whole line it
// could write and says so once through the failure handler; the exchange it records goes on.
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

    // Told once, with the reason, when the trace stops because its file cannot be written.
    void onFailure(std::function<void(const QString& why)> handler) {
        failureHandler_ = std::move(handler);
    }
    // Asked for each block received; a non-empty answer is added to its line ("late").
    void noteReceived(std::function<QByteArray(const QByteArray& bytes)> note) {
        receivedNote_ = std::move(note);
    }
    bool stopped() const { return stopped_; }

private:
    TracingSerialPort(SerialPort& port, std::unique_ptr<QFile> sink);
    void trace(char direction, const QByteArray& bytes, const QByteArray& note = {});

    std::unique_ptr<QFile> sink_;
    QElapsedTimer clock_;
    std::function<void(const QString&)> failureHandler_;
    std::function<QByteArray(const QByteArray&)> receivedNote_;
    bool stopped_ = false;
};

} // namespace kiro
