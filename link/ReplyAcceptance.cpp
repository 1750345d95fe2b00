#include "ReplyAcceptance.h"

#include "ModbusCodes.h"
#include "RequestFrame.h"

namespace kiro {

namespace {

constexpr quint8 kRead = modbus::kReadHolding;
constexpr quint8 kWrite = modbus::kWriteSingle;

quint8 byteAt(const QByteArray& bytes, int index) {
    return quint8(bytes.at(index));
}

int registerCount(float lastValue) {
    return WordFromSingle(lastValue).value_or(0);
}

bool stationAndFunctionMatch(const PendingRequest& request, const QByteArray& reply) {
    return reply.size() >= 2 && byteAt(reply, 0) == request.station &&
           byteAt(reply, 1) == request.function;
}

// Compares the CRC over the first protectedLength bytes with the two bytes that follow them.
bool crcMatches(const QByteArray& reply, int protectedLength, ReplyVerdict& verdict) {
    if (protectedLength < 0 || reply.size() < protectedLength + 2)
        return false;
    const Crc16 crc = ComputeCrc16(reply.left(protectedLength));
    verdict.crc = crc;
    return crc.low == byteAt(reply, protectedLength) &&
           crc.high == byteAt(reply, protectedLength + 1);
}

bool writeIsEchoed(const PendingRequest& request, const QByteArray& reply) {
    return reply.size() >= 6 && request.txFrame.size() >= 6 &&
           reply.mid(2, 4) == request.txFrame.mid(2, 4);
}

void fail(ReplyVerdict& verdict,
          ReplyVerdict::Complaint complaint = ReplyVerdict::Complaint::None) {
    ++verdict.failedChecks;
    if (complaint != ReplyVerdict::Complaint::None)
        verdict.complaint = complaint;
}

ReplyVerdict checkWideLayout(const PendingRequest& request, const QByteArray& reply) {
    ReplyVerdict verdict;
    if (!stationAndFunctionMatch(request, reply)) {
        fail(verdict, ReplyVerdict::Complaint::StationOrFunction);
        return verdict;
    }
    if (!crcMatches(reply, request.expectedLength - 2, verdict)) {
        fail(verdict, ReplyVerdict::Complaint::Crc);
        return verdict;
    }
    if (request.function == kRead) {
        const int byteCount = reply.size() >= 4 ? byteAt(reply, 2) * 256 + byteAt(reply, 3) : -1;
        if (float(byteCount) != 2.0f * request.lastValue) {
            fail(verdict);
            return verdict;
        }
        verdict.values =
            DecodeRegisters(ReplyLayout::WideByteCount, reply, registerCount(request.lastValue));
        if (!verdict.values)
            fail(verdict);
    } else if (request.function == kWrite && !writeIsEchoed(request, reply)) {
        fail(verdict);
    }
    return verdict;
}

ReplyVerdict checkNarrowLayout(const PendingRequest& request, const QByteArray& reply) {
    ReplyVerdict verdict;
    bool byteCountRight = false;
    if (request.function == kRead) {
        const auto twiceCount = WordFromSingle(2.0f * request.lastValue);
        byteCountRight =
            reply.size() >= 3 && twiceCount && byteAt(reply, 2) == (*twiceCount & 0xFF);
        if (!byteCountRight)
            fail(verdict);
    } else if (request.function == kWrite && !writeIsEchoed(request, reply)) {
        fail(verdict);
    }
    if (!stationAndFunctionMatch(request, reply)) {
        fail(verdict, ReplyVerdict::Complaint::StationOrFunction);
        return verdict;
    }
    if (!crcMatches(reply, int(reply.size()) - 2, verdict)) {
        fail(verdict, ReplyVerdict::Complaint::Crc);
        return verdict;
    }
    // A read is decoded only once the whole reply has proved itself, so that a corrupt reply never
    // replaces the values of the last good one.
    if (byteCountRight && verdict.accepted()) {
        verdict.values =
            DecodeRegisters(ReplyLayout::NarrowByteCount, reply, registerCount(request.lastValue));
        if (!verdict.values)
            fail(verdict);
    }
    return verdict;
}

} // namespace

int AwaitedReplyLength(ReplyLayout layout, const PendingRequest& request) {
    if (layout == ReplyLayout::NarrowByteCount && request.function == kRead)
        return request.expectedLength - 1;
    return request.expectedLength;
}

ReplyVerdict CheckReply(ReplyLayout layout, const PendingRequest& request,
                        const QByteArray& reply) {
    return layout == ReplyLayout::WideByteCount ? checkWideLayout(request, reply)
                                                : checkNarrowLayout(request, reply);
}

std::optional<QVector<float>> DecodeRegisters(ReplyLayout layout, const QByteArray& reply,
                                              int count) {
    const int first = layout == ReplyLayout::WideByteCount ? 4 : 3;
    if (count < 0 || reply.size() < first + 2 * qint64(count))
        return std::nullopt;
    QVector<float> values(count);
    for (int j = 0; j < count; ++j) {
        int word = byteAt(reply, first + 2 * j) * 256 + byteAt(reply, first + 2 * j + 1);
        if (word > 32767)
            word -= 65536;
        values[j] = float(word);
    }
    return values;
}

} // namespace kiro
