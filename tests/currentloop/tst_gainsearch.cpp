// The current-loop gain search: against the simulated drive's physical loop on windings with long
// and short time constants and on firmwares that scale the gains ten times up or down (limits met,
// steps bounded, no gain more than doubled from a calm pair), and through the link with the drive
// left as it should be at every end: the best pair written, or the gains from before put back on
// a stop, on a search without result and on a drive that falls silent.

#include "currentloop/GainSearchRun.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "sim/DriveModel.h"
#include "sim/SampleWindings.h"
#include "sim/SimulatedSerialPort.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QTest>
#include <cmath>
#include <numbers>

using kiro::GainPair;
using kiro::GainSearch;
using kiro::SearchStep;
using kiro::sim::CurrentLoopModel;

namespace {

constexpr double kStepAmperes = 1.5;

QVector<float> stepOn(CurrentLoopModel& loop, GainPair gains, double amperes) {
    const CurrentLoopModel::Record record =
        loop.recordStep(quint16(gains.kp), quint16(gains.ki), qint16(std::lround(amperes * 1024)));
    QVector<float> samples;
    for (const quint16 raw : record)
        samples.append(qint16(raw) / 1024.0f);
    return samples;
}

QString describe(const SearchStep& step) {
    return QStringLiteral("step %1: Kp %2 Ki %3 overshoot %4 settling %5 verdict %6")
        .arg(step.number)
        .arg(step.gains.kp)
        .arg(step.gains.ki)
        .arg(step.metrics.overshootPercent.value_or(-1))
        .arg(step.metrics.settlingSamples.value_or(-1))
        .arg(int(step.verdict));
}

// A qztune-x7 link to the simulated drive at 38400 baud on a virtual clock.
struct LinkRig {
    LinkRig()
        : drive(kiro::LinkVariant::x7().layout), port(drive, clock),
          link(port, clock, prompts, kiro::LinkVariant::x7()) {
        drive.setClock([this] { return clock.now; });
        link.setBaudKilo(38);
        port.setPortNumber(1);
        port.open();
    }
    GainPair gains() const {
        return {drive.reg(kiro::reg::CurrentLoopKp), drive.reg(kiro::reg::CurrentLoopKi)};
    }

    kiro::test::VirtualClock clock;
    kiro::test::PromptRecorder prompts;
    kiro::sim::DriveModel drive;
    kiro::sim::SimulatedSerialPort port;
    kiro::DriveLink link;
};

} // namespace

class GainSearchTest : public QObject {
    Q_OBJECT
private slots:
    void verdicts_data();
    void verdicts();
    void meetsTheLimitsOnAnyDrive_data();
    void meetsTheLimitsOnAnyDrive();
    void stepsStayWithinTheMost();
    void noPairWithinTheLimits();

    void bestPairIsWrittenAndTestModeEnded();
    void stopPutsTheGainsBack();
    void silentDriveGetsItsGainsBack_data();
    void silentDriveGetsItsGainsBack();
};

// How a step is judged, on records of known shape after a step of 1 A at sample 10: a quick
// first-order rise to a given end, then a damped ringing of a given first swing.
void GainSearchTest::verdicts_data() {
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("ringing"); // first swing in parts of the command
    QTest::addColumn<double>("decay");   // of the swing per period
    QTest::addColumn<int>("verdict");
    QTest::newRow("settles on the command")
        << 1.0 << 0.0 << 0.0 << int(kiro::StepVerdict::Accepted);
    QTest::newRow("ends 3 % short") << 0.97 << 0.0 << 0.0 << int(kiro::StepVerdict::NotSettled);
    QTest::newRow("overshoots 7 %") << 1.0 << 0.07 << 0.1 << int(kiro::StepVerdict::Overshoot);
    QTest::newRow("overshoots 12 %: twice the limit")
        << 1.0 << 0.12 << 0.1 << int(kiro::StepVerdict::Runaway);
    QTest::newRow("keeps ringing across the band")
        << 1.0 << 0.045 << 0.9 << int(kiro::StepVerdict::Oscillates);
}

