#include "ArchiveComparison.h"

#include "link/DriveLink.h"
#include "link/RegisterMap.h"

#include <QHash>

namespace kiro {

namespace {

// What the entries leave in each register they name, in the order of first mention.
QVector<ArchiveEntry> lastWrites(const QVector<ArchiveEntry>& entries) {
    QVector<ArchiveEntry> contents;
    QHash<quint16, qsizetype> position;
    for (const ArchiveEntry& entry : entries) {
        const auto known = position.constFind(entry.address);
        if (known != position.cend()) {
            contents[*known].value = entry.value;
            continue;
        }
        position.insert(entry.address, contents.size());
        contents.append(entry);
    }
    return contents;
}

} // namespace

DriveComparison CompareArchive(DriveLink& link, const QVector<ArchiveEntry>& entries,
                               const ArchiveProgress& progress) {
    DriveLink::Session session(link);
    DriveComparison comparison;
    const QVector<ArchiveEntry> expected = lastWrites(entries);
    const int total = int(expected.size());
    for (const ArchiveEntry& entry : expected) {
        const std::optional<quint16> held = ReadArchiveRegister(link, entry.address);
        if (!held)
            return {DriveComparison::Outcome::DriveFailed, {}, comparison.compared};
        ++comparison.compared;
        if (progress)
            progress(comparison.compared, total, {entry.address, *held});
        if (*held != entry.value)
            comparison.differences.append({entry.address, ArchiveRegisterName(entry.address),
                                           QString::number(entry.value), QString::number(*held)});
    }
    comparison.outcome = comparison.differences.isEmpty() ? DriveComparison::Outcome::Same
                                                          : DriveComparison::Outcome::Differs;
    return comparison;
}

QString ArchiveRegisterName(quint16 address) {
    // The registers of a QZ318-X7 that its tuner reads or writes, by their meaning on that drive.
    static const QHash<quint16, QString> names{
        {reg::CurrentLoopKp, QStringLiteral("CurrentLoopKp")},
        {reg::CurrentLoopKi, QStringLiteral("CurrentLoopKi")},
        {reg::StepTestCommand, QStringLiteral("StepTestCommand")},
        {reg::StepTestCurrent, QStringLiteral("StepTestCurrent")},
        {reg::EepromCommit, QStringLiteral("EepromCommit")},
        {reg::JogAcceleration, QStringLiteral("JogAcceleration")},
        {reg::JogHighSpeed, QStringLiteral("JogHighSpeed")},
        {reg::JogLowSpeed, QStringLiteral("JogLowSpeed")},
        {reg::PeakCurrent, QStringLiteral("PeakCurrent")},
        {reg::SpeedOrMicrosteps, QStringLiteral("SpeedOrMicrosteps")},
        {reg::Resonance1Amplitude, QStringLiteral("Resonance1Amplitude")},
        {reg::Resonance1Phase, QStringLiteral("Resonance1Phase")},
        {reg::Resonance1Lower, QStringLiteral("Resonance1Lower")},
        {reg::Resonance1Upper, QStringLiteral("Resonance1Upper")},
        {reg::Resonance2Amplitude, QStringLiteral("Resonance2Amplitude")},
        {reg::Resonance2Phase, QStringLiteral("Resonance2Phase")},
        {reg::Resonance2Lower, QStringLiteral("Resonance2Lower")},
        {reg::Resonance2Upper, QStringLiteral("Resonance2Upper")},
        {reg::Resonance3Amplitude, QStringLiteral("Resonance3Amplitude")},
        {reg::Resonance3Phase, QStringLiteral("Resonance3Phase")},
        {reg::Resonance3Lower, QStringLiteral("Resonance3Lower")},
        {reg::Resonance3Upper, QStringLiteral("Resonance3Upper")},
        {reg::IdleCurrentPercent, QStringLiteral("IdleCurrentPercent")},
        {reg::CurrentLoopAutoTune, QStringLiteral("CurrentLoopAutoTune")},
        {reg::MidSpeedSuppression, QStringLiteral("MidSpeedSuppression")},
        {reg::InputConfiguration, QStringLiteral("InputConfiguration")},
    };
    return names.value(address);
}

} // namespace kiro
