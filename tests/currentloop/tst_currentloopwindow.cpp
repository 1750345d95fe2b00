// The current-loop window as an engineer uses it, against the simulated drive on a virtual clock:
// what reaches the drive and when, what the entries, the status lamp and the messages show, and
// what the plot draws.

#include "CurrentLoopRig.h"
#include "currentloop/CurrentLoopValues.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"
#include "shell/StatusLamp.h"
#include "tests/shell/ShellRig.h"
#include "tests/support/MdiFrameClicks.h"
#include "tests/support/PrivateFoldersWindowMain.h"

#include <QClipboard>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using kiro::CurrentLoopValues;
using kiro::sim::FaultInjection;
using kiro::sim::Misbehaviour;
using kiro::test::CurrentLoopRig;
using kiro::test::WireRequest;
namespace reg = kiro::reg;

namespace {

const QColor kField(236, 233, 216);
const QColor kCurve(28, 249, 105);
const QColor kZoomBox(23, 32, 3);
const QColor kZeroLine(39, 20, 100);
const QColor kReferenceLine(243, 81, 33);
const QColor kColumnLine(128, 128, 128);
const QColor kRowLine(107, 145, 148);

struct Frame {
    quint8 function;
    quint16 address;
    quint16 value;
    bool operator==(const Frame&) const = default;
};

QList<Frame> framesOf(const QList<WireRequest>& requests) {
    QList<Frame> frames;
    for (const WireRequest& request : requests)
        frames.append({request.function, request.address, request.value});
    return frames;
}

char* toString(const Frame& frame) {
    return qstrdup(QStringLiteral("%1:%2=%3")
                       .arg(frame.function)
                       .arg(frame.address)
                       .arg(frame.value)
                       .toUtf8());
}

// The rows of one pixel column that show the colour.
QList<int> rowsOf(const QImage& image, int column, const QColor& colour) {
    QList<int> rows;
    for (int row = 0; row < image.height(); ++row) {
        if (image.pixelColor(column, row).rgb() == colour.rgb())
            rows.append(row);
    }
    return rows;
}

// Whether the colour shows within a pixel of the row (lines land on whole pixels).
bool showsNear(const QImage& image, int column, const QColor& colour, double row) {
    for (const int found : rowsOf(image, column, colour)) {
        if (std::abs(found - row) <= 1.0)
            return true;
    }
    return false;
}

bool showsAnywhere(const QImage& image, const QColor& colour) {
    for (int column = 0; column < image.width(); ++column) {
        if (!rowsOf(image, column, colour).isEmpty())
            return true;
    }
    return false;
}

// Pixel row of a current in a view spanning top .. top + height over the 211 rows of the plot.
double rowOf(double amperes, double top, double height) {
    return (amperes - top) * 211.0 / height;
}

QString failureTitleOf(const QString& variant) {
    return variant == QLatin1String("x7") ? QStringLiteral("通讯故障！")
                                          : QStringLiteral("Communication Error");
}
QString failureTextOf(const QString& variant) {
    return variant == QLatin1String("x7")
               ? QStringLiteral("请检查连接后重新开启软件！")
               : QStringLiteral("Communication Error. Please check the RS232 cable connection "
                                "and restart Kirotune.");
}

QString panelOf(const CurrentLoopRig& rig) {
    return rig.widget<QLabel>(QStringLiteral("StatusBar1_2"))->text();
}

// The text that the window system gives a key press along with the key: a control character for
// Delete, Backspace and Ctrl with a letter, nothing for the arrows, Home and End.
QString platformTextOf(QKeyCombination key) {
    const int code = key.key();
    if (code == Qt::Key_Delete)
        return QString(QChar(0x7f));
    if (code == Qt::Key_Backspace)
        return QString(QChar(0x08));
    if (code >= Qt::Key_A && code <= Qt::Key_Z) {
        if (key.keyboardModifiers() & Qt::ControlModifier)
            return QString(QChar(code - Qt::Key_A + 1));
        return QString(QChar(code - Qt::Key_A + 'a'));
    }
    if (code >= Qt::Key_0 && code <= Qt::Key_9)
        return QString(QChar(code));
    return {};
}

// A record of 200 samples: the first half at `before`, the rest at `after` (Q10).
QVector<qint16> twoLevels(qint16 before, qint16 after) {
    QVector<qint16> samples(200, before);
    std::fill(samples.begin() + 100, samples.end(), after);
    return samples;
}

} // namespace

class CurrentLoopWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensReadingBothGains_data();
    void opensReadingBothGains();
    void startClampsAndWritesInOrder_data();
    void startClampsAndWritesInOrder();
    void startWaitsAsTheDriveNeeds_data();
    void startWaitsAsTheDriveNeeds();
    void enterClampsAndWrites_data();
    void enterClampsAndWrites();
    void keyFilterFlashesTheLamp();
    void editingKeysWorkAsInAnyEntry_data();
    void editingKeysWorkAsInAnyEntry();

    void plotDrawsTheRecord_data();
    void plotDrawsTheRecord();
    void emptyStepSpansTwoTenthsOfAnAmpere();
    void referenceLineFollowsEnter();
    void zoomWithTheMouse();

    void closeEndsTheTest_data();
    void closeEndsTheTest();
    void exitingTheTunerEndsTheTest();
    void autoTuning_data();
    void autoTuning();
    void givingUp_data();
    void givingUp();
    void vanishedPortIsReportedOnce();

    void inputDuringAnExchange_data();
    void inputDuringAnExchange();
    void closeWaitsForAnotherWindowsExchange();
    void closeWaitsForAnotherWindowsWork();
    void oneClickOnTheFrameCloses_data();
    void oneClickOnTheFrameCloses();
    void exitDuringAFailingStart();

    void inTheTunerOnItsRealClock();
};

