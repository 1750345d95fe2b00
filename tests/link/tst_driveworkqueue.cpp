#include "link/DriveLink.h"
#include "link/DriveWorkQueue.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kiro;

namespace {

// A link on a virtual clock whose waits let the test's events run, and a queue on it.
struct Rig {
    Rig()
        : drive(LinkVariant::x7().layout), port(drive, clock),
          link(port, clock, prompts, LinkVariant::x7()), queue(link) {
        link.setBaudKilo(38);
        port.setPortNumber(1);
        port.open();
        clock.onEvents = [] { QCoreApplication::processEvents(); };
    }

    test::VirtualClock clock;
    test::PromptRecorder prompts;
    sim::DriveModel drive;
    sim::SimulatedSerialPort port;
    DriveLink link;
    DriveWorkQueue queue;
};

void settle() {
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents();
}

} // namespace

class DriveWorkQueueTest : public QObject {
    Q_OBJECT

private slots:
    void jobsStartAfterTheSubmittingHandlerInOrderTheLastOfAKeyLast() {
        Rig rig;
        DriveWork window(rig.queue);
        QStringList ran;
        window.submit(QStringLiteral("register 64"), [&] { ran << QStringLiteral("slider 100"); });
        window.submit(QStringLiteral("register 65"), [&] { ran << QStringLiteral("phase"); });
        window.submit([&] { ran << QStringLiteral("read"); });
        window.submit(QStringLiteral("register 64"), [&] { ran << QStringLiteral("box 200"); });
        window.submit(QStringLiteral("register 64"), [&] { ran << QStringLiteral("slider 300"); });
        QVERIFY(ran.isEmpty()); // never inside the handler that asked
        QVERIFY(window.waiting());
        settle();
        // The last action on register 64 wins, behind everything asked before it.
        QCOMPARE(ran, (QStringList{QStringLiteral("phase"), QStringLiteral("read"),
                                   QStringLiteral("slider 300")}));
        QVERIFY(window.idle());
        QVERIFY(rig.queue.idle());
    }

    void aJobHoldsTheLinkAndNothingStartsInsideItsWaits() {
        Rig rig;
        DriveWork first(rig.queue);
        DriveWork second(rig.queue);
        QStringList ran;
        bool linkBusyInJob = false;
        first.submit([&] {
            linkBusyInJob = rig.link.busy();
            // Another window asks while this job waits on the drive.
            second.submit([&] { ran << QStringLiteral("second"); });
            rig.link.WaitMs(40);
            ran << QStringLiteral("first");
        });
        settle();
        QVERIFY(linkBusyInJob);
        QCOMPARE(ran, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    }

    void inputDuringAJobIsCarriedOutAfterIt() {
        Rig rig;
        DriveWork window(rig.queue);
        DriveWork other(rig.queue);
        QStringList ran;
        window.submit([&] {
            other.submit([&] { ran << QStringLiteral("other's Enter"); });
            window.submit([&] { ran << QStringLiteral("own Enter"); });
            rig.link.WaitMs(10);
            ran << QStringLiteral("Start");
        });
        settle();
        QCOMPARE(ran, (QStringList{QStringLiteral("Start"), QStringLiteral("other's Enter"),
                                   QStringLiteral("own Enter")}));
    }

    void workWaitsForALinkInUseAndStartsWhenItIsFree() {
        Rig rig;
        DriveWork window(rig.queue);
        bool ran = false;
        {
            DriveLink::Session outside(rig.link);
            window.submit([&] { ran = true; });
            settle();
            QVERIFY(!ran);
        }
        // No timer polls: the link says that it is free, and the start is posted.
        settle();
        QVERIFY(ran);
    }

    void nothingStartsInsideAMessageBoxOrDialog() {
        Rig rig;
        DriveWork window(rig.queue);
        bool ran = false;
        bool ranInsideDialog = false;
        QEventLoop program;
        QTimer::singleShot(0, [&] {
            // A modal box runs one event loop deeper than the program's own.
            QEventLoop box;
            window.submit([&] { ran = true; });
            QTimer::singleShot(30, &box, &QEventLoop::quit);
            box.exec();
            ranInsideDialog = ran;
            QTimer::singleShot(30, &program, &QEventLoop::quit);
        });
        program.exec();
        QVERIFY(!ranInsideDialog);
        QVERIFY(ran);
    }

    void aGiveUpTakesEveryWindowsWaitingWorkUntilTheLinkStartsAfresh() {
        Rig rig;
        DriveWork failing(rig.queue);
        DriveWork waiting(rig.queue);
        DriveWork idle(rig.queue);
        QSignalSpy failingLost(&failing, &DriveWork::linkLost);
        QSignalSpy waitingLost(&waiting, &DriveWork::linkLost);
        QSignalSpy idleLost(&idle, &DriveWork::linkLost);
        QSignalSpy waitingSettled(&waiting, &DriveWork::settled);
        QSignalSpy settled(&rig.queue, &DriveWorkQueue::settled);
        QStringList ran;
        failing.submit([&] {
            ran << QStringLiteral("failing");
            failing.giveUp(); // the window gives up inside its job
        });
        failing.submit([&] { ran << QStringLiteral("failing again"); });
        waiting.submit([&] { ran << QStringLiteral("waiting"); });
        settle();
        QCOMPARE(ran, QStringList{QStringLiteral("failing")});
        QVERIFY(rig.queue.linkLost());
        // The failing window tells the user; a window whose work went hears of it quietly.
        QCOMPARE(failingLost.count(), 0);
        QCOMPARE(waitingLost.count(), 1);
        QCOMPARE(idleLost.count(), 0);
        QVERIFY(waitingSettled.count() >= 1);
        QVERIFY(settled.count() >= 1);

        // Work asked for while the link is in doubt does not run, and its window hears why.
        idle.submit([&] { ran << QStringLiteral("late"); });
        settle();
        QCOMPARE(idleLost.count(), 1);
        QCOMPARE(ran, QStringList{QStringLiteral("failing")});

        // The port opened again: work runs as before.
        rig.queue.startAfresh();
        idle.submit([&] { ran << QStringLiteral("afresh"); });
        settle();
        QCOMPARE(ran, (QStringList{QStringLiteral("failing"), QStringLiteral("afresh")}));
    }

    void aHandleGoneBeforeItsTurnTakesItsWorkAlong() {
        Rig rig;
        bool ran = false;
        {
            DriveWork window(rig.queue);
            window.submit([&] { ran = true; });
        }
        settle();
        QVERIFY(!ran);
        QVERIFY(rig.queue.idle());
    }
};

QTEST_GUILESS_MAIN(DriveWorkQueueTest)
#include "tst_driveworkqueue.moc"
