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
#include <QFocusEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <memory>

namespace kiro::test {

// A tuner with the parameter settings window installed, its port open on the in-process drive,
// and a virtual clock: the link's waits take no real time and a test can act at an exact moment
// of a transaction through clock.onEvents.
struct ParamsRig : TunerOnVirtualClock {
    explicit ParamsRig(const QString& variantName)
        : TunerOnVirtualClock(variantName, installParameterWindow, QSize(1100, 800)) {}

    // 调试 -> 参数设定: runs the read-back and shows the window.
    ParameterWindow* open() {
        if (QAction* command = window->findChild<QAction*>(QStringLiteral("P_test")))
            command->trigger();
        return form();
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
    void leave(const QString& name) { sendFocus(name, QEvent::FocusOut); }
    void focus(const QString& name) { sendFocus(name, QEvent::FocusIn); }
    void sendFocus(const QString& name, QEvent::Type type) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QCoreApplication::sendEvent(widget(name), &event);
    }

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
