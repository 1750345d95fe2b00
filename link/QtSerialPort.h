#pragma once

#include "SerialPort.h"

#include <QDeadlineTimer>
#include <QSerialPort>

namespace kiro {

// The tuners' serial port on a real device, found through the port map.
class QtSerialPort : public SerialPort {
public:
    QtSerialPort();

    void setPortNumber(int number) override;
    void setSettings(const QString& settings) override;
    void setBinaryInput(bool binary) override;

    bool open() override;
    void close() override;
    bool isOpen() const override;

    bool discardOutput() override;
    bool discardInput() override;
    int bytesWaiting() override;
    bool readAll(QByteArray& bytes) override;
    bool write(const QByteArray& bytes) override;

    QString errorString() const override { return error_; }

    // For programs that name the port directly ("COM3").
    void setPortName(const QString& name) { portName_ = name; }
    const QString& portName() const { return portName_; }

private:
    bool fail(const QString& what);
    bool failWithPortError();
    bool portVanished();
    void pullPendingInput();
    // True (with the reason in errorString) when part of the last request is still waiting to go
    // out after the time it takes on the line plus a grace: the reply wait has passed by then.
    bool outputStuck();
    int transmitMs(int byteCount) const;

    static constexpr int kWriteGraceMs = 30;

    QSerialPort port_;
    QString portName_ = QStringLiteral("COM1");
    QString settings_ = QStringLiteral("9600,n,8,1");
    QString error_;
    QDeadlineTimer writeDeadline_;
};

// Why a serial device cannot be opened, in words a user can act on; empty if nothing is known.
QString DescribeOpenFailure(const QString& portName, const QString& devicePath,
                            QSerialPort::SerialPortError error);

} // namespace kiro
