#include "ReadBack.h"

#include "ConfigurationZone.h"
#include "DriveParams.h"
#include "InternalTestZone.h"
#include "ParameterWindow.h"
#include "ParamsVariant.h"
#include "ResonanceZone.h"
#include "link/RegisterMap.h"

namespace kiro {

namespace {

using Target = ParamsVariant::ReadBackItem::Target;

void place(ParameterWindow& window, const ParamsVariant::ReadBackItem& item, quint16 value) {
    if (item.slot >= 0)
        window.params()[item.slot] = value;
    switch (item.target) {
    case Target::Entry:
        window.configuration().showReadBack(item.index, value);
        break;
    case Target::AmplitudeSlider:
        window.resonance(item.index).showReadBack(ResonanceZone::Amplitude, value);
        break;
    case Target::PhaseSlider:
        window.resonance(item.index).showReadBack(ResonanceZone::Phase, value);
        break;
    case Target::LowerThreshold:
        window.resonance(item.index).showThreshold(ResonanceZone::Lower, value);
        break;
    case Target::UpperThreshold:
        window.resonance(item.index).showThreshold(ResonanceZone::Upper, value);
        break;
    case Target::InputConfiguration:
        break; // the buttons follow once every register is in
    case Target::JogEntry:
        window.internalTest().showJogReadBack(item.index, value);
        break;
    }
}

} // namespace

void ReadBack::run(ParameterWindow& window) {
    const ParamsVariant& table = window.table();
    window.showBusy();
    window.setCanClose(false);
    for (const ParamsVariant::ReadBackItem& item : table.readBack) {
        const std::optional<quint16> value = window.drive().read(item.reg);
        if (!value) {
            window.giveUp();
            return;
        }
        place(window, item, *value);
    }
    window.configuration().showInputConfiguration();
    if (table.filterBoxTwips) {
        const std::optional<quint16> filter = window.drive().read(reg::PulseFilterEnable);
        if (!filter) {
            window.giveUp();
            return;
        }
        window.configuration().showFilter(*filter);
    }
    window.internalTest().enableButtons();
    window.setCanClose(true);
    window.showIdle();
}

} // namespace kiro
