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
    void jobsStartAfterTheSubmittingHandlerInOrderOneKeyOneJob() {
        Rig rig;
        DriveWork window(rig.queue);
        QStringList ran;
        window.submit(QStringLiteral("slider"), [&] { ran << QStringLiteral("slider 10"); });
        window.submit([&] { ran << QStringLiteral("read"); });
        window.submit(QStringLiteral("slider"), [&] { ran << QStringLiteral("slider 30"); });
        window.submit([&] { ran << QStringLiteral("read again"); });
        QVERIFY(ran.isEmpty()); // never inside the handler that asked
        QVERIFY(window.waiting());
        settle();
        // The slider's last position wins, in the place of the first.
        QCOMPARE(ran, (QStringList{QStringLiteral("slider 30"), QStringLiteral("read"),
                                   QStringLiteral("read again")}));
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

    void heldOffInputIsDroppedWhileTheDriveIsInUse() {
        Rig rig;
        DriveWork window(rig.queue);
        bool acceptedDuringJob = true;
        int enters = 0;
        window.submit([&] {
            acceptedDuringJob = window.submitUnlessBusy({}, [&] { ++enters; });
            rig.link.WaitMs(10);
        });
        settle();
        QVERIFY(!acceptedDuringJob);
        QVERIFY(window.submitUnlessBusy({}, [&] { ++enters; }));
        settle();
        QCOMPARE(enters, 1);
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

    void aCloseWaitsForTheWindowsWorkOnly() {
        Rig rig;
        DriveWork window(rig.queue);
        DriveWork other(rig.queue);
        QSignalSpy closeDue(&window, &DriveWork::closeDue);
        QVERIFY(!window.postponeClose()); // nothing under way: the close goes ahead

        other.submit([&] { rig.link.WaitMs(5); });
        QVERIFY(!window.postponeClose()); // another window's work does not hold this one

        bool secondRan = false;
        window.submit([&] { rig.link.WaitMs(5); });
        window.submit([&] { secondRan = true; });
        QVERIFY(window.postponeClose());
        settle();
        QVERIFY(secondRan); // the close takes effect when all of the window's work has ended
        QCOMPARE(closeDue.count(), 1);
        QVERIFY(!window.closePostponed());
    }

    void givingUpForgetsWaitingWorkAndReleasesAWaitingClose() {
        Rig rig;
        DriveWork window(rig.queue);
        QSignalSpy closeDue(&window, &DriveWork::closeDue);
        QSignalSpy settled(&rig.queue, &DriveWorkQueue::settled);
        int ran = 0;
        window.submit([&] {
            ++ran;
            window.discard(); // the window gives up inside its job
        });
        window.submit([&] { ++ran; });
        QVERIFY(window.postponeClose());
        settle();
        QCOMPARE(ran, 1);
        QCOMPARE(closeDue.count(), 1);
        QVERIFY(settled.count() >= 1);
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