void CurrentLoopWindowTest::opensReadingBothGains_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("qztune-x7") << "x7" << QPoint(0, 0);
    QTest::newRow("QZ318") << "qz318" << QPoint(3500 / 15, 500 / 15);
}

void CurrentLoopWindowTest::opensReadingBothGains() {
    QFETCH(QString, variant);
    QFETCH(QPoint, place);
    CurrentLoopRig rig(variant);
    rig.drive.setReg(reg::CurrentLoopKp, 1234);
    rig.drive.setReg(reg::CurrentLoopKi, 56789); // shown unsigned
    QVERIFY(rig.openWindow());

    QCOMPARE(framesOf(rig.wire.requests), (QList<Frame>{{3, 0, 1}, {3, 1, 1}}));
    QCOMPARE(rig.form()->windowTitle(), QStringLiteral("电流环调试"));
    QCOMPARE(rig.form()->parentWidget()->pos(), place);
    QCOMPARE(rig.entry(0)->text(), QStringLiteral("1234"));
    QCOMPARE(rig.entry(1)->text(), QStringLiteral("56789"));
    QCOMPARE(rig.entry(2)->text(), QString());
    const QStringList labels{"Kp:", "Ki:", "I-test:"};
    for (int index = 0; index < 3; ++index) {
        auto* label = rig.widget<QLabel>(QStringLiteral("Label1_%1").arg(index));
        QCOMPARE(label->text(), labels[index]);
        QCOMPARE(label->buddy(), rig.entry(index));
    }
    QCOMPARE(rig.widget<QPushButton>("Command1")->text(), QStringLiteral("Start"));
    QCOMPARE(rig.widget<QPushButton>("Command2")->text(), QStringLiteral("auto"));
    QVERIFY(!rig.widget<QTimer>("DataSource")->isActive());
    QVERIFY(rig.state.ToolWindowOpen);
    QVERIFY(rig.state.WindowOpenFlags(1));
    QVERIFY(rig.state.TuningIdle());
    QCOMPARE(rig.lamp.states, (QStringList{"busy", "idle"}));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKi, 56789.0f);
}

void CurrentLoopWindowTest::startClampsAndWritesInOrder_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("kp");
    QTest::addColumn<QString>("ki");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("written"); // Kp, Ki, register 4

    QTest::newRow("x7 zeros and empty") << "x7"
                                        << "0"
                                        << "0"
                                        << "" << QStringList{"1", "0", "0"} << QList<int>{1, 0, 0};
    QTest::newRow("x7 at and above the limits")
        << "x7"
        << "70000"
        << "65535"
        << "7.5" << QStringList{"65535", "65535", "5"} << QList<int>{65535, 65535, 5120};
    QTest::newRow("x7 fractions round on the wire")
        << "x7"
        << "12.7"
        << "3.2"
        << "1.5" << QStringList{"12.7", "3.2", "1.5"} << QList<int>{13, 3, 1536};
    QTest::newRow("qz318 no leading number")
        << "qz318"
        << "abc"
        << "-5"
        << "." << QStringList{"1", "0", "0"} << QList<int>{1, 0, 0};
    QTest::newRow("qz318 exponents and small current")
        << "qz318"
        << " 1e9"
        << "2e"
        << "0.001" << QStringList{"65535", "2", "0.001"} << QList<int>{65535, 2, 1};
}

void CurrentLoopWindowTest::startClampsAndWritesInOrder() {
    QFETCH(QString, variant);
    QFETCH(QString, kp);
    QFETCH(QString, ki);
    QFETCH(QString, current);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, written);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    rig.lamp.states.clear();

    QVERIFY(rig.start(kp.toUtf8(), ki.toUtf8(), current.toUtf8()));
    for (int index = 0; index < 3; ++index)
        QCOMPARE(rig.entry(index)->text(), shown[index]);
    const QList<Frame> expected{{6, reg::CurrentLoopKp, quint16(written[0])},
                                {6, reg::CurrentLoopKi, quint16(written[1])},
                                {6, reg::StepTestCurrent, quint16(written[2])},
                                {6, reg::StepTestCommand, 1},
                                {3, reg::StepResponseFirst, 200}};
    QCOMPARE(framesOf(rig.requestsFrom(2)), expected);
    QCOMPARE(rig.drive.reg(reg::StepTestCurrent), quint16(written[2]));
    QVERIFY(rig.widget<QTimer>("DataSource")->isActive());
    QVERIFY(rig.widget("Command1")->isEnabled());
    QVERIFY(rig.state.TuningIdle());
    QCOMPARE(rig.lamp.states.first(), QStringLiteral("busy"));
    QCOMPARE(rig.lamp.states.last(), QStringLiteral("idle"));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QCOMPARE(CurrentLoopValues::of(rig.state).SampleCount, qint16(200));
}

