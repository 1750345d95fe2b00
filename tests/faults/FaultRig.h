#pragma once

#include "faults/FaultIndicator.h"
#include "faults/FaultWindowInstall.h"
#include "link/DriveLink.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/TunerOnVirtualClock.h"
#include "tests/support/VirtualClock.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QTimer>
#include <memory>

namespace kiro::test {

// A tuner with the fault query window installed, the simulated drive on its port and the link
// open, on the virtual clock: the link's waits advance the clock and run onEvents, and Qt's own
// timers never fire by themselves, so a test makes Timer1 tick when it wants a blink.
struct FaultRig : TunerOnVirtualClock {
    explicit FaultRig(const QString& variantName)
        : TunerOnVirtualClock(variantName, installFaultWindow, QSize(1000, 700)) {}

    QWidget* form() const { return window->findChild<QWidget*>(QStringLiteral("Form4")); }
    QMdiSubWindow* frame() const {
        QWidget* content = form();
        return content ? qobject_cast<QMdiSubWindow*>(content->parentWidget()) : nullptr;
    }
    template <typename T = QWidget> T* control(const QString& name) const {
        QWidget* content = form();
        return content ? content->findChild<T*>(name) : nullptr;
    }
    FaultIndicator* shape(int index) const {
        return control<FaultIndicator>(QStringLiteral("Shape1_%1").arg(index));
    }
    QTimer* timer1() const {
        QWidget* content = form();
        return content ? content->findChild<QTimer*>(QStringLiteral("Timer1")) : nullptr;
    }

    bool trigger(const QString& name) {
        auto* command = window->findChild<QAction*>(name);
        if (!command || !command->isEnabled())
            return false;
        command->trigger();
        return true;
    }
    bool click(const QString& name) {
        auto* button = control<QAbstractButton>(name);
        if (!button || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
    // The event loop after a handler has returned: the drive work that windows have asked for
    // runs, one job after the other, until none is left. Qt's timers still do not fire.
    void runWork() {
        for (int turn = 0; turn < 100 && !state.work().idle(); ++turn)
            QCoreApplication::sendPostedEvents();
    }
    // 故障查询, and the reading of the fault words that opening the window asks for.
    bool open() {
        if (!trigger(QStringLiteral("ErrCheck")))
            return false;
        runWork();
        return true;
    }

    // Timer1 running out once, as the event loop would deliver it.
    void tick() {
        if (QTimer* timer = timer1())
            QMetaObject::invokeMethod(timer, "timeout");
    }
    // Closed windows are deleted once control is back in the event loop.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // The fault words the drive holds, column 0 first; the rest hold none.
    void setFaultWords(const QVector<quint16>& words) { drive.faults().setWords(words); }
};

} // namespace kiro::test
