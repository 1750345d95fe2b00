#pragma once

#include "SerialPort.h"

namespace kiro {

// A port that hands every operation to another one: the base of ports that watch the traffic
// (a trace, a test's log) by overriding only the operations they look at.
class ForwardingSerialPort : public SerialPort {
public:
    explicit ForwardingSerialPort(SerialPort& port) : port_(port) {}

    void setPortNumber(int number) override { port_.setPortNumber(number); }
    void setSettings(const QString& settings) override { port_.setSettings(settings); }
    void setBinaryInput(bool binary) override { port_.setBinaryInput(binary); }
    bool open() override { return port_.open(); }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    bool discardOutput() override { return port_.discardOutput(); }
    bool discardInput() override { return port_.discardInput(); }
    int bytesWaiting() override { return port_.bytesWaiting(); }
    bool readAll(QByteArray& bytes) override { return port_.readAll(bytes); }
    bool write(const QByteArray& bytes) override { return port_.write(bytes); }
    QString errorString() const override { return port_.errorString(); }

protected:
    SerialPort& port_;
};

} // namespace kiro