void CurrentLoopWindowTest::startWaitsAsTheDriveNeeds_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

void CurrentLoopWindowTest::startWaitsAsTheDriveNeeds() {
    QFETCH(QString, variant);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1"));
    const QList<WireRequest> start = rig.requestsFrom(2);
    QCOMPARE(start.size(), 5);
    // Reply waits at 38400 baud: writes 8 * 10 \ 38 + 30; the step current without the factor
    // 10; the step itself 500 ms of margin; the record (406 bytes expected) 100 ms of margin.
    const int replyWaits[] = {32, 32, 30, 502, 206};
    for (int step = 0; step < 5; ++step) {
        const qint64 waited = start[step].readAt - start[step].sentAt;
        QVERIFY2(waited >= replyWaits[step] && waited <= replyWaits[step] + 1,
                 qPrintable(QStringLiteral("step %1 waited %2").arg(step).arg(waited)));
    }
    // After the three writes a settle wait of 32 ms follows the reading of the reply; the step
    // command is followed by the record read at once.
    const int readingWait = 30;
    for (int step = 0; step < 4; ++step) {
        const qint64 gap = start[step + 1].sentAt - start[step].readAt;
        const bool settles = step < 3;
        QVERIFY2(settles ? gap >= readingWait + 32 : gap < readingWait + 32,
                 qPrintable(QStringLiteral("after step %1: %2 ms").arg(step).arg(gap)));
    }
}

void CurrentLoopWindowTest::enterClampsAndWrites_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("written"); // -1: nothing reaches the drive

    QTest::newRow("x7 Kp 0") << "x7" << 0 << "0"
                             << "1" << 1;
    QTest::newRow("x7 Kp too large") << "x7" << 0 << "99999"
                                     << "65535" << 65535;
    QTest::newRow("x7 Ki 0 becomes 1 on Enter") << "x7" << 1 << "0"
                                                << "1" << 1;
    QTest::newRow("qz318 Ki without a number") << "qz318" << 1 << "abc"
                                               << "1" << 1;
    QTest::newRow("qz318 Ki 450") << "qz318" << 1 << "450"
                                  << "450" << 450;
    QTest::newRow("x7 I-test only changes the text") << "x7" << 2 << "7.5"
                                                     << "5" << -1;
    QTest::newRow("qz318 I-test empty") << "qz318" << 2 << ""
                                        << "0" << -1;
}

void CurrentLoopWindowTest::enterClampsAndWrites() {
    QFETCH(QString, variant);
    QFETCH(int, entry);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, written);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    rig.lamp.states.clear();

    rig.entry(entry)->setText(typed);
    rig.pressEnter(entry);
    QCOMPARE(rig.entry(entry)->text(), shown);
    const QList<Frame> frames = framesOf(rig.requestsFrom(2));
    if (written < 0)
        QVERIFY(frames.isEmpty());
    else
        QCOMPARE(frames, (QList<Frame>{{6, quint16(entry), quint16(written)}}));
    QCOMPARE(rig.lamp.states, (QStringList{"busy", "idle"}));
    QVERIFY(rig.state.TuningIdle());
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void CurrentLoopWindowTest::keyFilterFlashesTheLamp() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    rig.entry(0)->clear();
    rig.lamp.states.clear();
    QTest::keyClicks(rig.entry(0), QStringLiteral("1a.-5"));
    QCOMPARE(rig.entry(0)->text(), QStringLiteral("1.5"));
    QTest::keyClick(rig.entry(0), Qt::Key_Backspace);
    QCOMPARE(rig.entry(0)->text(), QStringLiteral("1."));
    // Every key flashes the lamp, accepted or discarded; keys that type nothing do not.
    QTest::keyClick(rig.entry(0), Qt::Key_Left);
    QCOMPARE(rig.lamp.states.size(), 12);
    QCOMPARE(rig.lamp.states.last(), QStringLiteral("idle"));
    QCOMPARE(panelOf(rig), QStringLiteral("Ready"));
    QCOMPARE(rig.wire.requests.size(), 2);
}

void CurrentLoopWindowTest::editingKeysWorkAsInAnyEntry_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QList<int>>("keys"); // pressed in an entry that holds "1234", at its end
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters"); // keys that go through the key filter

    const int paste = (Qt::CTRL | Qt::Key_V).toCombined();
    QTest::newRow("x7 Kp Home Delete")
        << "x7" << 0 << QList<int>{Qt::Key_Home, Qt::Key_Delete} << "234" << 0;
    QTest::newRow("x7 Ki arrows Delete")
        << "x7" << 1 << QList<int>{Qt::Key_Left, Qt::Key_Left, Qt::Key_Delete} << "124" << 0;
    QTest::newRow("qz318 I-test Home Right Delete End Backspace")
        << "qz318" << 2
        << QList<int>{Qt::Key_Home, Qt::Key_Right, Qt::Key_Delete, Qt::Key_End, Qt::Key_Backspace}
        << "13" << 1;
    QTest::newRow("qz318 Kp digit after arrows")
        << "qz318" << 0 << QList<int>{Qt::Key_Left, Qt::Key_Left, Qt::Key_5} << "12534" << 1;
    QTest::newRow("x7 I-test letter after Home still discarded")
        << "x7" << 2 << QList<int>{Qt::Key_Home, Qt::Key_A, Qt::Key_Delete} << "234" << 1;
    QTest::newRow("qz318 Ki paste")
        << "qz318" << 1 << QList<int>{Qt::Key_Home, paste} << "x1234" << 0;
}

