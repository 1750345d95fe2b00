#pragma once

#include "link/LinkClock.h"
#include "link/SerialPort.h"
#include "sim/DriveModel.h"

#include <QList>

namespace kiro::sim {

// The simulated drive behind the tuners' serial-port seam, in the same process: a request written
// to the port is answered by the model, and the reply's bytes become readable when the clock
// reaches their delivery time.
class SimulatedSerialPort : public SerialPort {
public:
    SimulatedSerialPort(DriveModel& drive, LinkClock& clock);

    void setPortNumber(int number) override { portNumber_ = number; }
    void setSettings(const QString& settings) override { settings_ = settings; }
    void setBinaryInput(bool binary) override { binary_ = binary; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return open_; }

    bool discardOutput() override;
    bool discardInput() override;
    int bytesWaiting() override;
    bool readAll(QByteArray& bytes) override;
    bool write(const QByteArray& bytes) override;

    QString errorString() const override { return error_; }

    // Test controls: a port that does not exist (open fails), and a port that disappears while
    // open (every operation fails until it is closed; like an unplugged adapter, it stays absent
    // afterwards until setPresent(true) plugs it back in).
    void setPresent(bool present) { present_ = present; }
    void vanish() { vanished_ = true; }
    // Bytes that arrive on the line with no request, as a noisy line would bring them.
    void injectInput(const QByteArray& bytes);

    int portNumber() const { return portNumber_; }
    const QString& settings() const { return settings_; }
    bool binaryInput() const { return binary_; }
    int openCount() const { return openCount_; }

private:
    struct Pending {
        qint64 dueMs;
        QByteArray bytes;
    };

    bool fail(const QString& what);
    bool usable(); // open and still there; otherwise fails with a reason
    void deliverDue();
    QString name() const;

    QList<Pending> onTheLine_; // sent by the drive, not yet arrived
    QByteArray input_;         // arrived, waiting to be read
    QByteArray request_;       // a request written only in part so far
    DriveModel& drive_;
    LinkClock& clock_;
    int portNumber_ = 1;
    QString settings_;
    bool binary_ = false;
    bool open_ = false;
    bool present_ = true;
    bool vanished_ = false;
    int openCount_ = 0;
    QString error_;
};

} // namespace kiro::sim
