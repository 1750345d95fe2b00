#include "ProbeSerialPort.h"

#include "ManualResetEvent.h"
#include "ProbeCrc16.h"
#include "ProbePortName.h"
#include "ProbePrompter.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

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
const QString ReadEventMessage = QStringLiteral("为重叠读创建事件对象失败!");
const QString WriteEventMessage = QStringLiteral("为重叠写创建事件对象失败!");

// The shortest reply a station can give (station, function, one byte, CRC). Anything expected to
// be shorter has no bytes before its CRC to check.
constexpr int SmallestReply = 5;

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

struct ProbeSerialPort::WatchShare {
    std::atomic<bool> open{false};
    ManualResetEvent RxReadyEvent;
    ManualResetEvent RxDoneEvent;
    platform::PortEventWait portEvent;

    // Set while no watcher runs.
    ManualResetEvent watcherEnded;
    std::mutex ending;
    bool watcherRunning = false; // guarded by ending
    // A port the close had to leave open because the watcher still used it; guarded by ending.
    platform::Handle leftToClose = platform::InvalidHandle;
};

ProbeSerialPort::ProbeSerialPort(ProbePrompter* prompter)
    : prompter_(prompter), share_(std::make_shared<WatchShare>()) {
    share_->watcherEnded.set();
    // Without its wake-up the watcher could not be stopped when the port closes, so a port is
    // never opened then (OpenPort refuses).
    if (!share_->portEvent.valid())
        tell(WaitEventMessage, false);
}

ProbeSerialPort::~ProbeSerialPort() {
    ClosePort();
}

bool ProbeSerialPort::isOpen() const {
    return share_->open;
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
    if (share_->open)
        return false;
    if (!share_->portEvent.valid())
        return false;
    // A watcher that outlived the last close still holds that port. It ends within moments, but
    // the user-interface thread waits for it no longer than a close does: until then the port
    // counts as in use.
    if (!share_->watcherEnded.wait(WatcherEndWait))
        return false;

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

    share_->portEvent.rearm(handle);
    share_->watcherEnded.reset();
    setWatcherRunning(true);
    share_->open = true;
    try {
        std::thread(&ProbeSerialPort::WatchPort, share_, handle).detach();
    } catch (const std::system_error&) {
        share_->open = false;
        setWatcherRunning(false);
        share_->watcherEnded.set();
        platform::ClosePortHandle(handle);
        return false;
    }
    handle_ = handle;
    return true;
}

void ProbeSerialPort::setWatcherRunning(bool running) {
    std::lock_guard lock(share_->ending);
    share_->watcherRunning = running;
}

bool ProbeSerialPort::ClosePort() {
    if (!share_->open)
        return true;
    share_->open = false;
    share_->RxDoneEvent.set();
    share_->RxReadyEvent.set();
    share_->portEvent.wake(handle_);
    const platform::Handle handle = std::exchange(handle_, platform::InvalidHandle);
    if (!share_->watcherEnded.wait(WatcherEndWait)) {
        std::lock_guard lock(share_->ending);
        if (share_->watcherRunning) {
            // The watcher may still ask this port for bytes: it closes the port itself when it
            // ends, so that it never asks a closed descriptor, or one handed out again since.
            share_->leftToClose = handle;
            return true;
        }
    }
    return platform::ClosePortHandle(handle);
}

void ProbeSerialPort::WatchPort(std::shared_ptr<WatchShare> share, platform::Handle handle) {
    while (share->open) {
        const int waiting = platform::BytesWaiting(handle);
        if (waiting < 0)
            break;
        if (waiting > 0) {
            share->RxReadyEvent.set();
            share->RxDoneEvent.waitForever();
            share->RxDoneEvent.reset();
            continue;
        }
        if (share->portEvent.wait(handle) == platform::PortEventWait::Outcome::Failed)
            break;
    }
    {
        std::lock_guard lock(share->ending);
        share->watcherRunning = false;
        if (share->leftToClose != platform::InvalidHandle)
            platform::ClosePortHandle(std::exchange(share->leftToClose, platform::InvalidHandle));
    }
    share->watcherEnded.set();
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
    if (!frame || !share_->open)
        return 0;
    const int count = int(frame->size());
    platform::ClearErrors(handle_);
    const int written =
        platform::WriteBytes(handle_, reinterpret_cast<const std::uint8_t*>(frame->constData()),
                             count, WriteMsPerByte * count + WriteConstantMs);
    platform::ClearErrors(handle_);
    if (written == platform::NoCompletionEvent) {
        tell(WriteEventMessage, false);
        return 0;
    }
    return written;
}

bool ProbeSerialPort::ReadProbeReply(int station, int function, int expectedLength) {
    share_->RxReadyEvent.wait(ReplyWait);
    if (!share_->open) {
        share_->RxDoneEvent.set();
        return false;
    }

    receiveBuffer_.fill(0);
    const int waiting = platform::BytesWaiting(handle_);
    const int wanted = std::clamp(waiting, 0, int(receiveBuffer_.size()));
    int got = platform::ReadWaiting(handle_, receiveBuffer_.data(), wanted);
    if (got == platform::NoCompletionEvent) {
        tell(ReadEventMessage, false);
        got = 0;
    }
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

    if (expectedLength >= SmallestReply && reply.size() == expectedLength) {
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

    share_->RxReadyEvent.reset();
    share_->RxDoneEvent.set();
    return true;
}

void ProbeSerialPort::tell(const QString& text, bool error) {
    if (prompter_)
        prompter_->show(
            {text, ProbeProgramName, error ? ProbeMessage::Icon::Error : ProbeMessage::Icon::None});
}

} // namespace regprobe