void CurrentLoopWindowTest::editingKeysWorkAsInAnyEntry() {
    QFETCH(QString, variant);
    QFETCH(int, entry);
    QFETCH(QList<int>, keys);
    QFETCH(QString, text);
    QFETCH(int, characters);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    QApplication::clipboard()->setText(QStringLiteral("x"));
    rig.entry(entry)->setText(QStringLiteral("1234"));
    rig.entry(entry)->setFocus(Qt::MouseFocusReason);
    rig.lamp.states.clear();

    for (const int combined : keys) {
        const QKeyCombination key = QKeyCombination::fromCombined(combined);
        QTest::sendKeyEvent(QTest::Click, rig.entry(entry), key.key(), platformTextOf(key),
                            key.keyboardModifiers());
    }
    rig.settle();
    QCOMPARE(rig.entry(entry)->text(), text);
    // Only the characters flash the lamp; nothing reaches the drive.
    QCOMPARE(rig.lamp.states.size(), 2 * characters);
    QCOMPARE(rig.wire.requests.size(), 2);
    QVERIFY(rig.state.TuningIdle());
}

void CurrentLoopWindowTest::plotDrawsTheRecord_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

void CurrentLoopWindowTest::plotDrawsTheRecord() {
    QFETCH(QString, variant);
    CurrentLoopRig rig(variant);
    // -0.5 A for the first 100 samples (0xFE00 on the wire: signed Q10), then 3 A.
    rig.drive.setStepResponse(twoLevels(-512, 3072));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));

    const QImage image = rig.tick();
    QCOMPARE(image.size(), QSize(455, 211));
    // The full view spans samples 0 to 199 and +-4.5 A (three times the step current).
    const double top = 4.5;
    const double height = -9;
    const int early = int(50 * 455 / 199.0);
    const int late = int(150 * 455 / 199.0);
    QVERIFY(showsNear(image, early, kCurve, rowOf(-0.5, top, height)));
    QVERIFY(showsNear(image, late, kCurve, rowOf(3.0, top, height)));
    QVERIFY(showsNear(image, late, kZeroLine, rowOf(0, top, height)));
    QVERIFY(showsNear(image, late, kReferenceLine, rowOf(1.5, top, height)));
    QVERIFY(!showsNear(image, early, kCurve, rowOf(3.0, top, height)));

    // The background stays behind the drawing, with its grid at fixed pixels.
    QCOMPARE(image.pixelColor(30, 20).rgb(), kField.rgb());
    QCOMPARE(image.pixelColor(218, 20).rgb(), kColumnLine.rgb());
    QCOMPARE(image.pixelColor(30, 154).rgb(), kRowLine.rgb());
    QVERIFY(rowsOf(image, 30, kRowLine).contains(51));

    // The curve is drawn thin on the first redraw and two pixels wide from then on.
    const QList<int> thin = rowsOf(image, late, kCurve);
    const QList<int> wide = rowsOf(rig.tick(), late, kCurve);
    QCOMPARE(thin.size(), 1);
    QCOMPARE(wide.size(), 2);
}

void CurrentLoopWindowTest::emptyStepSpansTwoTenthsOfAnAmpere() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    rig.drive.setStepResponse(QVector<qint16>(200, 102)); // about 0.1 A
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", ""));
    const QImage image = rig.tick();
    // +-0.2 A; the reference line at 0 A lies over the zero line.
    QVERIFY(showsNear(image, 200, kCurve, rowOf(102 / 1024.0, 0.2, -0.4)));
    QVERIFY(showsNear(image, 200, kReferenceLine, rowOf(0, 0.2, -0.4)));
    QVERIFY(!showsAnywhere(image, kZeroLine));
}

void CurrentLoopWindowTest::referenceLineFollowsEnter() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    rig.drive.setStepResponse(twoLevels(0, 1024));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));
    QVERIFY(showsNear(rig.tick(), 300, kReferenceLine, rowOf(1.5, 4.5, -9)));

    const qsizetype sent = rig.wire.requests.size();
    rig.entry(2)->setText(QStringLiteral("3"));
    rig.pressEnter(2);
    QCOMPARE(rig.wire.requests.size(), sent);
    const QImage image = rig.tick();
    // The line moves at once; the vertical scale stays as the last Start set it.
    QVERIFY(showsNear(image, 300, kReferenceLine, rowOf(3, 4.5, -9)));
    QVERIFY(!showsNear(image, 300, kReferenceLine, rowOf(1.5, 4.5, -9)));
    QVERIFY(showsNear(image, 300, kZeroLine, rowOf(0, 4.5, -9)));

    // A minimised window is not redrawn.
    auto* frame = qobject_cast<QMdiSubWindow*>(rig.form()->parentWidget());
    frame->showMinimized();
    rig.entry(2)->setText(QStringLiteral("1"));
    rig.pressEnter(2);
    QVERIFY(showsNear(rig.tick(), 300, kReferenceLine, rowOf(3, 4.5, -9)));
    frame->showNormal();
    QVERIFY(showsNear(rig.tick(), 300, kReferenceLine, rowOf(1, 4.5, -9)));
}

