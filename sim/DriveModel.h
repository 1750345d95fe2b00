#pragma once

#include "FaultRecord.h"
#include "link/LinkVariant.h"
#include "sim/CurrentLoopModel.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVector>
#include <array>

namespace kiro::sim {

// One piece of a reply as it reaches the line: afterMs is counted from the moment the drive has
// the whole request.
struct Delivery {
    int afterMs = 0;
    QByteArray bytes;
};

// Ways the simulated drive can be told to misbehave.
enum class Misbehaviour {
    None,
    Silent,         // no answer at all
    Late,           // the whole reply, but only after delayMs (instead of the reply delay)
    InPieces,       // first half of the reply after the reply delay, the rest delayMs later
    CorruptCrc,     // last byte of the reply inverted
    OtherStation,   // the reply comes from station + 1
    StrayBytes,     // one stray byte (0xFF) ahead of the reply
    ShortReply,     // the reply without its last byte
    ExceptionReply, // Modbus exception: station, function | 0x80, code 2, CRC
};

struct FaultInjection {
    Misbehaviour kind = Misbehaviour::None;
    int delayMs = 0;
    int count = -1; // how many replies are affected; -1 = until told otherwise
};

// A QZ318 or QZ318-X7 drive at one station: the holding registers with plausible defaults, the
// reply layout of its variant, and the drive's reaction to its command registers.
class DriveModel {
public:
    explicit DriveModel(ReplyLayout layout, quint8 station = 1);

    ReplyLayout layout() const { return layout_; }
    quint8 station() const { return station_; }

    // What a read of the register returns now. While a step test runs, registers 5 to 204 show
    // the captured record (and setReg changes the record there).
    quint16 reg(int address) const;
    void setReg(int address, quint16 value);

    // The reply a healthy drive gives to a complete request frame; empty when it stays silent
    // (bad CRC, another station, a frame that is not a request).
    QByteArray answer(const QByteArray& request);

    // answer() with the fault injection and reply delay applied: what reaches the line, and when.
    QList<Delivery> respond(const QByteArray& request);

    void injectFault(const FaultInjection& fault) { fault_ = fault; }
    // From now on the register acknowledges every write (and acts on a command written to it)
    // but keeps holding value: a drive that has taken a parameter yet does not keep it.
    void setStuck(quint16 address, quint16 value);
    void setReplyDelayMs(int ms) { replyDelayMs_ = ms; }

    // Every request frame the drive received, in order (answered or not).
    const QVector<QByteArray>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    int eepromCommits() const { return eepromCommits_; }

    // What the last EEPROM commit stored (the power-on values until the first commit).
    quint16 storedReg(int address) const;
    bool stepTestRunning() const { return stepTestRunning_; }
    bool generatorRunning() const { return generatorRunning_; }
    int autoTunings() const { return autoTunings_; }
    const FaultInjection& fault() const { return fault_; }
    // The fault words that the block read of registers 16 to 25 returns.
    FaultRecord& faults() { return faults_; }
    const FaultRecord& faults() const { return faults_; }
    // A fixed record (up to 200 samples, Q10 signed) that the following step tests capture instead
    // of a simulated one; an empty list returns to the simulation.
    void setStepResponse(const QVector<qint16>& samples) { cannedResponse_ = samples; }
    // The drive's sense of time (the automatic tuning takes a while); a monotonic clock by default.
    void setClock(CurrentLoopModel::Clock clock) { loop_.setClock(std::move(clock)); }
    // The physical loop behind the step test: its winding, supply, gain scaling and noise.
    CurrentLoopModel& currentLoop() { return loop_; }
    const CurrentLoopModel& currentLoop() const { return loop_; }

    // The longest read the drive serves; longer ones get an exception reply (illegal value).
    static constexpr int kMaxReadCount = 2000;

private:
    QByteArray readReply(const QByteArray& request);
    QByteArray writeReply(const QByteArray& request, bool broadcast);
    QByteArray exceptionReply(quint8 function, quint8 code) const;
    void applyWrite(quint16 address, quint16 value);
    void runStepTest();
    void runAutoTuning();
    void misbehave(const QByteArray& reply, QList<Delivery>& deliveries);
    quint16 visibleReg(int address) const;

    ReplyLayout layout_;
    quint8 station_;
    std::array<quint16, 65536> registers_{};
    QHash<quint16, quint16> stuck_;
    FaultRecord faults_;
    QVector<QByteArray> requests_;
    FaultInjection fault_;
    int replyDelayMs_ = 2;
    int eepromCommits_ = 0;
    // The capture buffer of the step test. While the test runs, it is what a read of registers
    // 5 to 204 sees; the parameters that share those addresses stay untouched underneath, so that
    // a step test never overwrites the peak current or the resonance settings.
    std::array<quint16, 200> capture_{};
    std::array<quint16, 65536> stored_{};
    bool stepTestRunning_ = false;
    bool generatorRunning_ = false;
    int autoTunings_ = 0;
    QVector<qint16> cannedResponse_;
    CurrentLoopModel loop_;
};

} // namespace kiro::sim
