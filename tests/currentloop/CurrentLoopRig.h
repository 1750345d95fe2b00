#pragma once

#include "currentloop/CurrentLoopWindow.h"
#include "currentloop/CurrentLoopWindowInstall.h"
#include "link/DriveLink.h"
#include "link/ForwardingSerialPort.h"
#include "link/StatusDisplay.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <functional>
#include <memory>

namespace kiro::test {

// One request on the wire as the drive received it, with the moments the tuner sent it and read
// its reply (-1: never read).
struct WireRequest {
    quint8 function = 0;
    quint16 address = 0;
    quint16 value = 0;
    qint64 sentAt = 0;
    qint64 readAt = -1;

    bool is(quint8 f, quint16 a, quint16 v) const {
        return function == f && address == a && value == v;
    }
};

// The port seen from the tuner's side: passes everything to the simulated drive's port and notes
// when each request went out and when its reply was read.
class WireLog : public ForwardingSerialPort {
public:
    WireLog(SerialPort& port, LinkClock& clock) : ForwardingSerialPort(port), clock_(clock) {}

    bool readAll(QByteArray& bytes) override {
        if (!requests.isEmpty() && requests.last().readAt < 0)
            requests.last().readAt = clock_.nowMs();
        return port_.readAll(bytes);
    }
    bool write(const QByteArray& bytes) override {
        if (bytes.size() == 8) {
            auto word = [&](int at) {
                return quint16(quint8(bytes[at]) << 8 | quint8(bytes[at + 1]));
            };
            requests.append({quint8(bytes[1]), word(2), word(4), clock_.nowMs(), -1});
        }
        return port_.write(bytes);
    }

    QList<WireRequest> requests;

private:
    LinkClock& clock_;
};

// Notes every change of the link lamp and passes it on to the lamp in the status bar.
class LampLog : public StatusDisplay {
public:
    void showBusy() override {
        states << QStringLiteral("busy");
        if (inner)
            inner->showBusy();
    }
    void showIdle() override {
        states << QStringLiteral("idle");
        if (inner)
            inner->showIdle();
    }
    StatusDisplay* inner = nullptr;
    QStringList states;
};

// A tuner with the current-loop window installed, its port open to the simulated drive at 38400
// baud, on a virtual clock that moves only while the link waits. Things a user does in the middle
// of a wait are scheduled with whenever(): they run from inside the wait, as events would.
struct CurrentLoopRig {
    explicit CurrentLoopRig(const QString& variantName)
        : variant(*Variant::byName(variantName)), drive(variant.link->layout), port(drive, clock),
          wire(port, clock), link(wire, clock, prompts, *variant.link),
          state(link, prompts, variant) {
        window = std::make_unique<MainWindow>(state);
        installCurrentLoopWindow(*window);
        window->resize(1000, 700);
        window->show();
        lamp.inner = state.lamp();
        state.setLamp(&lamp);
        port.open();
        link.setBaudKilo(38);
        clock.onEvents = [this] { runDue(); };
    }
    ~CurrentLoopRig() {
        clock.onEvents = nullptr;
        state.setLamp(nullptr);
        window.reset();
    }

    // Runs what once the condition holds, from inside the link's next wait.
    void whenever(std::function<bool()> condition, std::function<void()> what) {
        pending.append({std::move(condition), std::move(what)});
    }
    // ... once the drive has received this many requests in all.
    void afterRequest(int count, std::function<void()> what) {
        whenever([this, count] { return wire.requests.size() >= count; }, std::move(what));
    }
    void runDue() {
        for (int index = 0; index < pending.size(); ++index) {
            if (pending[index].first()) {
                auto what = pending.takeAt(index).second;
                what();
                return;
            }
        }
    }

    // Lets the window's drive work run, as the program's event loop would, until none is left.
    // Inside a job (a wait of the link) or while the link is held, nothing can start: then the
    // work stays queued for the caller's own turn of events.
    bool settle() {
        if (state.work().running() || link.busy())
            return false;
        for (int turn = 0; turn < 10000 && !state.work().idle(); ++turn)
            QCoreApplication::processEvents();
        return state.work().idle();
    }

    bool openWindow() {
        QAction* command = window->findChild<QAction*>(QStringLiteral("I_test"));
        command->trigger();
        settle();
        return form() != nullptr;
    }
    QWidget* form() const { return window->findChild<QWidget*>(QStringLiteral("Form1")); }
    template <typename T = QWidget> T* widget(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QLineEdit* entry(int index) const {
        return widget<QLineEdit>(QStringLiteral("Text1_%1").arg(index));
    }
    bool click(const QString& name) {
        auto* button = widget<QAbstractButton>(name);
        if (!button || !button->isEnabled())
            return false;
        button->click();
        settle();
        return true;
    }
    // Fills the entries (null: leave as it is) and presses "Start".
    bool start(const char* kp, const char* ki, const char* current) {
        const char* texts[] = {kp, ki, current};
        for (int index = 0; index < 3; ++index) {
            if (texts[index])
                entry(index)->setText(QString::fromUtf8(texts[index]));
        }
        return click(QStringLiteral("Command1"));
    }
    void pressEnter(int index) {
        QTest::keyClick(entry(index), Qt::Key_Return);
        settle();
    }
    QMdiSubWindow* frame() const { return qobject_cast<QMdiSubWindow*>(form()->parentWidget()); }
    void closeForm() {
        frame()->close();
        settle();
    }
    bool formGone() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return form() == nullptr;
    }
    // Ticks the plot timer once, as every 100 ms, and returns what the plot shows.
    QImage tick();

    // Requests from the index-th on.
    QList<WireRequest> requestsFrom(qsizetype first) const { return wire.requests.mid(first); }

    const Variant& variant;
    sim::DriveModel drive;
    VirtualClock clock;
    sim::SimulatedSerialPort port;
    WireLog wire;
    PromptRecorder prompts;
    DriveLink link;
    ShellState state;
    LampLog lamp;
    std::unique_ptr<MainWindow> window;
    QList<std::pair<std::function<bool()>, std::function<void()>>> pending;
};

inline QImage CurrentLoopRig::tick() {
    auto* current = qobject_cast<CurrentLoopWindow*>(form());
    if (current)
        current->DataSource_Timer();
    return widget(QStringLiteral("Picture1"))->grab().toImage();
}

} // namespace kiro::test
