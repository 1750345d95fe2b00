#pragma once

#include "link/SerialPort.h"

#include <QElapsedTimer>

// Passes every operation to the real port and prints each frame written and each block read, in
// hex with the milliseconds since the port opened, to standard error: what a bus monitor would
// show, for diagnosing a bench without one.
class TracingSerialPort : public kiro::SerialPort {
public:
    explicit TracingSerialPort(kiro::SerialPort& port) : port_(port) { clock_.start(); }

    void setPortNumber(int number) override { port_.setPortNumber(number); }
    void setSettings(const QString& settings) override { port_.setSettings(settings); }
    void setBinaryInput(bool binary) override { port_.setBinaryInput(binary); }
    bool open() override { return port_.open(); }
    void close() override { port_.close(); }
    bool isOpen() const override { return port_.isOpen(); }
    bool discardOutput() override { return port_.discardOutput(); }
    bool discardInput() override { return port_.discardInput(); }
    int bytesWaiting() override { return port_.bytesWaiting(); }
    bool readAll(QByteArray& bytes) override;
    bool write(const QByteArray& bytes) override;
    QString errorString() const override { return port_.errorString(); }

private:
    void trace(const char* direction, const QByteArray& bytes);

    kiro::SerialPort& port_;
    QElapsedTimer clock_;
};
