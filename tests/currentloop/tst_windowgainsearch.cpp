// The gain search of the current-loop window against the simulated drive on a virtual clock: real
// clicks on its button and on the window's frame while the search measures, what the drive holds
// afterwards and what the window shows.

#include "CurrentLoopRig.h"
#include "currentloop/CurrentLoopValues.h"
#include "currentloop/GainSearchProgress.h"
#include "link/RegisterMap.h"
#include "tests/support/MdiFrameClicks.h"
#include "tests/support/PrivateFoldersWindowMain.h"

#include <QPushButton>

using kiro::CurrentLoopValues;
using kiro::GainSearchProgress;
using kiro::sim::Misbehaviour;
using kiro::test::CurrentLoopRig;
namespace reg = kiro::reg;

namespace {

struct Gains {
    quint16 kp = 0;
    quint16 ki = 0;
    bool operator==(const Gains&) const = default;
};

char* toString(const Gains& gains) {
    return qstrdup(QStringLiteral("Kp %1, Ki %2").arg(gains.kp).arg(gains.ki).toUtf8());
}

Gains heldBy(const CurrentLoopRig& rig) {
    return {rig.drive.reg(reg::CurrentLoopKp), rig.drive.reg(reg::CurrentLoopKi)};
}

Gains shownBy(const CurrentLoopRig& rig) {
    return {quint16(rig.entry(0)->text().toUInt()), quint16(rig.entry(1)->text().toUInt())};
}

QPushButton* searchButton(const CurrentLoopRig& rig) {
    return rig.widget<QPushButton>(QStringLiteral("SearchGains"));
}

GainSearchProgress* progressOf(const CurrentLoopRig& rig) {
    return rig.widget<GainSearchProgress>(QStringLiteral("SearchProgress"));
}

// A hand's click on the button, wherever the program is (a wait of the link included).
void clickSearchButton(const CurrentLoopRig& rig) {
    QTest::mouseClick(searchButton(rig), Qt::LeftButton);
}

// Once the search has measured this many steps, from inside the link's next wait.
void afterSteps(CurrentLoopRig& rig, int steps, std::function<void()> what) {
    rig.whenever([&rig, steps] { return progressOf(rig)->value() >= steps; }, std::move(what));
}

} // namespace

class WindowGainSearchTest : public QObject {
    Q_OBJECT
private slots:
    void searchShowsEachStepAndWritesTheChosenPair();
    void cancelPutsTheGainsBack();
    void closeDuringASearchEndsItWithTheGainsPutBack_data();
    void closeDuringASearchEndsItWithTheGainsPutBack();
    void enterDuringASearchWinsOverItsPair();
    void driveFallingSilentGivesUpOnce();
};

void WindowGainSearchTest::searchShowsEachStepAndWritesTheChosenPair() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    const Gains held = heldBy(rig);
    QVERIFY(!progressOf(rig)->isVisible());
    rig.entry(2)->setText(QStringLiteral("1.5"));
    QList<int> progress;
    connect(progressOf(rig), &QProgressBar::valueChanged, this,
            [&](int value) { progress.append(value); });
    bool busyMidway = false;
    afterSteps(rig, 2, [&] {
        busyMidway = searchButton(rig)->text() == QStringLiteral("cancel") &&
                     !rig.widget("Command1")->isEnabled() && !rig.widget("Command2")->isEnabled() &&
                     !rig.state.TuningIdle() && progressOf(rig)->isVisible() &&
                     progressOf(rig)->maximum() == 40;
    });

    clickSearchButton(rig);
    QVERIFY(rig.settle());

    QVERIFY(busyMidway);
    // One value per measured step, in turn, within the most steps.
    QVERIFY(progress.size() >= 4);
    QVERIFY(progress.last() <= 40);
    for (int index = 1; index < progress.size(); ++index)
        QCOMPARE(progress[index], index);
    // The drive holds the pair the bar names, the entries and values show it, the test is over.
    const Gains chosen = heldBy(rig);
    QVERIFY(!(chosen == held));
    QCOMPARE(shownBy(rig), chosen);
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKp, float(chosen.kp));
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKi, float(chosen.ki));
    QVERIFY(progressOf(rig)->format().startsWith(
        QStringLiteral("search: Kp %1, Ki %2 written (step ").arg(chosen.kp).arg(chosen.ki)));
    QCOMPARE(progressOf(rig)->value(), progressOf(rig)->maximum());
    QVERIFY(!rig.drive.stepTestRunning());
    QCOMPARE(rig.drive.reg(reg::StepTestCurrent), quint16(1536));
    QVERIFY(rig.prompts.prompts.isEmpty());
    // The window takes input again; the last run measured is on the plot.
    QCOMPARE(searchButton(rig)->text(), QStringLiteral("search"));
    QVERIFY(rig.widget("Command1")->isEnabled());
    QVERIFY(rig.state.TuningIdle());
    QCOMPARE(CurrentLoopValues::of(rig.state).SampleCount, 200);
    // The frame has grown with the legend's rows and the bar: nothing lies over the plot, and
    // the bar is inside the window.
    const QWidget* plot = rig.widget(QStringLiteral("Picture1"));
    const QWidget* workbench = rig.widget(QStringLiteral("StepWorkbench"));
    QTRY_VERIFY(workbench->geometry().top() > plot->geometry().bottom());
    QVERIFY(rig.form()->rect().contains(progressOf(rig)->geometry()));
}

