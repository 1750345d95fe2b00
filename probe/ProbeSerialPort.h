#pragma once

#include "ProbePlatform.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace regprobe {

class ProbePrompter;

// The probe's serial engine: one port, a watcher thread that only notices received bytes, and a
// reader on the dialog's thread that takes them, checks the reply and hands it to the dialog.
// Every member except WatchPort is called on the dialog's thread.
class ProbeSerialPort {
public:
    explicit ProbeSerialPort(ProbePrompter* prompter);
    ~ProbeSerialPort();
    ProbeSerialPort(const ProbeSerialPort&) = delete;
    ProbeSerialPort& operator=(const ProbeSerialPort&) = delete;

    // Settings as positions in the dialog's lists; set before OpenPort.
    QString portName = QStringLiteral("COM1");
    int baudPosition = 6;
    int dataBitsPosition = 1;
    int stopBitsPosition = 0;
    int parityPosition = 0;

    // Gets the reply text of a good reply, before ReadProbeReply returns.
    std::function<void(const QString&)> replyHandler;

    bool OpenPort();
    bool ClosePort();
    bool isOpen() const;

    // Pairs of hexadecimal digits, blanks allowed; the CRC is appended. Returns the bytes written.
    int SendHexFrame(const QString& hexText);
    // Waits up to 200 ms for the reply, checks it and hands it over. False when the port was
    // closed.
    bool ReadProbeReply(int station, int function, int expectedLength);

    // The request bytes with their CRC; empty (after the message) when the text is not hexadecimal.
    std::optional<QByteArray> HexTextToFrame(const QString& hexText);

    static platform::LineSettings lineSettingsFor(int baudPosition, int dataBitsPosition,
                                                  int stopBitsPosition, int parityPosition);

private:
    // The open flag, the two hand-over events and the watcher's wake-up: everything the watcher
    // thread touches. The thread holds it as well, so that a watcher which ends only after the
    // close has stopped waiting for it never reaches a destroyed engine.
    struct WatchShare;

    static void WatchPort(std::shared_ptr<WatchShare> share, platform::Handle handle);
    void setWatcherRunning(bool running);
    void tell(const QString& text, bool error);

    ProbePrompter* prompter_;
    std::shared_ptr<WatchShare> share_;
    platform::Handle handle_ = platform::InvalidHandle;
    std::array<std::uint8_t, 256> receiveBuffer_{};
};

} // namespace regprobe
