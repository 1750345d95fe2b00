#pragma once

#include "Crc16.h"
#include "LinkVariant.h"

#include <QByteArray>
#include <QVector>
#include <optional>

namespace kiro {

// What the link knew when it sent the request that this reply answers.
struct PendingRequest {
    quint8 station = 0;
    quint8 function = 0;
    qint16 expectedLength = 0; // as announced by the request, before any layout adjustment
    float lastValue = 0;       // register count of a read, value of a write
    QByteArray txFrame;        // the six data bytes of the request
};

struct ReplyVerdict {
    enum class Complaint { None, StationOrFunction, Crc };

    int failedChecks = 0;
    Complaint complaint = Complaint::None; // the check that the user is told about
    std::optional<Crc16> crc;              // the CRC computed over the reply, when it got that far
    std::optional<QVector<float>> values;  // decoded registers of an accepted read

    bool accepted() const { return failedChecks == 0; }
};

// The number of bytes the link reads for a reply: the QZ318 drive answers a read one byte shorter
// than the announced length.
int AwaitedReplyLength(ReplyLayout layout, const PendingRequest& request);

// Runs the acceptance checks of the layout, in its order, on a reply of any length and content.
// Registers are decoded only from a reply that passed every check.
ReplyVerdict CheckReply(ReplyLayout layout, const PendingRequest& request, const QByteArray& reply);

// The register words of a read reply as signed 16-bit numbers; empty if the reply is too short for
// count registers.
std::optional<QVector<float>> DecodeRegisters(ReplyLayout layout, const QByteArray& reply,
                                              int count);

} // namespace kiro