void GainSearchTest::verdicts() {
    QFETCH(double, end);
    QFETCH(double, ringing);
    QFETCH(double, decay);
    QFETCH(int, verdict);
    // The rise is over by sample 18; the first swing peaks a quarter period later at `ringing`.
    QVector<float> samples(200, 0.0f);
    constexpr double kPeriod = 16;
    for (int k = 10; k < samples.size(); ++k) {
        const double t = k - 10;
        const double phase = (t - 8) / kPeriod;
        const double swing = t < 8 ? 0
                                   : ringing * std::pow(decay, phase - 0.25) *
                                         std::sin(2 * std::numbers::pi * phase);
        samples[k] = float(end * (1 - std::exp(-t / 2)) + swing);
    }
    GainSearch search({1000, 300}, 1.0);
    QCOMPARE(int(search.record(samples).verdict), verdict);
}

void GainSearchTest::meetsTheLimitsOnAnyDrive_data() {
    QTest::addColumn<int>("winding");
    QTest::addColumn<double>("gainScale");
    QTest::addColumn<double>("maxOvershoot");
    QTest::addColumn<double>("amperes");
    for (int w = 0; w < int(kiro::sim::kSampleWindings.size()); ++w) {
        const char* name = kiro::sim::kSampleWindings[size_t(w)].name;
        QTest::addRow("%s", name) << w << 1.0 << 5.0 << kStepAmperes;
        QTest::addRow("%s, gains scaled 10x", name) << w << 10.0 << 5.0 << kStepAmperes;
        QTest::addRow("%s, gains scaled 0.1x", name) << w << 0.1 << 5.0 << kStepAmperes;
    }
    QTest::newRow("nominal, 1 % overshoot, 0.5 A") << 1 << 1.0 << 1.0 << 0.5;
}

void GainSearchTest::meetsTheLimitsOnAnyDrive() {
    QFETCH(int, winding);
    QFETCH(double, gainScale);
    QFETCH(double, maxOvershoot);
    QFETCH(double, amperes);
    CurrentLoopModel loop;
    loop.setMotor(kiro::sim::kSampleWindings[size_t(winding)].motor);
    loop.setGainScale(gainScale);
    const GainPair start{1000, 300};
    GainSearch search(start, amperes, {maxOvershoot, 40});
    while (!search.finished())
        search.record(stepOn(loop, search.nextPair(), amperes));

    const QVector<SearchStep>& steps = search.steps();
    QVERIFY(steps.size() <= 40);
    const std::optional<SearchStep> best = search.best();
    QVERIFY(best);
    QVERIFY2(best->metrics.overshootPercent.value_or(100) <= maxOvershoot,
             qPrintable(describe(*best)));
    QVERIFY(std::abs(*best->metrics.finalAmperes - amperes) <= 0.02 * amperes);
    // Far better than a guess: the loop settles within a few samples of the step (10 samples
    // after the record starts).
    QVERIFY2(*best->metrics.settlingSamples <= 25, qPrintable(describe(*best)));

    // No gain more than doubles from a pair that stayed within the overshoot limit without
    // oscillating or saturating (the starting pair before there was one).
    QVector<GainPair> calm{start};
    for (const SearchStep& step : steps) {
        const bool grewSafely = std::any_of(calm.begin(), calm.end(), [&](GainPair from) {
            return step.gains.kp <= 2 * from.kp && step.gains.ki <= 2 * std::max(from.ki, 1);
        });
        QVERIFY2(grewSafely, qPrintable(describe(step)));
        if (!kiro::EndsDirection(step.verdict) &&
            step.metrics.overshootPercent.value_or(0) <= maxOvershoot)
            calm.append(step.gains);
    }
}

void GainSearchTest::stepsStayWithinTheMost() {
    CurrentLoopModel loop;
    GainSearch search({1000, 300}, kStepAmperes, {5, 7});
    while (!search.finished())
        search.record(stepOn(loop, search.nextPair(), kStepAmperes));
    QCOMPARE(search.steps().size(), 7);
    QVERIFY(search.best());
}

