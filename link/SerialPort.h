#pragma once

#include <QByteArray>
#include <QString>

namespace kiro {

// The serial port operations the tuners rely on. Production talks to a QSerialPort; tests put the
// simulated drive or a pseudo-terminal behind the same interface.
//
// Operations that can fail return false and leave a description in errorString(), which the link
// shows to the user as it stands.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setPortNumber(int number) = 0;            // 1 means COM1
    virtual void setSettings(const QString& settings) = 0; // "38400,n,8,1"
    virtual void setBinaryInput(bool binary) = 0;

    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool discardOutput() = 0;
    virtual bool discardInput() = 0;
    // Number of bytes waiting in the input buffer, or -1 when the port cannot be asked.
    virtual int bytesWaiting() = 0;
    virtual bool readAll(QByteArray& bytes) = 0;
    virtual bool write(const QByteArray& bytes) = 0;

    virtual QString errorString() const = 0;
};

} // namespace kiro