void WindowGainSearchTest::cancelPutsTheGainsBack() {
    CurrentLoopRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openWindow());
    const Gains held = heldBy(rig);
    // An I-test of nothing: the search takes its own step current.
    rig.entry(2)->setText(QStringLiteral("0"));
    bool cancelWaits = false;
    int stepsAtCancel = 0;
    afterSteps(rig, 3, [&] {
        stepsAtCancel = progressOf(rig)->value();
        clickSearchButton(rig);
        cancelWaits = !searchButton(rig)->isEnabled();
    });

    clickSearchButton(rig);
    QVERIFY(rig.settle());

    // The step under way at the click is finished, and no other begins.
    QVERIFY(cancelWaits);
    const int steps = stepsAtCancel + 1;
    QCOMPARE(progressOf(rig)->value(), steps);
    QCOMPARE(progressOf(rig)->format(),
             QStringLiteral("search: cancelled after %1 steps; Kp %2, Ki %3 put back")
                 .arg(steps)
                 .arg(held.kp)
                 .arg(held.ki));
    QCOMPARE(heldBy(rig), held);
    QCOMPARE(shownBy(rig), held);
    QVERIFY(!rig.drive.stepTestRunning());
    QVERIFY(rig.entry(2)->text().toDouble() > 0);
    QVERIFY(searchButton(rig)->isEnabled());
    QCOMPARE(searchButton(rig)->text(), QStringLiteral("search"));
    QVERIFY(rig.widget("Command1")->isEnabled());
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void WindowGainSearchTest::closeDuringASearchEndsItWithTheGainsPutBack_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close button") << QStringLiteral("close button");
    QTest::newRow("Ctrl+F4") << QStringLiteral("Ctrl+F4");
    QTest::newRow("exit") << QStringLiteral("exit");
}

void WindowGainSearchTest::closeDuringASearchEndsItWithTheGainsPutBack() {
    QFETCH(QString, how);
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    const Gains held = heldBy(rig);
    rig.entry(2)->setText(QStringLiteral("1"));
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    int measured = 0;
    connect(progressOf(rig), &QProgressBar::valueChanged, this,
            [&](int value) { measured = std::max(measured, value); });
    int stepsAtClose = 0;
    afterSteps(rig, 2, [&] {
        stepsAtClose = progressOf(rig)->value();
        if (how == QLatin1String("close button"))
            kiro::test::clickCloseButton(rig.frame());
        else if (how == QLatin1String("Ctrl+F4"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
        else
            rig.window->findChild<QAction*>(QStringLiteral("exit"))->trigger();
    });

    clickSearchButton(rig);
    if (how == QLatin1String("exit"))
        QTRY_VERIFY(!rig.window->isVisible());
    else
        QVERIFY(rig.settle());

    // The search ended before its next step, put the gains back and left the test mode; then
    // the window went.
    QVERIFY(rig.formGone());
    QCOMPARE(stepsAtClose + 1, measured);
    QCOMPARE(heldBy(rig), held);
    QVERIFY(!rig.drive.stepTestRunning());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(!rig.state.ToolWindowOpen);
}

// The user's last action wins: a gain entered while the search measures is written after it, and
// the entry shows it rather than the search's pair.
void WindowGainSearchTest::enterDuringASearchWinsOverItsPair() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    rig.entry(2)->setText(QStringLiteral("1"));
    afterSteps(rig, 2, [&] {
        rig.entry(0)->setText(QStringLiteral("777"));
        QTest::keyClick(rig.entry(0), Qt::Key_Return);
    });

    clickSearchButton(rig);
    QVERIFY(rig.settle());

    QVERIFY(progressOf(rig)->format().contains(QStringLiteral(" written ")));
    QCOMPARE(rig.drive.reg(reg::CurrentLoopKp), quint16(777));
    QCOMPARE(rig.entry(0)->text(), QStringLiteral("777"));
    QCOMPARE(CurrentLoopValues::of(rig.state).GainKp, 777.0f);
    QCOMPARE(rig.entry(1)->text(), QString::number(rig.drive.reg(reg::CurrentLoopKi)));
}

void WindowGainSearchTest::driveFallingSilentGivesUpOnce() {
    CurrentLoopRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openWindow());
    rig.entry(2)->setText(QStringLiteral("1"));
    afterSteps(rig, 2, [&] { rig.drive.injectFault({Misbehaviour::Silent, 0, -1}); });

    clickSearchButton(rig);
    QVERIFY(rig.settle());

    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("请检查连接后重新开启软件！")});
    QVERIFY(!rig.form()->isEnabled());
    QVERIFY(progressOf(rig)->format().startsWith(
        QStringLiteral("search: the drive stopped answering after ")));
    QCOMPARE(searchButton(rig)->text(), QStringLiteral("search"));
    // The frame still closes.
    rig.closeForm();
    QVERIFY(rig.formGone());
}

KIRO_WINDOW_TEST_MAIN_WITH_PRIVATE_FOLDERS(WindowGainSearchTest)
#include "tst_windowgainsearch.moc"