// A step of one sample with a starting pair that cannot settle: nothing met the limits.
void GainSearchTest::noPairWithinTheLimits() {
    LinkRig rig;
    const GainPair held = rig.gains();
    GainSearch search({1, 0}, kStepAmperes, {5, 1});
    const kiro::SearchRunResult result = kiro::RunGainSearch(rig.link, search, held, {}, {});
    QCOMPARE(int(result.end), int(kiro::SearchEnd::NoneMet));
    QVERIFY(result.driveLeft);
    QCOMPARE(search.steps().size(), 1);
    QCOMPARE(rig.gains(), held);
    QCOMPARE(rig.drive.reg(kiro::reg::StepTestCommand), quint16(0));
}

void GainSearchTest::bestPairIsWrittenAndTestModeEnded() {
    LinkRig rig;
    const GainPair held = rig.gains();
    GainSearch search(held, kStepAmperes, {5, 12});
    int reported = 0;
    const kiro::SearchRunResult result = kiro::RunGainSearch(
        rig.link, search, held, [] { return false; },
        [&](const SearchStep&, const kiro::StepRecord&) { ++reported; });
    QCOMPARE(int(result.end), int(kiro::SearchEnd::BestWritten));
    QVERIFY(result.driveLeft);
    QCOMPARE(reported, 12);
    QCOMPARE(rig.gains(), search.best()->gains);
    QVERIFY(!(search.best()->gains == held));
    QCOMPARE(rig.drive.reg(kiro::reg::StepTestCommand), quint16(0));
    QCOMPARE(rig.drive.reg(kiro::reg::StepTestCurrent), quint16(1536));
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void GainSearchTest::stopPutsTheGainsBack() {
    LinkRig rig;
    const GainPair held = rig.gains();
    GainSearch search(held, kStepAmperes);
    const kiro::SearchRunResult result =
        kiro::RunGainSearch(rig.link, search, held, [&] { return search.steps().size() == 3; }, {});
    QCOMPARE(int(result.end), int(kiro::SearchEnd::Stopped));
    QVERIFY(result.driveLeft);
    QCOMPARE(search.steps().size(), 3);
    QVERIFY(!(search.steps().last().gains == held)); // the drive held other gains when stopped
    QCOMPARE(rig.gains(), held);
    QCOMPARE(rig.drive.reg(kiro::reg::StepTestCommand), quint16(0));
}

void GainSearchTest::silentDriveGetsItsGainsBack_data() {
    QTest::addColumn<int>("silentReplies");
    QTest::addColumn<bool>("driveLeft");
    // Twelve unanswered attempts end one transaction; the drive answers the restoring writes.
    QTest::newRow("silent for a while") << 12 << true;
    QTest::newRow("silent for good") << -1 << false;
}

void GainSearchTest::silentDriveGetsItsGainsBack() {
    QFETCH(int, silentReplies);
    QFETCH(bool, driveLeft);
    LinkRig rig;
    const GainPair held = rig.gains();
    GainSearch search(held, kStepAmperes);
    // The drive falls silent while the third step writes its Kp.
    const kiro::SearchRunResult result = kiro::RunGainSearch(
        rig.link, search, held,
        [&] {
            if (search.steps().size() == 2)
                rig.drive.injectFault({kiro::sim::Misbehaviour::Silent, 0, silentReplies});
            return false;
        },
        {});
    QCOMPARE(int(result.end), int(kiro::SearchEnd::DriveFailed));
    QCOMPARE(result.failedAt, std::optional<kiro::StepStage>(kiro::StepStage::Kp));
    QCOMPARE(result.driveLeft, driveLeft);
    QCOMPARE(search.steps().size(), 2);
    if (driveLeft) {
        QCOMPARE(rig.gains(), held);
        QCOMPARE(rig.drive.reg(kiro::reg::StepTestCommand), quint16(0));
    }
}

QTEST_GUILESS_MAIN(GainSearchTest)
#include "tst_gainsearch.moc"
