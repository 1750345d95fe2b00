#include "ProbeSerialPort.h"

#include "ProbeCrc16.h"
#include "ProbePortName.h"
#include "ProbePrompter.h"

#include <algorithm>

namespace regprobe {

namespace {

constexpr int QueueBytes = 2048;
constexpr int WriteMsPerByte = 50;
constexpr int WriteConstantMs = 2000;
constexpr std::chrono::milliseconds ReplyWait{200};
constexpr std::chrono::milliseconds WatcherEndWait{200};

const QString NotHexMessage = QStringLiteral("输入字符超出16进制范围，无法按16进制正常发送");
const QString CrcErrorMessage = QStringLiteral("CRC CHECK ERROR!");
const QString WaitEventMessage = QStringLiteral("Can't create event object!");

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

ProbeSerialPort::ProbeSerialPort(ProbePrompter* prompter) : prompter_(prompter) {
    // Without its wake-up the watcher could not be stopped when the port closes, so a port is
    // never opened then (OpenPort refuses).
    if (!portEvent_.valid())
        tell(WaitEventMessage, false);
}

ProbeSerialPort::~ProbeSerialPort() {
    ClosePort();
    joinWatcher();
}

platform::LineSettings ProbeSerialPort::lineSettingsFor(int baudPosition, int dataBitsPosition,
                                                        int stopBitsPosition, int parityPosition) {
    static constexpr int bauds[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    platform::LineSettings settings;
    settings.baud = baudPosition >= 0 && baudPosition < 9 ? bauds[baudPosition] : 9600;
    settings.dataBits = dataBitsPosition == 0 ? 7 : 8;
    settings.stopBits = stopBitsPosition == 1   ? platform::StopBits::OneAndHalf
                        : stopBitsPosition == 2 ? platform::StopBits::Two
                                                : platform::StopBits::One;
    settings.parity = parityPosition == 1   ? platform::Parity::Odd
                      : parityPosition == 2 ? platform::Parity::Even
                                            : platform::Parity::None;
    return settings;
}

bool ProbeSerialPort::OpenPort() {
    if (open_)
        return false;
    if (!portEvent_.valid())
        return false;
    // A watcher that outlived the last close must be gone before a new handle can appear.
    joinWatcher();

    const platform::Handle handle = platform::OpenExclusive(ProbeDevicePath(portName));
    if (handle == platform::InvalidHandle)
        return false;
    const auto settings =
        lineSettingsFor(baudPosition, dataBitsPosition, stopBitsPosition, parityPosition);
    if (!platform::SetQueuesAndTimeouts(handle, QueueBytes, WriteMsPerByte, WriteConstantMs) ||
        !platform::ApplyLineSettings(handle, settings)) {
        platform::ClosePortHandle(handle);
        return false;
    }

    handle_ = handle;
    portEvent_.rearm(handle);
    watcherEnded_.reset();
    open_ = true;
    try {
        watcher_ = std::thread(&ProbeSerialPort::WatchPort, this, handle);
    } catch (const std::system_error&) {
        open_ = false;
        platform::ClosePortHandle(handle_);
        handle_ = platform::InvalidHandle;
        return false;
    }
    return true;
}

bool ProbeSerialPort::ClosePort() {
    if (!open_)
        return true;
    open_ = false;
    RxDoneEvent.set();
    RxReadyEvent.set();
    portEvent_.wake(handle_);
    if (watcherEnded_.wait(WatcherEndWait))
        joinWatcher();
    const bool closed = platform::ClosePortHandle(handle_);
    handle_ = platform::InvalidHandle;
    return closed;
}

void ProbeSerialPort::joinWatcher() {
    if (watcher_.joinable())
        watcher_.join();
}

void ProbeSerialPort::WatchPort(platform::Handle handle) {
    while (open_) {
        const int waiting = platform::BytesWaiting(handle);
        if (waiting < 0)
            break;
        if (waiting > 0) {
            RxReadyEvent.set();
            RxDoneEvent.waitForever();
            RxDoneEvent.reset();
            continue;
        }
        if (portEvent_.wait(handle) == platform::PortEventWait::Outcome::Failed)
            break;
    }
    watcherEnded_.set();
}

std::optional<QByteArray> ProbeSerialPort::HexTextToFrame(const QString& hexText) {
    QByteArray frame;
    for (qsizetype i = 0; i < hexText.size(); ++i) {
        if (hexText[i] == QLatin1Char(' '))
            continue;
        if (i + 1 >= hexText.size())
            break; // a lone last digit is dropped
        const int high = hexDigit(hexText[i]);
        const int low = hexDigit(hexText[i + 1]);
        if (high < 0 || low < 0) {
            tell(NotHexMessage, true);
            return std::nullopt;
        }
        frame.append(char(high * 16 + low));
        ++i;
    }
    const std::uint16_t crc =
        ProbeCrc16(reinterpret_cast<const std::uint8_t*>(frame.constData()), int(frame.size()));
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

int ProbeSerialPort::SendHexFrame(const QString& hexText) {
    const auto frame = HexTextToFrame(hexText);
    if (!frame || !open_)
        return 0;
    const int count = int(frame->size());
    platform::ClearErrors(handle_);
    const int written =
        platform::WriteBytes(handle_, reinterpret_cast<const std::uint8_t*>(frame->constData()),
                             count, WriteMsPerByte * count + WriteConstantMs);
    platform::ClearErrors(handle_);
    return written;
}

bool ProbeSerialPort::ReadProbeReply(int station, int function, int expectedLength) {
    RxReadyEvent.wait(ReplyWait);
    if (!open_) {
        RxDoneEvent.set();
        return false;
    }

    receiveBuffer_.fill(0);
    const int waiting = platform::BytesWaiting(handle_);
    const int wanted = std::clamp(waiting, 0, int(receiveBuffer_.size()));
    const int got = platform::ReadWaiting(handle_, receiveBuffer_.data(), wanted);
    platform::Purge(handle_);

    // Bytes that came in before the reply (noise, a late answer) are passed over by looking for
    // the station and function code the reply must start with.
    QByteArray reply;
    if ((expectedLength == 7 || expectedLength == 8) && got >= 7) {
        for (int start = 0; start + 1 < got; ++start) {
            if (receiveBuffer_[start] == station && receiveBuffer_[start + 1] == function) {
                const int take = std::min(expectedLength, got - start);
                reply = QByteArray(reinterpret_cast<const char*>(&receiveBuffer_[start]), take);
                break;
            }
        }
    }

    if (reply.size() == expectedLength) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
        const std::uint16_t crc = ProbeCrc16(bytes, expectedLength - 2);
        if (bytes[expectedLength - 2] == (crc & 0xFF) && bytes[expectedLength - 1] == (crc >> 8)) {
            QString text;
            for (const char byte : reply)
                text += QStringLiteral("%1 ")
                            .arg(std::uint8_t(byte), 2, 16, QLatin1Char('0'))
                            .toUpper();
            if (replyHandler)
                replyHandler(text);
        } else {
            tell(CrcErrorMessage, false);
        }
    }

    RxReadyEvent.reset();
    RxDoneEvent.set();
    return true;
}

void ProbeSerialPort::tell(const QString& text, bool error) {
    if (prompter_)
        prompter_->show(
            {text, ProbeProgramName, error ? ProbeMessage::Icon::Error : ProbeMessage::Icon::None});
}

} // namespace regprobe
