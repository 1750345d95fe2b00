#pragma once

#include "link/DriveLink.h"
#include "link/RequestFrame.h"
#include "params/ParameterWindow.h"
#include "params/ParameterWindowInstall.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/StatusLamp.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/TunerOnVirtualClock.h"
#include "tests/support/VirtualClock.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <functional>
#include <memory>

namespace kiro::test {

// A tuner with the parameter settings window installed, its port open on the in-process drive,
// and a virtual clock: the link's waits take no real time and a test can act at an exact moment
// of a transaction through clock.onEvents. The main window is the active window, so that the
// focus moves as it does under a user's hands.
//
// Input only queues the window's drive work; settle() lets the program's event loop run it.
struct ParamsRig : TunerOnVirtualClock {
    explicit ParamsRig(const QString& variantName)
        : TunerOnVirtualClock(variantName, installParameterWindow, QSize(1100, 800)) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("The tuner's main window did not become active: focus moves will not work.");
    }

    // Lets events run until every job of the drive-work queue has ended; false when work is
    // still left after many turns (never from inside a job: jobs do not nest).
    bool settle() {
        for (int turn = 0; turn < 10000 && !state.work().idle(); ++turn)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return state.work().idle();
    }

    // Runs action once, from inside a wait of the link, at the first turn of the event pump at
    // which ready() holds (at the next one without ready), as a click or a key would land there.
    void duringWait(std::function<void()> action, std::function<bool()> ready = {}) {
        clock.onEvents = [this, action = std::move(action), ready = std::move(ready)] {
            if (ready && !ready())
                return;
            // Clearing onEvents destroys this closure: keep what is still needed.
            const std::function<void()> act = action;
            clock.onEvents = nullptr;
            act();
        };
    }

    // 调试 -> 参数设定: runs the read-back and shows the window, the focus where it puts it.
    ParameterWindow* launch() {
        if (QAction* command = window->findChild<QAction*>(QStringLiteral("P_test")))
            command->trigger();
        settle();
        return form();
    }
    // The same, then the focus parked on a control that does nothing with it, as the program
    // moves it (no user's move): the first move a test makes leaves no entry that commits.
    ParameterWindow* open() {
        ParameterWindow* opened = launch();
        if (opened)
            widget(kNeutral)->setFocus(Qt::OtherFocusReason);
        return opened;
    }
    ParameterWindow* form() const { return window->findChild<ParameterWindow*>("Form3"); }
    QMdiSubWindow* frame() const {
        return form() ? qobject_cast<QMdiSubWindow*>(form()->parentWidget()) : nullptr;
    }

    template <typename T = QWidget> T* widget(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QString text(const QString& name) const {
        auto* box = widget<QLineEdit>(name);
        return box ? box->text() : QStringLiteral("<none>");
    }

    // Typing replaces the entry's text; Enter and leaving commit it.
    void type(const QString& name, const QString& text) { widget<QLineEdit>(name)->setText(text); }
    void pressEnter(const QString& name) { QTest::keyClick(widget(name), Qt::Key_Return); }
    // The user moves the focus into the control and on to a control that does nothing with it.
    void leave(const QString& name) {
        focus(name);
        widget(kNeutral)->setFocus(Qt::TabFocusReason);
    }
    // The user moves the focus to the control (as Tab does), also when it had it already.
    void focus(const QString& name) {
        if (widget(name)->hasFocus())
            widget(kNeutral)->setFocus(Qt::TabFocusReason);
        widget(name)->setFocus(Qt::TabFocusReason);
    }
    // A slider of the window: it takes and gives up the focus without touching the drive.
    static inline const QString kNeutral = QStringLiteral("Slider3_1");

    // The requests the drive received, as "r31" (read) and "w64=2600" (write).
    QStringList traffic() const {
        QStringList lines;
        for (const QByteArray& frame : drive.requests()) {
            const int address = quint8(frame[2]) << 8 | quint8(frame[3]);
            const int value = quint8(frame[4]) << 8 | quint8(frame[5]);
            if (frame[1] == 3 && value == 1)
                lines << QStringLiteral("r%1").arg(address);
            else if (frame[1] == 6)
                lines << QStringLiteral("w%1=%2").arg(address).arg(value);
            else
                lines << QString::fromLatin1(frame.toHex());
        }
        return lines;
    }

    bool lampBusy() const { return window->lamp().showsBusy(); }
};

} // namespace kiro::test
