#pragma once

#include "link/LinkVariant.h"

#include <QByteArray>
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
    Late,           // the whole reply, but only after delayMs
    InPieces,       // first half of the reply at once, the rest delayMs later
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

    quint16 reg(int address) const;
    void setReg(int address, quint16 value);

    // The reply a healthy drive gives to a complete request frame; empty when it stays silent
    // (bad CRC, another station, a frame that is not a request).
    QByteArray answer(const QByteArray& request);

    // answer() with the fault injection and reply delay applied: what reaches the line, and when.
    QList<Delivery> respond(const QByteArray& request);

    void injectFault(const FaultInjection& fault) { fault_ = fault; }
    void setReplyDelayMs(int ms) { replyDelayMs_ = ms; }

    // Every request frame the drive received, in order (answered or not).
    const QVector<QByteArray>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    int eepromCommits() const { return eepromCommits_; }

private:
    // ... implementation details are the simulator's own
    ReplyLayout layout_;
    quint8 station_;
    std::array<quint16, 65536> registers_{};
    QVector<QByteArray> requests_;
    FaultInjection fault_;
    int replyDelayMs_ = 2;
    int eepromCommits_ = 0;
};

} // namespace kiro::sim
