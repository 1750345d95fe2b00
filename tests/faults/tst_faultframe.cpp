// The fault query window closed as a user closes it: a click on its frame's title bar, a click on
// the frame's close button, or Ctrl+F4, with the focus on either of its buttons, in both tuners,
// at the moments that its close rule tells apart.

#include "FaultRig.h"
#include "tests/support/MdiFrameClicks.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using kiro::test::FaultRig;

namespace {

enum Moment {
    BetweenBlinks,     // a close is carried out at once
    RightAfterReading, // before the first blink has ended: the first close is refused
    WhileDark,         // refused, and the blink closes the window once its indicator is lit again
};

enum CloseBy { CloseButton, CtrlF4 };

// Mouse input lets Qt's own timers fire, which the rig keeps out of the test: Timer1 ticks only
// when the test says so.
constexpr int kNeverMs = 24 * 3600 * 1000;

} // namespace

class FaultFrameTest : public QObject {
    Q_OBJECT
private slots:
    void closeWithTheFocusOnAButton_data();
    void closeWithTheFocusOnAButton();
};

void FaultFrameTest::closeWithTheFocusOnAButton_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("moment");
    QTest::addColumn<int>("closeBy");

    const QList<QPair<int, const char*>> moments{{BetweenBlinks, "between blinks"},
                                                 {RightAfterReading, "right after the reading"},
                                                 {WhileDark, "while an indicator is dark"}};
    const QList<QPair<int, const char*>> closes{{CloseButton, "close button"}, {CtrlF4, "Ctrl+F4"}};
    for (const char* variant : {"x7", "qz318"}) {
        for (const char* focus : {"Command1_0", "Command1_1"}) {
            for (const auto& [moment, when] : moments) {
                for (const auto& [closeBy, how] : closes) {
                    QTest::addRow("%s, %s, focus on %s, %s", variant, how, focus, when)
                        << variant << focus << moment << closeBy;
                }
            }
        }
    }
}

void FaultFrameTest::closeWithTheFocusOnAButton() {
    QFETCH(QString, variant);
    QFETCH(QString, focus);
    QFETCH(int, moment);
    QFETCH(int, closeBy);
    FaultRig rig(variant);
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    rig.setFaultWords({0x09, 0x02});
    QVERIFY(rig.open());
    rig.timer1()->setInterval(kNeverMs);
    if (moment != RightAfterReading)
        rig.tick(); // the first blink ends the time in which a close is refused outright
    rig.drive.clearRequests();

    const QPointer<QMdiSubWindow> frame = rig.frame();
    auto* button = rig.control<QPushButton>(focus);
    button->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), button);

    // A click on the title bar only brings the window forward: it neither closes it nor presses
    // the button that has the focus, which keeps it.
    kiro::test::clickTitleBar(frame);
    QVERIFY(frame->isVisible());
    QCOMPARE(QApplication::focusWidget(), button);
    QVERIFY(rig.drive.requests().isEmpty());

    auto askToClose = [&] {
        if (closeBy == CtrlF4)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
        else
            kiro::test::clickCloseButton(frame);
    };
    switch (moment) {
    case BetweenBlinks:
        askToClose();
        break;
    case RightAfterReading:
        askToClose();
        QVERIFY(frame->isVisible()); // refused once: the words have only just been read
        QVERIFY(rig.state.ToolWindowOpen);
        QCOMPARE(QApplication::focusWidget(), button);
        askToClose();
        break;
    case WhileDark: {
        const qint64 start = rig.clock.now;
        bool refusedWhileDark = false;
        bool openWithIndicatorLit = false;
        rig.clock.onEvents = [&] {
            const qint64 into = rig.clock.now - start;
            if (into == 50) {
                askToClose();
                refusedWhileDark = frame && frame->isVisible() && rig.shape(0)->isHidden();
            } else if (frame && frame->isVisible() && into > 50) {
                openWithIndicatorLit = !rig.shape(0)->isHidden();
            }
        };
        rig.tick();
        rig.clock.onEvents = nullptr;
        QVERIFY(refusedWhileDark);
        // Lit again, and the window closed by the blink right after that, before the next one.
        QVERIFY(!rig.shape(0)->isHidden());
        QVERIFY(!openWithIndicatorLit);
        break;
    }
    }

    FaultRig::settle();
    QVERIFY(!frame);
    QVERIFY(!rig.state.ToolWindowOpen);
    // Nothing reached the drive: the window writes only when a clear button is clicked.
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.window->isVisible());
}

QTEST_MAIN(FaultFrameTest)
#include "tst_faultframe.moc"
