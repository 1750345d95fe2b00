// The widget-free pieces of the current-loop window that qzcli shares: reading and clamping the
// entries, the span of the plot, the zoom rules of the plot's view stack, and the drive's
// automatic tuning against the simulated drive.

#include "currentloop/AutoTune.h"
#include "currentloop/EntryValues.h"
#include "currentloop/PlotZoom.h"
#include "currentloop/StepTest.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QTest>
#include <cmath>
#include <limits>

using kiro::PlotView;
using kiro::PlotZoom;

Q_DECLARE_METATYPE(PlotView)

namespace QTest {
template <> char* toString(const PlotView& view) {
    return qstrdup(QStringLiteral("left %1 width %2 top %3 height %4")
                       .arg(view.ViewLeft)
                       .arg(view.ViewWidth)
                       .arg(view.ViewTop)
                       .arg(view.ViewHeight)
                       .toUtf8());
}
} // namespace QTest

namespace {
const double kInfinity = std::numeric_limits<double>::infinity();

// The full view after a Start with 1.5 A: samples 0 to 199, +-4.5 A.
PlotZoom fullView() {
    PlotZoom zoom;
    zoom.reset(4.5f, 200);
    return zoom;
}

void drag(PlotZoom& zoom, QPointF from, QPointF to) {
    zoom.buttonDown(PlotZoom::Left, from);
    zoom.mouseMove(PlotZoom::Left, to);
    zoom.buttonUp(PlotZoom::Left, to);
}

void click(PlotZoom& zoom, QPointF at) {
    drag(zoom, at, at);
}

// A qztune-x7 link to the simulated drive at 38400 baud; the drive keeps time with the link's
// virtual clock.
struct LinkRig {
    LinkRig()
        : drive(kiro::LinkVariant::x7().layout), port(drive, clock),
          link(port, clock, prompts, kiro::LinkVariant::x7()) {
        drive.setClock([this] { return clock.now; });
        link.setBaudKilo(38);
        port.setPortNumber(1);
        port.open();
    }

    // (function, address) of every request the drive received.
    QList<QPair<int, int>> requests() const {
        QList<QPair<int, int>> list;
        for (const QByteArray& frame : drive.requests())
            list.append({quint8(frame[1]), quint8(frame[2]) << 8 | quint8(frame[3])});
        return list;
    }

    kiro::test::VirtualClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::sim::DriveModel drive;
    kiro::sim::SimulatedSerialPort port;
    kiro::DriveLink link;
};
} // namespace

class CurrentLoopCoreTest : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void clamps_data();
    void clamps();
    void plainDecimal_data();
    void plainDecimal();
    void plotRange();

    void zoomBox_data();
    void zoomBox();
    void clickStepsBackAndRightClickReturns();
    void deepestLevelIgnoresAFurtherBox();
    void boxStaysUntilAPlainMove();

    void autoTune_data();
    void autoTune();
};

void CurrentLoopCoreTest::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("blanks, then number, then rest") << " \t12.5xyz" << 12.5;
    QTest::newRow("signs") << "-3" << -3.0;
    QTest::newRow("plus") << "+4" << 4.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("exponent without digits") << "2e" << 2.0;
    QTest::newRow("negative exponent") << "2E-2" << 0.02;
    QTest::newRow("D exponent") << "1d2" << 100.0;
    QTest::newRow("too large") << "1e999" << kInfinity;
    QTest::newRow("second number ignored") << "1.2.3" << 1.2;
}

void CurrentLoopCoreTest::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(kiro::LeadingNumber(text), value);
}

void CurrentLoopCoreTest::clamps_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<float>("kp");
    QTest::addColumn<float>("kiOnStart");
    QTest::addColumn<float>("kiOnEnter");
    QTest::addColumn<float>("current");
    QTest::newRow("negative") << -1.0 << 1.0f << 0.0f << 1.0f << 0.0f;
    QTest::newRow("zero") << 0.0 << 1.0f << 0.0f << 1.0f << 0.0f;
    QTest::newRow("fraction") << 0.3 << 0.3f << 0.3f << 0.3f << 0.3f;
    QTest::newRow("at the current limit") << 5.0 << 5.0f << 5.0f << 5.0f << 5.0f;
    QTest::newRow("above the current limit") << 7.5 << 7.5f << 7.5f << 7.5f << 5.0f;
    QTest::newRow("at the gain limit") << 65535.0 << 65535.0f << 65535.0f << 65535.0f << 5.0f;
    QTest::newRow("above the gain limit") << 70000.0 << 65535.0f << 65535.0f << 65535.0f << 5.0f;
    QTest::newRow("infinite") << kInfinity << 65535.0f << 65535.0f << 65535.0f << 5.0f;
    QTest::newRow("minus infinity") << -kInfinity << 1.0f << 0.0f << 1.0f << 0.0f;
}