void CurrentLoopWindowTest::zoomWithTheMouse() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    rig.drive.setStepResponse(twoLevels(-256, 1024));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1.5"));
    QWidget* plot = rig.widget(QStringLiteral("Picture1"));
    rig.tick();

    // Dragging shows the dotted box at the pixels the mouse went over.
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(100, 50));
    QMouseEvent drag(QEvent::MouseMove, QPointF(300, 150), plot->mapToGlobal(QPointF(300, 150)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(plot, &drag);
    QImage image = rig.tick();
    QVERIFY(showsNear(image, 200, kZoomBox, 50));
    QVERIFY(showsNear(image, 200, kZoomBox, 150));
    QVERIFY(rowsOf(image, 200, kZoomBox).size() <= 4);

    // The release makes the box the new view at the next tick: samples 44 to 131 (rounded),
    // 2.37 A down to -1.90 A.
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(300, 150));
    const double top = 4.5 - 50 * 9 / 211.0;
    const double height = -100 * 9 / 211.0;
    image = rig.tick();
    QVERIFY(showsNear(image, 300, kZeroLine, rowOf(0, top, height)));
    QVERIFY(showsNear(image, 300, kReferenceLine, rowOf(1.5, top, height)));
    // Sample 100 (the step) now sits at pixel (100 - 44) * 455 / 87.
    const int stepColumn = int((100 - 44) * 455 / 87.0);
    QVERIFY(showsNear(image, stepColumn - 5, kCurve, rowOf(-0.25, top, height)));
    QVERIFY(showsNear(image, stepColumn + 8, kCurve, rowOf(1, top, height)));
    // The box stays until the mouse moves with no button held.
    QVERIFY(showsAnywhere(image, kZoomBox));
    QTest::mouseMove(plot, QPoint(10, 10));
    QVERIFY(!showsAnywhere(rig.tick(), kZoomBox));

    // Nothing happens to the view while the window is in transfer.
    rig.state.setTuningIdle(false);
    QTest::mouseClick(plot, Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY(showsNear(rig.tick(), 300, kZeroLine, rowOf(0, top, height)));
    rig.state.setTuningIdle(true);

    // A right click returns to the full view.
    QTest::mouseClick(plot, Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY(showsNear(rig.tick(), 300, kZeroLine, rowOf(0, 4.5, -9)));
}

void CurrentLoopWindowTest::closeEndsTheTest_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QStringList>("lampWhileClosing");
    QTest::newRow("x7 without Start") << "x7" << false << QStringList{"idle"};
    QTest::newRow("x7 after Start") << "x7" << true << QStringList{"idle"};
    QTest::newRow("qz318 without Start") << "qz318" << false << QStringList{};
    QTest::newRow("qz318 after Start") << "qz318" << true << QStringList{};
}

void CurrentLoopWindowTest::closeEndsTheTest() {
    QFETCH(QString, variant);
    QFETCH(bool, started);
    QFETCH(QStringList, lampWhileClosing);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    if (started)
        QVERIFY(rig.start("1000", "300", "1"));
    QCOMPARE(rig.drive.stepTestRunning(), started);
    const qsizetype sent = rig.wire.requests.size();
    rig.lamp.states.clear();

    rig.closeForm();
    QVERIFY(rig.formGone());
    const QList<WireRequest> closing = rig.requestsFrom(sent);
    QCOMPARE(framesOf(closing), (QList<Frame>{{6, reg::StepTestCommand, 0}}));
    // 8 \ 38 + 30: the close waits without the factor 10.
    QVERIFY(closing[0].readAt - closing[0].sentAt <= 31);
    QVERIFY(!rig.drive.stepTestRunning());
    QCOMPARE(rig.lamp.states, lampWhileClosing);
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(1));
    QVERIFY(rig.prompts.prompts.isEmpty());

    // The next opening reads the gains again; the step current entry opens empty.
    QVERIFY(rig.openWindow());
    QCOMPARE(rig.entry(2)->text(), QString());
}

void CurrentLoopWindowTest::exitingTheTunerEndsTheTest() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1"));
    const qsizetype sent = rig.wire.requests.size();
    rig.window->findChild<QAction*>(QStringLiteral("exit"))->trigger();
    QTRY_VERIFY(!rig.window->isVisible());
    QCOMPARE(framesOf(rig.requestsFrom(sent)), (QList<Frame>{{6, reg::StepTestCommand, 0}}));
    QVERIFY(!rig.drive.stepTestRunning());
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.window->isVisible());
}

void CurrentLoopWindowTest::autoTuning_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("qztune-x7") << "x7"
                               << "提示"
                               << "电流环调试界面将关闭！";
    QTest::newRow("QZ318") << "qz318"
                           << "Prompt"
                           << "The current loop tuning window will be closed soon.";
}

