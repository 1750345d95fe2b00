// The contract every window that talks to the drive keeps: its close while its work runs or
// waits, its own close rule, its give-up and the link that gives up for all windows, and its
// lifetime against its jobs. Windows are closed through their frames with real input.

#include "ShellRig.h"
#include "shell/WindowContract.h"
#include "tests/support/MdiFrameClicks.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

using namespace kiro;
using namespace kiro::test;

namespace {

// The smallest window that talks to the drive: an entry, and the contract.
class ContractWindow : public QWidget {
public:
    ContractWindow(ShellState& state, const QString& name) : contract(state, *this) {
        setObjectName(name);
        setWindowTitle(name);
        entry = new QLineEdit(this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(entry);
        setMinimumSize(240, 120);
    }

    WindowContract contract;
    QLineEdit* entry = nullptr;
};

struct Rig : ShellRig {
    Rig() : ShellRig(QStringLiteral("x7")) {
        port.setPortNumber(1);
        port.open();
    }

    ContractWindow* open(const QString& name) {
        auto* content = new ContractWindow(state, name);
        window->showChild(content);
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        content->entry->setFocus();
        if (!QTest::qWaitFor([content] { return content->entry->hasFocus(); }, 2000))
            qWarning("The entry did not take the focus: focus checks will fail.");
        return content;
    }

    static QMdiSubWindow* frameOf(QWidget* content) {
        return qobject_cast<QMdiSubWindow*>(content->parentWidget());
    }