void CurrentLoopCoreTest::clamps() {
    QFETCH(double, value);
    QFETCH(float, kp);
    QFETCH(float, kiOnStart);
    QFETCH(float, kiOnEnter);
    QFETCH(float, current);
    QCOMPARE(kiro::ClampKp(value), kp);
    QCOMPARE(kiro::ClampKiForStart(value), kiOnStart);
    QCOMPARE(kiro::ClampKiForEnter(value), kiOnEnter);
    QCOMPARE(kiro::ClampTestCurrent(value), current);
}

void CurrentLoopCoreTest::plainDecimal_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0f << "0";
    QTest::newRow("whole") << 65535.0f << "65535";
    QTest::newRow("half") << 1.5f << "1.5";
    QTest::newRow("single precision") << 12.7f << "12.7";
    QTest::newRow("small, no exponent") << 1e-7f << "0.0000001";
}

void CurrentLoopCoreTest::plainDecimal() {
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(kiro::PlainDecimal(value), text);
}

void CurrentLoopCoreTest::plotRange() {
    QCOMPARE(kiro::PlotRangeFor(0), 0.2f);
    QCOMPARE(kiro::PlotRangeFor(1.5f), 4.5f);
    QCOMPARE(kiro::PlotRangeFor(5), 15.0f);
    const PlotZoom zoom = fullView();
    QCOMPARE(zoom.view(), (PlotView{0, 199, 4.5f, -9.0f}));
}

void CurrentLoopCoreTest::zoomBox_data() {
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<int>("level");
    QTest::addColumn<PlotView>("view");

    const PlotView box{10, 50, 3.0f, -4.0f};
    QTest::newRow("left to right, top to bottom")
        << QPointF(10, 3) << QPointF(60.4, -1) << 1 << box;
    QTest::newRow("right to left, bottom to top")
        << QPointF(60.4, -1) << QPointF(10, 3) << 1 << box;
    QTest::newRow("ties round to even")
        << QPointF(11.5, 1) << QPointF(18, 0) << 1 << PlotView{12, 6, 1.0f, -1.0f};
    QTest::newRow("released outside is clamped to the edges")
        << QPointF(150, 1) << QPointF(400, -10) << 1 << PlotView{150, 49, 1.0f, -5.5f};
    QTest::newRow("released above and left of the plot")
        << QPointF(20, -2) << QPointF(-30, 9) << 1 << PlotView{0, 20, 4.5f, -6.5f};
    // 193.5 rounds to 194 and the width 5.5 to 6: the view would end at sample 200.
    QTest::newRow("rounded edges past the last sample")
        << QPointF(193.5, 1) << QPointF(199, 0) << 1 << PlotView{194, 5, 1.0f, -1.0f};
    QTest::newRow("narrower than 5 samples is a click")
        << QPointF(10, 3) << QPointF(14.9, -1) << 0 << PlotView{0, 199, 4.5f, -9.0f};
    QTest::newRow("flatter than 5 mA is a click")
        << QPointF(10, 1) << QPointF(60, 0.996) << 0 << PlotView{0, 199, 4.5f, -9.0f};
}

void CurrentLoopCoreTest::zoomBox() {
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(int, level);
    QFETCH(PlotView, view);
    PlotZoom zoom = fullView();
    drag(zoom, from, to);
    QCOMPARE(zoom.ZoomLevel(), level);
    QCOMPARE(zoom.view().ViewLeft, view.ViewLeft);
    QCOMPARE(zoom.view().ViewWidth, view.ViewWidth);
    QVERIFY(std::abs(zoom.view().ViewTop - view.ViewTop) < 1e-4);
    QVERIFY(std::abs(zoom.view().ViewHeight - view.ViewHeight) < 1e-4);
    QVERIFY(zoom.view().ViewLeft + zoom.view().ViewWidth <= 199);
}

void CurrentLoopCoreTest::clickStepsBackAndRightClickReturns() {
    PlotZoom zoom = fullView();
    drag(zoom, {10, 3}, {110, -3});
    drag(zoom, {20, 2}, {60, -2});
    QCOMPARE(zoom.ZoomLevel(), 2);
    const PlotView deep = zoom.view();
    click(zoom, {30, 0});
    QCOMPARE(zoom.ZoomLevel(), 1);
    QCOMPARE(zoom.view(), (PlotView{10, 100, 3.0f, -6.0f}));

    // The right button returns to the full view; the deeper views stay in the stack.
    zoom.buttonDown(PlotZoom::Right, {30, 0});
    zoom.buttonUp(PlotZoom::Right, {30, 0});
    QCOMPARE(zoom.ZoomLevel(), 0);
    QCOMPARE(zoom.viewAt(2), deep);
    click(zoom, {30, 0});
    QCOMPARE(zoom.ZoomLevel(), 0);
}

