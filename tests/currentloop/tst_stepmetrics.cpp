// The figures of a step response on synthetic records whose answers are known: a first-order
// rise, a second-order response with its textbook overshoot, a response that keeps ringing, noise
// inside and beyond the settling band, and the records where a ratio has no meaning.

#include "currentloop/StepMetrics.h"

#include <QTest>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr int kLength = 200;
constexpr int kBeforeStep = 10; // the drive records a few samples before it applies the step
const double kEmpty = std::numeric_limits<double>::quiet_NaN();
constexpr int kNoCount = -1;

using Shape = double (*)(double t, double a, double b);

QVector<float> record(Shape shape, double amplitude, double a = 0, double b = 0) {
    QVector<float> samples(kLength, 0.0f);
    for (int k = kBeforeStep; k < kLength; ++k)
        samples[k] = float(amplitude * shape(k - kBeforeStep, a, b));
    return samples;
}

// 1 - exp(-t / tau)
double firstOrder(double t, double tau, double) {
    return 1 - std::exp(-t / tau);
}

// The unit step response of a second-order loop with damping zeta that rings at omegaD.
double secondOrder(double t, double zeta, double omegaD) {
    const double root = std::sqrt(1 - zeta * zeta);
    const double omegaN = omegaD / root;
    return 1 - std::exp(-zeta * omegaN * t) *
                   (std::cos(omegaD * t) + zeta / root * std::sin(omegaD * t));
}

// 1 + depth * sin(...), phased so that the last sample of the record lies on the mean.
double ringing(double t, double depth, double period) {
    const double last = kLength - 1 - kBeforeStep;
    return 1 + depth * std::sin(2 * std::numbers::pi * (t - last) / period);
}

double flat(double, double, double) {
    return 1;
}

QVector<float> withAlternatingNoise(QVector<float> samples, float noise) {
    for (int k = 0; k < samples.size(); ++k)
        samples[k] += k % 2 == 0 ? noise : -noise;
    return samples;
}

QVector<float> mirrored(QVector<float> samples) {
    for (float& sample : samples)
        sample = -sample;
    return samples;
}

void compareFigure(const std::optional<double>& actual, double expected, const char* name) {
    if (std::isnan(expected)) {
        QVERIFY2(!actual, qPrintable(QStringLiteral("%1 should be empty, is %2")
                                         .arg(QLatin1String(name))
                                         .arg(actual.value_or(0))));
        return;
    }
    QVERIFY2(actual, qPrintable(QStringLiteral("%1 is empty").arg(QLatin1String(name))));
    QVERIFY2(std::abs(*actual - expected) < 1e-4, qPrintable(QStringLiteral("%1: %2, expected %3")
                                                                 .arg(QLatin1String(name))
                                                                 .arg(*actual, 0, 'g', 10)
                                                                 .arg(expected, 0, 'g', 10)));
}

} // namespace

class StepMetricsTest : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void againstCommand_data();
    void againstCommand();
};

