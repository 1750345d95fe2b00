#include "FaultTransactions.h"

#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/RetriedTransaction.h"

namespace kiro {

namespace {

constexpr quint8 kStation = 1;
constexpr quint8 kRead = 3;
constexpr quint8 kWrite = 6;
// Clearing the history takes the drive longer than clearing its current faults, and both need
// time beyond the reply itself.
constexpr int kClearCurrentFactor = 10;
constexpr int kClearHistoryFactor = 25;
constexpr int kClearExtraWaitMs = 120;

} // namespace

std::optional<FaultWords> ReadFaultWords(DriveLink& link) {
    DriveLink::Session session(link);
    const bool answered = RetriedTransaction(link, kFaultAttempts, [&link] {
        link.SendRequest(kStation, kRead, reg::FaultWordsFirst, reg::FaultWordCount);
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(kStation, kRead);
    });
    if (!answered || link.ReadValues().size() != kFaultColumns)
        return std::nullopt;
    FaultWords words{};
    for (int k = 0; k < kFaultColumns; ++k)
        words[size_t(k)] = quint16(qint16(link.ReadValues()[k])); // decoded signed; a word is raw
    return words;
}

bool ClearFaults(DriveLink& link, FaultClear which) {
    DriveLink::Session session(link);
    const int command = int(which);
    const int factor = which == FaultClear::History ? kClearHistoryFactor : kClearCurrentFactor;
    return RetriedTransaction(link, kFaultAttempts, [&] {
        link.SendRequest(kStation, kWrite, reg::FaultClear, float(command));
        link.WaitMs(link.ReplyWaitMs(factor));
        link.WaitMs(kClearExtraWaitMs);
        link.ReceiveReply(kStation, kWrite);
    });
}

} // namespace kiro
