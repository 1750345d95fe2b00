#pragma once

#include "LinkVariant.h"
#include "ReplyAcceptance.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

namespace kiro {

class LinkClock;
class Prompter;
class SerialPort;
class StatusDisplay;

// The Modbus RTU master of a tuner: one set of link state for the whole run, and the routines that
// every window uses to reach the drive. A transaction is SendRequest, a wait, ReceiveReply, then a
// look at ReplyError() (0 = success); ReadRegisters and WriteRegister wrap that with retries.
//
// Everything runs on the user-interface thread and the waits let events run, so a timer or a click
// can arrive in the middle of a transaction. busy() tells handlers that the link is in use; a
// request made from inside one of the link's own waits or messages is refused without touching the
// port, and the state of the transaction underneath is restored once the handler returns.
class DriveLink : public QObject {
    Q_OBJECT
public:
    DriveLink(SerialPort& port, LinkClock& clock, Prompter& prompter, const LinkVariant& variant);

    void setStatusDisplay(StatusDisplay* display) { statusDisplay_ = display; }

    SerialPort& port() { return port_; }
    LinkClock& clock() { return clock_; }
    const LinkVariant& variant() const { return variant_; }

    // --- Routines -----------------------------------------------------------------------------
    void SendRequest(quint8 station, quint8 function, float address, float value);
    void WaitMs(int milliseconds);
    void ReceiveReply(quint8 station, quint8 function);
    void ReadRegisters(quint8 station, float address, float count);
    void WriteRegister(quint8 station, float address, float value);
    float ToQ10(float plain);
    float FromQ10(float q10);

    // The reply wait T: ExpectedReplyLength * factor \ BaudKilo + 30 ms, in 16-bit arithmetic.
    int ReplyWaitMs(int factor = 10) const;

    // --- Link state -----------------------------------------------------------------------------
    quint8 ReplyError() const { return state_.replyError; }
    qint16 ExpectedReplyLength() const { return state_.expectedReplyLength; }
    qint16 BaudKilo() const { return baudKilo_; }
    void setBaudKilo(qint16 baudKilo) { baudKilo_ = baudKilo; }
    const QByteArray& TxFrame() const { return state_.txFrame; }
    const QByteArray& RxFrame() const { return state_.rxFrame; }
    const QVector<float>& ReadValues() const { return state_.readValues; }
    // A value of the last read as the drive holds it: the unsigned register word (ReadValues
    // carries it decoded as a signed number). 0 where the read returned no such value.
    quint16 ReadWord(int index = 0) const;
    quint8 CrcLow() const { return state_.crcLow; }
    quint8 CrcHigh() const { return state_.crcHigh; }
    float LastValue() const { return state_.lastValue; }
    float Q10Value() const { return q10Value_; }
    float PlainValue() const { return plainValue_; }
    int PortNumber() const { return portNumber_; }
    void setPortNumber(int number) { portNumber_ = number; }
    const QString& PortSettings() const { return portSettings_; }
    void setPortSettings(const QString& settings) { portSettings_ = settings; }
    bool TuningIdle() const { return tuningIdle_; }
    void setTuningIdle(bool idle) { tuningIdle_ = idle; }

    // True when the last SendRequest or ReceiveReply met a port fault (shown to the user already).
    bool portFaulted() const { return state_.portFaulted; }

    // --- Guarding against overlapping transactions -----------------------------------------------
    bool busy() const { return waitDepth_ > 0 || promptDepth_ > 0 || sessionDepth_ > 0; }

    // Held by a window around a sequence of transactions, so that every other handler sees the
    // link busy for the whole sequence and not only during its waits.
    class Session {
    public:
        explicit Session(DriveLink& link) : link_(link) { ++link_.sessionDepth_; }
        ~Session() {
            --link_.sessionDepth_;
            link_.tellIfFree();
        }
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        DriveLink& link_;
    };

    // ReplyError of a transaction that could not reach the drive at all (a port fault, a value that
    // cannot be sent, or a request refused because another one is running): the same outcome as
    // a drive that never answers.
    static constexpr quint8 kUnreachable = 12;

signals:
    // busy() has just turned false: work that waited for the link may go ahead.
    void becameFree();

private:
    struct TransactionState {
        quint8 replyError = 0;
        qint16 expectedReplyLength = 0;
        QByteArray txFrame;
        QByteArray rxFrame;
        QVector<float> readValues;
        quint8 crcLow = 0xFF;
        quint8 crcHigh = 0xFF;
        float lastValue = 0;
        bool requestSent = false;
        bool portFaulted = false;
    };

    bool nestedInLink() const { return waitDepth_ > 0 || promptDepth_ > 0; }
    void tellIfFree();
    void tell(const QString& text, const QString& title);
    void reportPortFault();
    void runRetried(quint8 station, quint8 function, float address, float value);

    SerialPort& port_;
    LinkClock& clock_;
    Prompter& prompter_;
    const LinkVariant& variant_;
    StatusDisplay* statusDisplay_ = nullptr;

    TransactionState state_;
    qint16 baudKilo_ = 0;
    float q10Value_ = 0;
    float plainValue_ = 0;
    int portNumber_ = 1;
    QString portSettings_;
    bool tuningIdle_ = false;

    int waitDepth_ = 0;
    int promptDepth_ = 0;
    int sessionDepth_ = 0;
    int refusals_ = 0;
};

} // namespace kiro