void CurrentLoopWindowTest::autoTuning() {
    QFETCH(QString, variant);
    QFETCH(QString, title);
    QFETCH(QString, text);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    const QString kpBefore = rig.entry(0)->text();
    // The engineer takes a second to read the notice; the drive finishes its tuning meanwhile.
    rig.prompts.whileShown = [&rig](const kiro::Prompt&) { rig.clock.now += 1000; };

    QVERIFY(rig.click(QStringLiteral("Command2")));
    QCOMPARE(rig.prompts.titles(), QStringList{title});
    QCOMPARE(rig.prompts.texts(), QStringList{text});
    QCOMPARE(framesOf(rig.requestsFrom(2)), (QList<Frame>{{6, reg::CurrentLoopAutoTune, 1},
                                                          {3, reg::CurrentLoopKp, 1},
                                                          {3, reg::CurrentLoopKi, 1},
                                                          {6, reg::StepTestCommand, 0}}));
    const quint16 tunedKp = rig.drive.reg(reg::CurrentLoopKp);
    QVERIFY(QString::number(tunedKp) != kpBefore);
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKp, float(tunedKp));
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKi, float(rig.drive.reg(reg::CurrentLoopKi)));
    QVERIFY(rig.formGone());
    QVERIFY(!rig.state.ToolWindowOpen);
}

void CurrentLoopWindowTest::givingUp_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("action"); // what the engineer does after the window has opened
    QTest::addColumn<int>("silentFrom"); // index of the first request the drive ignores
    QTest::addColumn<bool>("startDisabled");

    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s load Kp", variant) << variant << "" << 0 << false;
        QTest::addRow("%s load Ki", variant) << variant << "" << 1 << false;
        QTest::addRow("%s Start Kp", variant) << variant << "start" << 2 << true;
        QTest::addRow("%s Start Ki", variant) << variant << "start" << 3 << true;
        QTest::addRow("%s Start I-test", variant) << variant << "start" << 4 << true;
        QTest::addRow("%s Start step", variant) << variant << "start" << 5 << true;
        QTest::addRow("%s Start record", variant) << variant << "start" << 6 << true;
        QTest::addRow("%s Enter Ki", variant) << variant << "enter" << 2 << false;
        QTest::addRow("%s close", variant) << variant << "close" << 2 << false;
    }
}

void CurrentLoopWindowTest::givingUp() {
    QFETCH(QString, variant);
    QFETCH(QString, action);
    QFETCH(int, silentFrom);
    QFETCH(bool, startDisabled);
    CurrentLoopRig rig(variant);
    const FaultInjection silent{Misbehaviour::Silent, 0, -1};
    if (silentFrom == 0)
        rig.drive.injectFault(silent);
    else
        rig.afterRequest(silentFrom, [&rig, silent] { rig.drive.injectFault(silent); });
    QVERIFY(rig.openWindow());
    if (action == QLatin1String("start")) {
        QVERIFY(rig.start("1000", "300", "1"));
    } else if (action == QLatin1String("enter")) {
        rig.entry(1)->setText(QStringLiteral("200"));
        rig.pressEnter(1);
    } else if (action == QLatin1String("close")) {
        rig.closeForm();
    }

    // Twelve attempts at the step that failed, then the message once.
    const QList<Frame> failing = framesOf(rig.requestsFrom(silentFrom));
    QCOMPARE(failing.size(), 12);
    QVERIFY(std::all_of(failing.begin(), failing.end(),
                        [&](const Frame& frame) { return frame == failing.first(); }));
    QCOMPARE(rig.prompts.texts(), QStringList{failureTextOf(variant)});
    QCOMPARE(rig.prompts.titles(), QStringList{failureTitleOf(variant)});
    QVERIFY(rig.state.TuningIdle());
    if (variant == QLatin1String("x7"))
        QCOMPARE(rig.lamp.states.last(), QStringLiteral("idle"));
    else if (action != QLatin1String("close"))
        QCOMPARE(panelOf(rig), QStringLiteral("Communicating..."));

    if (action == QLatin1String("close")) {
        QVERIFY(rig.formGone()); // the close is never cancelled
        QVERIFY(!rig.state.ToolWindowOpen);
        return;
    }
    QVERIFY(!rig.form()->isEnabled());
    QVERIFY(!rig.widget<QTimer>("DataSource")->isActive());
    QCOMPARE(!rig.widget("Command1")->isEnabledTo(rig.form()), startDisabled);
    QVERIFY(rig.state.ToolWindowOpen);
}

void CurrentLoopWindowTest::vanishedPortIsReportedOnce() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    rig.port.vanish();
    QVERIFY(rig.start("1000", "300", "1"));
    // The port's own complaint once, not twelve times, then the window gives up as usual.
    QCOMPARE(rig.prompts.texts(),
             (QStringList{rig.port.errorString(), failureTextOf(QStringLiteral("x7"))}));
    QCOMPARE(rig.wire.requests.size(), 2);
    QVERIFY(!rig.form()->isEnabled());
}

void CurrentLoopWindowTest::inputDuringAnExchange_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("exchange"); // "start" or "enter" (Enter in the Kp entry)
    QTest::addColumn<QString>("input");    // what arrives while it waits

    for (const char* variant : {"x7", "qz318"}) {
        for (const char* exchange : {"start", "enter"}) {
            for (const char* input : {"enter", "auto", "close", "start"})
                QTest::addRow("%s %s then %s", variant, exchange, input)
                    << variant << exchange << input;
        }
    }
}

