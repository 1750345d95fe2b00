#pragma once

#include "link/DriveLink.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QSize>
#include <memory>

namespace kiro::test {

// One tuner with a tool window installed, the in-process drive on its port and the link open as
// the communication window leaves it, on the virtual clock: the link's waits take no real time,
// Qt's own timers never fire by themselves, and a test can act at an exact moment of a
// transaction through clock.onEvents.
struct TunerOnVirtualClock {
    using Install = void (*)(MainWindow&);

    TunerOnVirtualClock(const QString& variantName, Install install, QSize size)
        : variant(*Variant::byName(variantName)), drive(variant.link->layout), port(drive, clock),
          link(port, clock, prompts, *variant.link), state(link, prompts, variant) {
        window = std::make_unique<MainWindow>(state);
        install(*window);
        window->resize(size);
        window->show();
        port.setPortNumber(1);
        port.setSettings(QStringLiteral("38400,n,8,1"));
        port.setBinaryInput(true);
        port.open();
        link.setBaudKilo(38);
        state.announcePortOpened();
    }

    const Variant& variant;
    sim::DriveModel drive;
    VirtualClock clock;
    sim::SimulatedSerialPort port;
    PromptRecorder prompts;
    DriveLink link;
    ShellState state;
    std::unique_ptr<MainWindow> window;
};

} // namespace kiro::test
