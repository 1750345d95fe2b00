#include "QtSerialPort.h"

#include "PortMap.h"

#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kiro {

namespace {

struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "38400,n,8,1": baud rate, parity letter, data bits, stop bits.
LineSettings parseSettings(const QString& text) {
    LineSettings line;
    const QStringList fields = text.split(QLatin1Char(','));
    if (!fields.isEmpty() && fields[0].trimmed().toInt() > 0)
        line.baud = fields[0].trimmed().toInt();
    if (fields.size() > 1) {
        const QString parity = fields[1].trimmed().toLower();
        if (parity == QLatin1String("e"))
            line.parity = QSerialPort::EvenParity;
        else if (parity == QLatin1String("o"))
            line.parity = QSerialPort::OddParity;
        else if (parity == QLatin1String("m"))
            line.parity = QSerialPort::MarkParity;
        else if (parity == QLatin1String("s"))
            line.parity = QSerialPort::SpaceParity;
    }
    if (fields.size() > 2) {
        switch (fields[2].trimmed().toInt()) {
        case 5:
            line.dataBits = QSerialPort::Data5;
            break;
        case 6:
            line.dataBits = QSerialPort::Data6;
            break;
        case 7:
            line.dataBits = QSerialPort::Data7;
            break;
        default:
            break;
        }
    }
    if (fields.size() > 3) {
        const QString stop = fields[3].trimmed();
        if (stop == QLatin1String("2"))
            line.stopBits = QSerialPort::TwoStop;
        else if (stop == QLatin1String("1.5"))
            line.stopBits = QSerialPort::OneAndHalfStop;
    }
    return line;
}

} // namespace

QString DescribeOpenFailure(const QString& portName, const QString& devicePath,
                            QSerialPort::SerialPortError error) {
    const QString where =
        portName == devicePath ? portName : QStringLiteral("%1 (%2)").arg(portName, devicePath);
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(devicePath);
    if (!QFileInfo::exists(devicePath))
        return QStringLiteral("%1: no such port").arg(where);
    if (::access(path.constData(), R_OK | W_OK) != 0)
        return QStringLiteral("%1: permission denied; join the dialout group "
                              "(sudo usermod -aG dialout $USER) and log in again")
            .arg(where);
#endif
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1: no such port").arg(where);
    case QSerialPort::PermissionError:
        return QStringLiteral("%1: port is busy (opened by another program)").arg(where);
    default:
        return {};
    }
}

QtSerialPort::QtSerialPort() = default;

void QtSerialPort::setPortNumber(int number) {
    portName_ = PortMap::portName(number);
}

void QtSerialPort::setSettings(const QString& settings) {
    settings_ = settings;
}

void QtSerialPort::setBinaryInput(bool) {
    // QSerialPort always delivers bytes as they are.
}

bool QtSerialPort::open() {
    if (port_.isOpen())
        return fail(QStringLiteral("%1: port is already open").arg(portName_));
    const QString device = PortMap::devicePath(portName_);
    const LineSettings line = parseSettings(settings_);
    port_.setPortName(device);
    port_.setBaudRate(line.baud);
    port_.setParity(line.parity);
    port_.setDataBits(line.dataBits);
    port_.setStopBits(line.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QString reason = DescribeOpenFailure(portName_, device, port_.error());
        return fail(reason.isEmpty() ? QStringLiteral("%1: %2").arg(portName_, port_.errorString())
                                     : reason);
    }
    error_.clear();
    return true;
}

void QtSerialPort::close() {
    if (port_.isOpen())
        port_.close();
}

bool QtSerialPort::isOpen() const {
    return port_.isOpen();
}

bool QtSerialPort::discardOutput() {
    return port_.clear(QSerialPort::Output) || failWithPortError();
}

bool QtSerialPort::discardInput() {
    pullPendingInput();
    return port_.clear(QSerialPort::Input) || failWithPortError();
}

int QtSerialPort::bytesWaiting() {
    if (!port_.isOpen()) {
        fail(QStringLiteral("%1: port is not open").arg(portName_));
        return -1;
    }
    pullPendingInput();
    if (portVanished() || outputStuck())
        return -1;
    return int(port_.bytesAvailable());
}

bool QtSerialPort::readAll(QByteArray& bytes) {
    if (!port_.isOpen())
        return fail(QStringLiteral("%1: port is not open").arg(portName_));
    pullPendingInput();
    if (portVanished())
        return false;
    bytes = port_.readAll();
    return true;
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!port_.isOpen())
        return fail(QStringLiteral("%1: port is not open").arg(portName_));
    if (port_.write(bytes) != bytes.size())
        return failWithPortError();
    // The driver takes what it can at once; the rest goes out while the link's wait lets the
    // event loop run. Waiting here would freeze the window for as long as the port holds back.
    port_.flush();
    writeDeadline_.setRemainingTime(transmitMs(int(bytes.size())) + kWriteGraceMs);
    if (portVanished())
        return false;
    return true;
}

int QtSerialPort::transmitMs(int byteCount) const {
    // Ten bits a byte: start, eight data bits, stop.
    const qint64 baud = qMax<qint64>(1, parseSettings(settings_).baud);
    return int((byteCount * 10 * 1000 + baud - 1) / baud);
}

bool QtSerialPort::outputStuck() {
    if (port_.bytesToWrite() == 0)
        return false;
    port_.flush();
    if (port_.bytesToWrite() == 0 || !writeDeadline_.hasExpired())
        return false;
    // By now the reply should be on its way; a request that has not even left cannot have one.
    fail(QStringLiteral("%1: the request could not be sent, the port takes no output")
             .arg(portName_));
    return true;
}

bool QtSerialPort::fail(const QString& what) {
    error_ = what;
    return false;
}

bool QtSerialPort::failWithPortError() {
    return fail(QStringLiteral("%1: %2").arg(portName_, port_.errorString()));
}

bool QtSerialPort::portVanished() {
    if (port_.error() != QSerialPort::ResourceError)
        return false;
    fail(QStringLiteral("%1: the port has gone away (%2)").arg(portName_, port_.errorString()));
    return true;
}

// The poll must see what the driver holds now, not what the event loop last picked up.
void QtSerialPort::pullPendingInput() {
    if (!port_.isOpen())
        return;
    port_.waitForReadyRead(0);
    if (port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
}

} // namespace kiro
