#include "AutoTune.h"

#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"

namespace kiro {

namespace {
std::optional<quint16> readGain(DriveLink& link, quint16 address) {
    link.ReadRegisters(modbus::kDriveStation, address, 1);
    if (link.ReplyError() != 0 || link.ReadValues().isEmpty())
        return std::nullopt;
    return link.ReadWord();
}
} // namespace

AutoTuneResult RunAutoTune(DriveLink& link, const std::function<void()>& notice) {
    link.WriteRegister(modbus::kDriveStation, reg::CurrentLoopAutoTune, 1);
    if (notice)
        notice();
    AutoTuneResult result;
    result.kp = readGain(link, reg::CurrentLoopKp);
    result.ki = readGain(link, reg::CurrentLoopKi);
    return result;
}

} // namespace kiro