void StepMetricsTest::figures_data() {
    QTest::addColumn<QVector<float>>("samples");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("finalAmperes");
    QTest::addColumn<double>("errorAmperes");
    QTest::addColumn<int>("rise");
    QTest::addColumn<double>("overshoot");
    QTest::addColumn<int>("settling");

    const double pi = std::numbers::pi;
    // tau = 10 samples: 10 % at t = 1.05, 90 % at t = 23.0, within 2 % from t = 39.1.
    QTest::newRow("first order, short of the step")
        << record(firstOrder, 1.2, 10) << 1.5 << 1.2 << 0.3 << 22 << 0.0 << 50;
    // zeta = 0.5 overshoots by exp(-pi zeta / sqrt(1 - zeta^2)) = 16.303 %, at t = pi / omegaD.
    const QVector<float> secondOrderRecord = record(secondOrder, 1.0, 0.5, pi / 10);
    QTest::newRow("second order with overshoot")
        << secondOrderRecord << 1.0 << 1.0 << 0.0 << 4 << 16.3033 << 33;
    QTest::newRow("second order below zero")
        << mirrored(secondOrderRecord) << 1.0 << -1.0 << 2.0 << 4 << 16.3033 << 33;
    // The last sample lies on the mean, but the samples before it still swing 10 % around it.
    QTest::newRow("ringing to the end never settles")
        << record(ringing, 1.0, 0.1, 20) << 1.0 << 1.0 << 0.0 << 0 << 10.0 << kNoCount;
    QTest::newRow("noise within the band")
        << withAlternatingNoise(record(firstOrder, 1.0, 10), 0.005f) << 1.0 << 1.0 << 0.0 << 22
        << 0.5 << 52;
    QTest::newRow("noise beyond the band never settles")
        << withAlternatingNoise(record(flat, 1.0), 0.03f) << 1.0 << 1.0 << 0.0 << 0 << 3.0
        << kNoCount;
    QTest::newRow("zero current: no ratios")
        << withAlternatingNoise(QVector<float>(kLength, 0.001f), 0.001f) << 0.0 << 0.001 << -0.001
        << kNoCount << kEmpty << kNoCount;
    QTest::newRow("no response: no ratios")
        << QVector<float>(kLength, 0.0f) << 1.0 << 0.0 << 1.0 << kNoCount << kEmpty << kNoCount;
    QTest::newRow("twenty samples at the step")
        << QVector<float>(kiro::kFinalSamples, 1.0f) << 1.0 << 1.0 << 0.0 << 0 << 0.0 << 0;
    QTest::newRow("nineteen samples: no final value")
        << QVector<float>(kiro::kFinalSamples - 1, 1.0f) << 1.0 << kEmpty << kEmpty << kNoCount
        << kEmpty << kNoCount;
    QTest::newRow("empty record") << QVector<float>() << 1.0 << kEmpty << kEmpty << kNoCount
                                  << kEmpty << kNoCount;
}

void StepMetricsTest::figures() {
    QFETCH(QVector<float>, samples);
    QFETCH(double, step);
    QFETCH(double, finalAmperes);
    QFETCH(double, errorAmperes);
    QFETCH(int, rise);
    QFETCH(double, overshoot);
    QFETCH(int, settling);

    const kiro::StepMetrics metrics = kiro::ComputeStepMetrics(samples, step);
    compareFigure(metrics.finalAmperes, finalAmperes, "final");
    compareFigure(metrics.steadyStateErrorAmperes, errorAmperes, "steady-state error");
    QCOMPARE(metrics.riseSamples.value_or(kNoCount), rise);
    compareFigure(metrics.overshootPercent, overshoot, "overshoot");
    QCOMPARE(metrics.settlingSamples.value_or(kNoCount), settling);
}

// The gain search measures against the current commanded: a response that ends flat beside the
// command has not settled, and how far it passes the command is its overshoot.
void StepMetricsTest::againstCommand_data() {
    QTest::addColumn<QVector<float>>("samples");
    QTest::addColumn<double>("overshoot");
    QTest::addColumn<int>("settling");
    QTest::newRow("on the command") << record(flat, 1.0) << 0.0 << kBeforeStep;
    QTest::newRow("3 % short of it") << record(flat, 0.97) << 0.0 << kNoCount;
    QTest::newRow("3 % beyond it") << record(flat, 1.03) << 3.0 << kNoCount;
    QTest::newRow("1.5 % beyond it, within the band") << record(flat, 1.015) << 1.5 << kBeforeStep;
    QTest::newRow("mirrored") << mirrored(record(flat, 1.03)) << 3.0 << kNoCount;
}

void StepMetricsTest::againstCommand() {
    QFETCH(QVector<float>, samples);
    QFETCH(double, overshoot);
    QFETCH(int, settling);
    const double step = samples.last() < 0 ? -1 : 1;
    const kiro::StepMetrics metrics = kiro::ComputeStepMetricsAgainstCommand(samples, step);
    const kiro::StepMetrics plain = kiro::ComputeStepMetrics(samples, step);
    QCOMPARE(metrics.finalAmperes, plain.finalAmperes);
    compareFigure(metrics.overshootPercent, overshoot, "overshoot");
    QCOMPARE(metrics.settlingSamples.value_or(kNoCount), settling);
}

QTEST_APPLESS_MAIN(StepMetricsTest)
#include "tst_stepmetrics.moc"