void CurrentLoopCoreTest::deepestLevelIgnoresAFurtherBox() {
    PlotZoom zoom = fullView();
    for (int level = 1; level < PlotZoom::kLevels; ++level)
        drag(zoom, {10, 4}, {190, -4});
    QCOMPARE(zoom.ZoomLevel(), 14);
    const PlotView deepest = zoom.view();
    drag(zoom, {10, 3}, {100, -3});
    QCOMPARE(zoom.ZoomLevel(), 14);
    QCOMPARE(zoom.view(), deepest);
    click(zoom, {50, 0});
    QCOMPARE(zoom.ZoomLevel(), 13);
}

void CurrentLoopCoreTest::boxStaysUntilAPlainMove() {
    PlotZoom zoom = fullView();
    zoom.buttonDown(PlotZoom::Left, {10, 3});
    QVERIFY(!zoom.Dragging());
    zoom.mouseMove(PlotZoom::Left, {400, -10});
    QVERIFY(zoom.Dragging());
    QCOMPARE(zoom.DragEnd(), QPointF(400, -10));
    zoom.buttonUp(PlotZoom::Left, {400, -10});
    // Released: the box ends at the clamped corner and stays.
    QVERIFY(zoom.Dragging());
    QCOMPARE(zoom.DragEnd(), QPointF(199, -4.5));
    zoom.mouseMove(PlotZoom::Right, {30, 0});
    QVERIFY(zoom.Dragging());
    zoom.mouseMove(PlotZoom::NoButton, {30, 0});
    QVERIFY(!zoom.Dragging());
}

void CurrentLoopCoreTest::autoTune_data() {
    QTest::addColumn<int>("silentFrom"); // the first request the drive does not answer; -1: none
    QTest::addColumn<bool>("kpRead");
    QTest::addColumn<bool>("kiRead");
    QTest::newRow("drive answers") << -1 << true << true;
    QTest::newRow("tuning command unanswered") << 0 << true << true;
    QTest::newRow("Kp unanswered") << 1 << false << true;
    QTest::newRow("Ki unanswered") << 2 << true << false;
}

void CurrentLoopCoreTest::autoTune() {
    QFETCH(int, silentFrom);
    QFETCH(bool, kpRead);
    QFETCH(bool, kiRead);
    LinkRig rig;
    const quint16 kpBefore = rig.drive.reg(kiro::reg::CurrentLoopKp);
    // The drive misses four requests in a row from there: the link gives that step up.
    rig.clock.onEvents = [&rig, silentFrom] {
        if (rig.drive.fault().kind == kiro::sim::Misbehaviour::None && silentFrom >= 0 &&
            rig.drive.requests().size() == silentFrom)
            rig.drive.injectFault({kiro::sim::Misbehaviour::Silent, 0, 4});
    };
    if (silentFrom == 0)
        rig.clock.onEvents();

    qsizetype sentBeforeNotice = -1;
    const kiro::AutoTuneResult result = kiro::RunAutoTune(rig.link, [&] {
        sentBeforeNotice = rig.drive.requests().size();
        rig.clock.now += 1000; // the user reads the notice while the drive tunes
    });

    // Every step runs whatever the outcome of the one before: the command, the notice, the reads.
    const QList<QPair<int, int>> requests = rig.requests();
    QCOMPARE(sentBeforeNotice, qsizetype(silentFrom == 0 ? 4 : 1));
    QCOMPARE(requests.first(), (QPair<int, int>(6, kiro::reg::CurrentLoopAutoTune)));
    QCOMPARE(requests.at(sentBeforeNotice), (QPair<int, int>(3, kiro::reg::CurrentLoopKp)));
    QCOMPARE(requests.last(), (QPair<int, int>(3, kiro::reg::CurrentLoopKi)));
    QCOMPARE(requests.size(), sentBeforeNotice + (silentFrom > 0 ? 5 : 2));
    // A gain is given only as the drive returned it after tuning.
    QCOMPARE(result.kp.has_value(), kpRead);
    QCOMPARE(result.ki.has_value(), kiRead);
    if (kpRead) {
        QCOMPARE(*result.kp, rig.drive.reg(kiro::reg::CurrentLoopKp));
        QVERIFY(*result.kp != kpBefore);
    }
    if (kiRead)
        QCOMPARE(*result.ki, rig.drive.reg(kiro::reg::CurrentLoopKi));
    // The link has told of the failure, once.
    QCOMPARE(rig.prompts.prompts.size(), silentFrom < 0 ? 0 : 1);
}

QTEST_GUILESS_MAIN(CurrentLoopCoreTest)
#include "tst_currentloopcore.moc"