    bool gone(const QPointer<QWidget>& frame) {
        return QTest::qWaitFor([&frame] { return frame.isNull(); }, 5000);
    }
};

enum class CloseBy { CloseButton, CtrlF4, Exit };

void closeBy(Rig& rig, QMdiSubWindow* frame, CloseBy how) {
    switch (how) {
    case CloseBy::CloseButton:
        clickCloseButton(frame);
        break;
    case CloseBy::CtrlF4:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
        break;
    case CloseBy::Exit:
        rig.trigger(QStringLiteral("exit"));
        break;
    }
}

void addCloseRows() {
    QTest::addColumn<int>("how");
    QTest::newRow("close button") << int(CloseBy::CloseButton);
    QTest::newRow("Ctrl+F4") << int(CloseBy::CtrlF4);
    QTest::newRow("exit") << int(CloseBy::Exit);
}

} // namespace

class WindowContractTest : public QObject {
    Q_OBJECT

private slots:
    void aCloseWhileTheWindowsWorkRunsIsCarriedOutAfterIt_data() { addCloseRows(); }
    void aCloseWhileTheWindowsWorkRunsIsCarriedOutAfterIt() {
        QFETCH(int, how);
        Rig rig;
        ContractWindow* window = rig.open(QStringLiteral("Form1"));
        QPointer<QWidget> frame = Rig::frameOf(window);
        QStringList ran;
        bool aliveAfterWait = false;
        const QPointer<QWidget> content(window);
        window->contract.submit([&, window] {
            rig.clock.duringNextWait = [&] { closeBy(rig, Rig::frameOf(window), CloseBy(how)); };
            rig.link.WaitMs(40);
            aliveAfterWait = !content.isNull() && content->isVisible();
            ran << QStringLiteral("first");
        });
        window->contract.submit([&] { ran << QStringLiteral("second"); });
        QVERIFY(rig.settle());
        // Everything the window had asked for ran, in the window that was still there.
        QCOMPARE(ran, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
        QVERIFY(aliveAfterWait);
        QVERIFY(rig.gone(frame));
        if (CloseBy(how) == CloseBy::Exit)
            QVERIFY(QTest::qWaitFor([&] { return !rig.window->isVisible(); }, 5000));
    }

    void aWindowsOwnRulePutsTheCloseOffAndNeverForgetsIt_data() { addCloseRows(); }
    void aWindowsOwnRulePutsTheCloseOffAndNeverForgetsIt() {
        QFETCH(int, how);
        Rig rig;
        ContractWindow* window = rig.open(QStringLiteral("Form4"));
        QPointer<QWidget> frame = Rig::frameOf(window);
        bool holding = true;
        int judged = 0;
        window->contract.setCloseRule([&] {
            ++judged;
            return holding ? WindowContract::CloseVerdict::Later
                           : WindowContract::CloseVerdict::Now;
        });
        closeBy(rig, Rig::frameOf(window), CloseBy(how));
        QTest::qWait(50);
        QVERIFY(!frame.isNull());
        QVERIFY(window->contract.closePending());
        // The window's reason has gone: it carries out the close it put off.
        holding = false;
        window->contract.closeWindow();
        QVERIFY(rig.gone(frame));
        QCOMPARE(judged, 2);
        if (CloseBy(how) == CloseBy::Exit)
            QVERIFY(QTest::qWaitFor([&] { return !rig.window->isVisible(); }, 5000));
    }

    void aCloseRuleThatSubmitsWorkClosesWhenThatWorkHasRun() {
        Rig rig;
        ContractWindow* window = rig.open(QStringLiteral("Form1"));
        QPointer<QWidget> frame = Rig::frameOf(window);
        bool lastWorkDone = false;
        window->contract.setCloseRule([&] {
            if (lastWorkDone)
                return WindowContract::CloseVerdict::Now;
            window->contract.submitLastWork([&] {
                rig.link.WaitMs(20);
                lastWorkDone = true;
            });
            return WindowContract::CloseVerdict::Later;
        });
        clickCloseButton(Rig::frameOf(window));
        QVERIFY(rig.settle());
        QVERIFY(lastWorkDone);
        QVERIFY(rig.gone(frame));
    }

    void aGiveUpTellsOnceTakesEveryWindowsWaitingWorkAndKeepsTheFrameClosable() {
        Rig rig;
        ContractWindow* failing = rig.open(QStringLiteral("Form1"));
        ContractWindow* other = rig.open(QStringLiteral("Form3"));
        failing->entry->setFocus();
        rig.window->clientArea()->setActiveSubWindow(Rig::frameOf(failing));
        QStringList ran;
        failing->contract.submit([&] {
            // Another window's input arrives while this window's transaction waits.
            rig.clock.duringNextWait = [&] {
                other->contract.submit(QStringLiteral("register 64"),
                                       [&] { ran << QStringLiteral("other"); });
            };
            rig.link.WaitMs(30);
            failing->contract.giveUp();
        });
        failing->contract.submit([&] { ran << QStringLiteral("failing again"); });
        QVERIFY(rig.settle());
        QTest::qWait(20);
        QVERIFY(ran.isEmpty());
        const LinkVariant& link = *rig.variant.link;
        QCOMPARE(rig.prompts.texts(), QStringList{link.failureMessage});
        QCOMPARE(rig.prompts.titles(), QStringList{link.failureTitle});
        QVERIFY(!failing->isEnabled());
        QVERIFY(failing->contract.givenUp());
        // The window whose work went gave up too, without a message of its own.
        QVERIFY(!other->isEnabled());
        QVERIFY(other->contract.givenUp());
        // The keyboard still reaches the failed window's frame.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Rig::frameOf(failing)));
        QPointer<QWidget> frame = Rig::frameOf(failing);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
        QVERIFY(rig.gone(frame));
        QCOMPARE(rig.prompts.prompts.size(), 1);
    }

    void aJobNeverRunsAfterItsWindowIsGoneNorIsTheWindowDeletedUnderIt_data() {
        QTest::addColumn<QString>("state");
        QTest::newRow("waiting") << QStringLiteral("waiting");
        QTest::newRow("in a transaction's wait") << QStringLiteral("wait");
        QTest::newRow("in a message box") << QStringLiteral("message");
        QTest::newRow("given up") << QStringLiteral("given up");
    }
    void aJobNeverRunsAfterItsWindowIsGoneNorIsTheWindowDeletedUnderIt() {
        QFETCH(QString, state);
        Rig rig;
        ContractWindow* window = rig.open(QStringLiteral("Form1"));
        const QPointer<QWidget> content(window);
        const QPointer<QWidget> frame(Rig::frameOf(window));
        // A window goes by its frame closed by the user and deleted later, or (while none of its
        // work runs) deleted outright.
        const auto destroy = [&] {
            if (frame) {
                clickCloseButton(static_cast<QMdiSubWindow*>(frame.data()));
                // The click may already have let the deferred delete through.
                if (frame)
                    frame->deleteLater();
            }
        };
        bool ranAfterGone = false;
        bool presentAfterEachWait = true;
        int jobsRun = 0;
        if (state == QStringLiteral("waiting")) {
            // Another window's work holds the drive while this one's waits.
            DriveWork other(rig.state.work());
            other.submit([&] {
                rig.clock.duringNextWait = [&] { delete frame.data(); };
                rig.link.WaitMs(30);
            });
            window->contract.submit([&] {
                ranAfterGone = content.isNull();
                ++jobsRun;
            });
            QVERIFY(rig.settle());
        } else {
            if (state == QStringLiteral("message"))
                rig.prompts.whileShown = [&](const Prompt&) {
                    destroy();
                    QCoreApplication::processEvents();
                    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                };
            window->contract.submit([&] {
                ++jobsRun;
                if (state == QStringLiteral("wait"))
                    rig.clock.duringNextWait = destroy;
                rig.link.WaitMs(30);
                presentAfterEachWait = presentAfterEachWait && !content.isNull();
                if (state != QStringLiteral("wait"))
                    static_cast<ContractWindow*>(content.data())->contract.giveUp();
                presentAfterEachWait = presentAfterEachWait && !content.isNull();
            });
            window->contract.submit([&] { ++jobsRun; });
            QVERIFY(rig.settle());
            if (state == QStringLiteral("given up"))
                destroy();
        }
        QVERIFY(presentAfterEachWait);
        QVERIFY(!ranAfterGone);
        QCOMPARE(jobsRun, state == QStringLiteral("waiting") ? 0
                          : state == QStringLiteral("wait")  ? 2
                                                             : 1);
        QVERIFY(rig.gone(frame));
        QVERIFY(content.isNull());
    }
};

QTEST_MAIN(WindowContractTest)
#include "tst_windowcontract.moc"