void CurrentLoopWindowTest::inputDuringAnExchange() {
    QFETCH(QString, variant);
    QFETCH(QString, exchange);
    QFETCH(QString, input);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    rig.drive.setReplyDelayMs(25); // a slow drive, answering late in every wait

    bool arrived = false;
    bool idleAfterInput = true;
    // During the step's long wait, or during the wait of the Kp write.
    rig.afterRequest(exchange == QLatin1String("start") ? 6 : 3, [&] {
        arrived = true;
        if (input == QLatin1String("enter")) {
            rig.entry(1)->setText(QStringLiteral("77"));
            rig.pressEnter(1);
        } else if (input == QLatin1String("auto")) {
            rig.widget<QPushButton>("Command2")->click();
        } else if (input == QLatin1String("close")) {
            rig.closeForm();
        } else {
            rig.widget<QPushButton>("Command1")->click();
        }
        idleAfterInput = rig.state.TuningIdle();
    });
    if (exchange == QLatin1String("start")) {
        QVERIFY(rig.start("1000", "300", "1"));
    } else {
        rig.entry(1)->setText(QStringLiteral("300"));
        rig.entry(2)->setText(QStringLiteral("1"));
        rig.entry(0)->setText(QStringLiteral("2000"));
        rig.pressEnter(0);
    }
    QVERIFY(arrived);
    QVERIFY2(!idleAfterInput, "the input marked the window idle in the middle of the exchange");

    auto startFrames = [](quint16 kp) {
        return QList<Frame>{{6, reg::CurrentLoopKp, kp},
                            {6, reg::CurrentLoopKi, 300},
                            {6, reg::StepTestCurrent, 1024},
                            {6, reg::StepTestCommand, 1},
                            {3, reg::StepResponseFirst, 200}};
    };
    QList<Frame> expected;
    if (exchange == QLatin1String("start"))
        expected = startFrames(1000);
    else
        expected = {{6, reg::CurrentLoopKp, 2000}};
    // Every input waits for its turn: Enter writes its gain after the exchange, Start (whose
    // button the running Start has disabled) and "auto" run after it; a close waits for the work
    // to end and still ends the test mode, as does the close that "auto" ends with.
    if (input == QLatin1String("enter"))
        expected.append({6, reg::CurrentLoopKi, 77});
    if (input == QLatin1String("start") && exchange == QLatin1String("enter"))
        expected += startFrames(2000);
    if (input == QLatin1String("auto")) {
        expected += {{6, reg::CurrentLoopAutoTune, 1},
                     {3, reg::CurrentLoopKp, 1},
                     {3, reg::CurrentLoopKi, 1}};
    }
    const bool closes = input == QLatin1String("close") || input == QLatin1String("auto");
    if (closes)
        expected.append({6, reg::StepTestCommand, 0});
    QCOMPARE(framesOf(rig.requestsFrom(2)), expected);
    QCOMPARE(rig.prompts.texts().size(), input == QLatin1String("auto") ? 1 : 0);
    QVERIFY(rig.state.TuningIdle());
    if (closes) {
        QVERIFY(rig.formGone());
        QVERIFY(!rig.state.ToolWindowOpen);
    } else {
        QVERIFY(rig.form()->isEnabled());
        QVERIFY(rig.widget("Command1")->isEnabled());
        QCOMPARE(rig.entry(1)->text(), input == QLatin1String("enter") ? "77" : "300");
    }
    if (exchange == QLatin1String("start") && !closes) {
        // The run is kept with the gains the drive had for it, not with a later Enter's.
        const auto* legend = rig.widget(QStringLiteral("RunLegend"));
        QVERIFY(legend);
        const auto* entry = legend->findChild<QLabel*>(QStringLiteral("RunLegendEntry"));
        QVERIFY(entry);
        QCOMPARE(entry->accessibleName(), QStringLiteral("1000/300, 1 A"));
    }
}

void CurrentLoopWindowTest::closeWaitsForAnotherWindowsExchange() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    {
        // Another window holds the link for a sequence of its own.
        kiro::DriveLink::Session other(rig.link);
        rig.closeForm();
        QVERIFY(rig.form());
        QCOMPARE(rig.wire.requests.size(), 2);
    }
    QTRY_VERIFY(rig.formGone());
    QCOMPARE(framesOf(rig.requestsFrom(2)), (QList<Frame>{{6, reg::StepTestCommand, 0}}));
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void CurrentLoopWindowTest::closeWaitsForAnotherWindowsWork() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    // Another window reads the fault words; the close arrives in the middle of that read.
    kiro::DriveWork other(rig.state.work());
    other.submit([&rig] {
        rig.link.ReadRegisters(kiro::modbus::kDriveStation, reg::FaultWordsFirst,
                               reg::FaultWordCount);
    });
    bool openDuringTheRead = false;
    rig.afterRequest(3, [&] {
        rig.closeForm();
        openDuringTheRead = rig.form() && rig.form()->isVisible();
    });
    QVERIFY(rig.settle());
    QVERIFY(openDuringTheRead);
    QVERIFY(rig.formGone());
    QCOMPARE(framesOf(rig.requestsFrom(2)),
             (QList<Frame>{{3, reg::FaultWordsFirst, reg::FaultWordCount},
                           {6, reg::StepTestCommand, 0}}));
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void CurrentLoopWindowTest::oneClickOnTheFrameCloses_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("focus"); // the control that has the focus
    QTest::addColumn<QString>("how");   // "close button" or "Ctrl+F4"

    for (const char* variant : {"x7", "qz318"}) {
        for (const char* focus : {"Text1_0", "Text1_2", "Command1", "Command2"}) {
            for (const char* how : {"close button", "Ctrl+F4"})
                QTest::addRow("%s %s %s", variant, focus, how) << variant << focus << how;
        }
    }
}

