#include "FaultTransactions.h"

#include "link/AttemptLimits.h"
#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"
#include "link/RetriedTransaction.h"

namespace kiro {

namespace {

// Clearing the history takes the drive longer than clearing its current faults, and both need
// time beyond the reply itself.
constexpr int kClearCurrentFactor = 10;
constexpr int kClearHistoryFactor = 25;
constexpr int kClearExtraWaitMs = 120;

} // namespace

std::optional<FaultWords> ReadFaultWords(DriveLink& link) {
    using namespace modbus;
    const bool answered = RetriedTransaction(link, attempts::kFaultWords, [&link] {
        link.SendRequest(kDriveStation, kReadHolding, reg::FaultWordsFirst, reg::FaultWordCount);
        link.WaitMs(link.ReplyWaitMs());
        link.ReceiveReply(kDriveStation, kReadHolding);
    });
    if (!answered || link.ReadValues().size() != kFaultColumns)
        return std::nullopt;
    FaultWords words{};
    for (int k = 0; k < kFaultColumns; ++k)
        words[size_t(k)] = link.ReadWord(k);
    return words;
}

bool ClearFaults(DriveLink& link, FaultClear which) {
    using namespace modbus;
    const int command = int(which);
    const int factor = which == FaultClear::History ? kClearHistoryFactor : kClearCurrentFactor;
    return RetriedTransaction(link, attempts::kFaultWords, [&] {
        link.SendRequest(kDriveStation, kWriteSingle, reg::FaultClear, float(command));
        link.WaitMs(link.ReplyWaitMs(factor));
        link.WaitMs(kClearExtraWaitMs);
        link.ReceiveReply(kDriveStation, kWriteSingle);
    });
}

std::optional<FaultWords> ClearFaultsAndRead(DriveLink& link, FaultClear which) {
    if (!ClearFaults(link, which))
        return std::nullopt;
    return ReadFaultWords(link);
}

} // namespace kiro
