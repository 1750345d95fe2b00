#pragma once

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/StandInToolWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QMdiSubWindow>
#include <QTest>
#include <functional>
#include <memory>
#include <utility>

namespace kiro::test {

// The real clock, with a way for a test to act from inside the link's own wait: the action runs
// once, at the next turn of the event pump that a wait of the link makes, as a click or a timer
// tick would land there, but at a point that does not depend on the machine's load.
class LinkWaitClock : public EventPumpClock {
public:
    void waitMs(int milliseconds, const std::function<void()>& afterEachTurn = {}) override {
        EventPumpClock::waitMs(milliseconds, [&] {
            if (auto action = std::exchange(duringNextWait, nullptr))
                action();
            if (afterEachTurn)
                afterEachTurn();
        });
    }

    std::function<void()> duringNextWait;
};

// One tuner as a user meets it, with the simulated drive on its port: the real clock that lets
// events run (and lets a test act inside the link's waits), the prompt recorder in place of the
// message boxes, and the main window shown.
struct ShellRig {
    explicit ShellRig(const QString& variantName, const QString& pictureFolder = {})
        : variant(*Variant::byName(variantName)), drive(variant.link->layout), port(drive, clock),
          link(port, clock, prompts, *variant.link), state(link, prompts, variant) {
        if (!pictureFolder.isEmpty())
            state.setPictureFolder(pictureFolder);
        window = std::make_unique<MainWindow>(state);
        installStandInToolWindows(*window);
        window->resize(1000, 700);
        window->show();
    }

    QAction* action(const QString& name) const { return window->findChild<QAction*>(name); }
    QWidget* widget(const QString& name) const { return window->findChild<QWidget*>(name); }
    template <typename T> T* widget(const QString& name) const {
        return window->findChild<T*>(name);
    }
    // The frame around a child window of the client area.
    QMdiSubWindow* frameOf(const QString& name) const {
        QWidget* content = widget(name);
        return content ? qobject_cast<QMdiSubWindow*>(content->parentWidget()) : nullptr;
    }
    bool isShown(const QString& name) const {
        QMdiSubWindow* frame = frameOf(name);
        return frame && frame->isVisible();
    }

    bool trigger(const QString& name) {
        QAction* command = action(name);
        if (!command || !command->isEnabled())
            return false;
        command->trigger();
        return true;
    }
    bool click(const QString& name) {
        auto* button = widget<QAbstractButton>(name);
        if (!button || !button->isEnabled())
            return false;
        button->click();
        return true;
    }

    // Lets events run until the drive work that the last input asked for has ended, and the
    // handlers that follow its end (a close that waited for it) have run.
    bool settle(int timeoutMs = 10000) {
        const bool idle = QTest::qWaitFor([this] { return state.work().idle(); }, timeoutMs);
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        return idle;
    }

    // "通讯配置", then "打开端口" against the drive, as a user opens the link.
    bool openLink() {
        if (!trigger(QStringLiteral("comConfiguration")) || !click(QStringLiteral("openPort")))
            return false;
        return settle() && port.isOpen() &&
               QTest::qWaitFor([this] { return !isShown(QStringLiteral("Form2")); });
    }

    const Variant& variant;
    sim::DriveModel drive;
    LinkWaitClock clock;
    sim::SimulatedSerialPort port;
    PromptRecorder prompts;
    DriveLink link;
    ShellState state;
    std::unique_ptr<MainWindow> window;
};

} // namespace kiro::test