void CurrentLoopWindowTest::oneClickOnTheFrameCloses() {
    QFETCH(QString, variant);
    QFETCH(QString, focus);
    QFETCH(QString, how);
    CurrentLoopRig rig(variant);
    QVERIFY(rig.openWindow());
    QVERIFY(rig.start("1000", "300", "1"));
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QWidget* control = rig.widget(focus);
    if (auto* entry = qobject_cast<QLineEdit*>(control)) {
        // Clicked into, with a digit typed but not entered.
        QTest::mouseClick(entry, Qt::LeftButton);
        QTest::keyClick(entry, Qt::Key_7);
    } else {
        control->setFocus(Qt::TabFocusReason);
    }
    QCOMPARE(QApplication::focusWidget(), control);
    const qsizetype sent = rig.wire.requests.size();
    QMdiSubWindow* frame = rig.frame();

    // A click on the title bar only activates the window.
    kiro::test::clickTitleBar(frame);
    rig.settle();
    QVERIFY(rig.form()->isVisible());
    QCOMPARE(QApplication::focusWidget(), control);
    QCOMPARE(rig.wire.requests.size(), sent);

    if (how == QLatin1String("close button"))
        kiro::test::clickCloseButton(frame);
    else
        QTest::keyClick(control, Qt::Key_F4, Qt::ControlModifier);
    rig.settle();
    QVERIFY(rig.formGone());
    // Closing ends the test mode, and writes nothing else.
    QCOMPARE(framesOf(rig.requestsFrom(sent)), (QList<Frame>{{6, reg::StepTestCommand, 0}}));
    QVERIFY(!rig.drive.stepTestRunning());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(!rig.state.ToolWindowOpen);
}

void CurrentLoopWindowTest::exitDuringAFailingStart() {
    kiro::test::ShellRig rig(QStringLiteral("x7"));
    kiro::installCurrentLoopWindow(*rig.window);
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger(QStringLiteral("I_test")));
    QTRY_VERIFY(rig.state.work().idle());
    QVERIFY(rig.widget("Form1")->isEnabled());

    // The drive falls silent, so Start gives up; while its message box is on screen the user
    // ends the program (and the drive answers again).
    rig.drive.injectFault({Misbehaviour::Silent, 0, -1});
    int exitsAsked = 0;
    rig.prompts.whileShown = [&](const kiro::Prompt& prompt) {
        if (prompt.title != failureTitleOf(QStringLiteral("x7")) || exitsAsked++ > 0)
            return;
        rig.drive.injectFault({});
        // A message box runs an event loop of its own until it is answered.
        QEventLoop box;
        QTimer::singleShot(0, rig.window.get(), [&rig] { rig.trigger(QStringLiteral("exit")); });
        QTimer::singleShot(300, &box, &QEventLoop::quit);
        box.exec();
    };
    const qsizetype sentBeforeStart = rig.drive.requests().size();
    QVERIFY(rig.click(QStringLiteral("Command1")));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window->isVisible(), 10000);

    QCOMPARE(exitsAsked, 1);
    QCOMPARE(rig.prompts.texts(), QStringList{failureTextOf(QStringLiteral("x7"))});
    // Twelve attempts at Kp, then the end of the test mode as the window closes.
    QCOMPARE(rig.drive.requests().size(), sentBeforeStart + 13);
    QCOMPARE(quint8(rig.drive.requests().last()[3]), quint8(reg::StepTestCommand));
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!rig.isShown(QStringLiteral("Form1")));
}

void CurrentLoopWindowTest::inTheTunerOnItsRealClock() {
    kiro::test::ShellRig rig(QStringLiteral("qz318"));
    kiro::installCurrentLoopWindow(*rig.window);
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger(QStringLiteral("Toolbar1_3"))); // "电流环显示"
    QTRY_COMPARE(rig.widget<QLineEdit>("Text1_0")->text(), QStringLiteral("900"));
    rig.widget<QLineEdit>("Text1_2")->setText(QStringLiteral("1"));
    QVERIFY(rig.click(QStringLiteral("Command1")));
    // The plot timer draws the record by itself.
    QTRY_VERIFY(showsAnywhere(rig.widget("Picture1")->grab().toImage(), kCurve));
    QTRY_VERIFY(rig.state.work().idle());
    QVERIFY(rig.drive.stepTestRunning());
    rig.frameOf(QStringLiteral("Form1"))->close();
    QTRY_VERIFY(!rig.isShown(QStringLiteral("Form1")));
    QVERIFY(!rig.drive.stepTestRunning());
    QVERIFY(rig.prompts.prompts.isEmpty());
}

KIRO_WINDOW_TEST_MAIN_WITH_PRIVATE_FOLDERS(CurrentLoopWindowTest)
#include "tst_currentloopwindow.moc"
