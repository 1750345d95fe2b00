#include "ParameterTableSequences.h"

#include "link/AttemptLimits.h"
#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"

namespace kiro {

namespace {
using modbus::kDriveStation;
using modbus::kReadHolding;
using modbus::kWriteSingle;

constexpr int kWriteGapMs = 50;
constexpr int kEepromWriteMs = 1000;
constexpr int kEepromSettleMs = 500;

// A failed transaction counts against the sequence's budget. A port that has gone away has been
// reported by the link already; asking it again would only repeat that message.
bool giveUp(DriveLink& link, int& FailedAttempts) {
    if (++FailedAttempts >= attempts::kParameterTableSequence || link.portFaulted()) {
        link.setTuningIdle(true);
        return true;
    }
    return false;
}

bool writeAll(DriveLink& link, const ParameterValues& values, const ParameterProgress& progress) {
    bool allWritten = true;
    for (int index = 0; index < kParameterCount; ++index) {
        if (progress)
            progress(index);
        link.WriteRegister(kDriveStation, RegisterOf(index),
                           RawToSend(index, values[std::size_t(index)]));
        if (link.ReplyError() != 0) {
            allWritten = false;
            if (link.portFaulted())
                return false; // reported already; the remaining registers cannot be reached
        }
        if (index + 1 < kParameterCount)
            link.WaitMs(kWriteGapMs);
    }
    return allWritten;
}
} // namespace

std::optional<ParameterValues> ReadAllParameters(DriveLink& link,
                                                 const ParameterProgress& progress) {
    const std::optional<ParameterWords> words = ReadAllParameterWords(link, progress);
    if (!words)
        return std::nullopt;
    ParameterValues values{};
    for (int index = 0; index < kParameterCount; ++index)
        values[std::size_t(index)] = HeldFromRaw(index, (*words)[std::size_t(index)]);
    return values;
}

std::optional<ParameterWords> ReadAllParameterWords(DriveLink& link,
                                                    const ParameterProgress& progress) {
    ParameterWords words{};
    int FailedAttempts = 0;
    for (int index = 0; index < kParameterCount; ++index) {
        if (progress)
            progress(index);
        for (;;) {
            link.SendRequest(kDriveStation, kReadHolding, RegisterOf(index), 1);
            link.WaitMs(link.ReplyWaitMs());
            link.ReceiveReply(kDriveStation, kReadHolding);
            if (link.ReplyError() == 0 && !link.ReadValues().isEmpty())
                break;
            if (giveUp(link, FailedAttempts))
                return std::nullopt;
        }
        link.WaitMs(link.ReplyWaitMs());
        words[std::size_t(index)] = link.ReadWord(0);
    }
    return words;
}

bool WriteAllParameters(DriveLink& link, const ParameterValues& values,
                        const ParameterProgress& progress) {
    return writeAll(link, values, progress);
}

bool WriteFactoryDefaults(DriveLink& link, const ParameterProgress& progress) {
    return writeAll(link, ParamDefaults(), progress);
}

bool CommitToEeprom(DriveLink& link) {
    int FailedAttempts = 0;
    for (;;) {
        link.SendRequest(kDriveStation, kWriteSingle, reg::EepromCommit, 1);
        link.WaitMs(link.ReplyWaitMs());
        link.WaitMs(kEepromWriteMs);
        link.ReceiveReply(kDriveStation, kWriteSingle);
        link.WaitMs(kEepromSettleMs);
        if (link.ReplyError() == 0)
            break;
        if (giveUp(link, FailedAttempts))
            return false;
    }
    link.WaitMs(link.ReplyWaitMs());
    return true;
}

FactoryReset ResetToFactoryDefaults(DriveLink& link, const ParameterProgress& progress) {
    if (!WriteFactoryDefaults(link, progress))
        return FactoryReset::DefaultsNotAllWritten;
    if (progress)
        progress(kParameterCount);
    return CommitToEeprom(link) ? FactoryReset::Done : FactoryReset::CommitFailed;
}

} // namespace kiro
