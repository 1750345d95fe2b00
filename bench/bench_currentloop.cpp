// What the current-loop window costs: the CPU time of one redraw of the step-response plot (it is
// redrawn every 100 ms, also while the window waits for the drive), at the full view and deep in a
// zoom where most segments run far outside the picture, alone and with five earlier runs under
// it; and the wall time of the Start sequence
// against the waits it must make, with qzdrive-sim on a pseudo-terminal (published as COM1 in a
// private port map).

#include "BenchSupport.h"
#include "currentloop/RunOverlay.h"
#include "currentloop/StepPlot.h"
#include "currentloop/StepTest.h"
#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/Prompts.h"
#include "link/QtSerialPort.h"
#include "sim/CurrentLoopModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

namespace {

// CPU milliseconds per redraw of the plot in the given view, with the earlier runs under it. The
// plot draws the earlier runs once per view; with newViewEachFrame every redraw comes after a
// change of view (a zoom), so they are drawn every time.
double redrawCost(const kiro::PlotView& view, const QVector<float>& samples, int frames,
                  const QVector<kiro::PlotOverlay>& overlays = {}, bool newViewEachFrame = false) {
    kiro::StepPlot plot;
    kiro::PlotFrame frame{view,
                          &samples,
                          true,
                          {view.ViewLeft + 1.0, 0.9 * view.ViewTop},
                          {view.ViewLeft + view.ViewWidth - 1.0, 0.0},
                          1.5f,
                          overlays};
    kiro::PlotFrame other = frame;
    other.view.ViewTop = std::nextafter(view.ViewTop, 1e9f);
    plot.redraw(frame); // the background is made once, before the measurement
    const double before = processCpuSeconds();
    for (int i = 0; i < frames; ++i)
        plot.redraw(newViewEachFrame && i % 2 == 0 ? other : frame);
    return 1000.0 * (processCpuSeconds() - before) / frames;
}

// The waits the Start sequence must make at 38400 baud, in ms: for every transaction the reply
// wait and the wait after reading the reply, and the settle wait after the three writes.
double startFloorMs(const kiro::DriveLink& link) {
    const int baud = link.BaudKilo();
    const int write = 8 * 10 / baud + 30;
    const int afterWrite = 8 / baud + 30;
    const int current = 8 / baud + 30;
    const int step = 8 * 10 / baud + 500;
    const int record = 406 * 10 / baud + 100;
    const int afterRecord = 406 / baud + 30;
    const int settle = write;
    return 2 * (write + afterWrite + settle) + (current + afterWrite + settle) +
           (step + afterWrite) + (record + afterRecord);
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;

    kiro::sim::CurrentLoopModel loop;
    const kiro::sim::CurrentLoopModel::Record record = loop.recordStep(1000, 300, 1536);
    QVector<float> samples;
    for (const quint16 raw : record)
        samples.append(qint16(raw) / 1024.0f);
    constexpr int kFrames = 2000;
    const double full = redrawCost({0, 199, 4.5f, -9.0f}, samples, kFrames);
    const double deep = redrawCost({20, 5, 1.6f, -0.005f}, samples, kFrames);
    const double flat = redrawCost({10, 180, 0.8f, -0.005f}, samples, kFrames);
    std::printf("plot redraw, full view:             %.3f ms CPU per frame (limit 1 ms)\n", full);
    std::printf("plot redraw, deep zoom (5 samples): %.3f ms CPU per frame (limit 1 ms)\n", deep);
    std::printf("plot redraw, flat zoom (5 mA high): %.3f ms CPU per frame (limit 1 ms)\n", flat);
    // The worst a record can do: every segment spans the whole signed range, far off the picture.
    QVector<float> zigzag(200);
    for (int k = 0; k < zigzag.size(); ++k)
        zigzag[k] = k % 2 ? 32.0f : -32.0f;
    const double worst = redrawCost({0, 199, -31.0f, -0.005f}, zigzag, kFrames);
    std::printf("plot redraw, +-32 A zigzag, flat:   %.3f ms CPU per frame (limit 1 ms)\n", worst);

    // Five earlier runs under the current one, each with other gains as an engineer compares them.
    QVector<QVector<float>> earlier;
    for (const int kp : {500, 2000, 4000, 8000, 16000}) {
        QVector<float> run;
        for (const quint16 raw : loop.recordStep(kp, 300, 1536))
            run.append(qint16(raw) / 1024.0f);
        earlier.append(run);
    }
    QVector<kiro::PlotOverlay> overlays;
    for (int index = 0; index < earlier.size(); ++index)
        overlays.append({&earlier[index], kiro::RunOverlay::palette()[index]});
    const kiro::PlotView fullView{0, 199, 4.5f, -9.0f};
    const double fullFive = redrawCost(fullView, samples, kFrames, overlays);
    const double zoomedFive = redrawCost(fullView, samples, kFrames, overlays, true);
    const double deepFive = redrawCost({20, 5, 1.6f, -0.005f}, samples, kFrames, overlays, true);
    std::printf("plot redraw, five runs overlaid:    %.3f ms CPU per frame (limit 1 ms)\n",
                fullFive);
    std::printf("  the same, each after a new view:  %.3f ms CPU per frame (limit 1 ms)\n",
                zoomedFive);
    std::printf("  deep zoom, each after a new view: %.3f ms CPU per frame (limit 1 ms)\n",
                deepFive);
    // The worst again, now with five more such records under it: every record fills the picture
    // with vertical lines, which costs pixels, once for each change of view.
    QVector<kiro::PlotOverlay> zigzags;
    for (int index = 0; index < 5; ++index)
        zigzags.append({&zigzag, kiro::RunOverlay::palette()[index]});
    const kiro::PlotView flatView{0, 199, -31.0f, -0.005f};
    const double worstFive = redrawCost(flatView, zigzag, kFrames, zigzags);
    const double worstFiveZoomed = redrawCost(flatView, zigzag, kFrames, zigzags, true);
    std::printf("plot redraw, six zigzags, flat:     %.3f ms CPU per frame (limit 1 ms)\n",
                worstFive);
    std::printf("  the same, each after a new view:  %.3f ms CPU per frame (once per zoom)\n",
                worstFiveZoomed);

    QProcess drive;
    if (!startDriveOnCom1(drive, QStringLiteral("x7")))
        return 1;
    kiro::QtSerialPort port;
    if (!openCom1(port))
        return 1;
    kiro::EventPumpClock clock;
    CountingPrompter prompter;
    kiro::DriveLink link(port, clock, prompter, kiro::LinkVariant::x7());
    link.setBaudKilo(38);

    kiro::StepTestInputs inputs;
    inputs.kp = [] { return std::optional<float>(1000); };
    inputs.ki = [] { return std::optional<float>(300); };
    inputs.testCurrent = [] { return 1.5f; };
    int failures = 0;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < rounds; ++i) {
        if (!kiro::RunStepTest(link, inputs).done())
            ++failures;
    }
    const double perStart = double(wall.nsecsElapsed()) / 1e6 / rounds;
    const double floor = startFloorMs(link);
    std::printf("Start sequence (%d runs): %.1f ms  floor %.1f ms  ratio %.3f (limit 1.05)  "
                "failures %d\n",
                rounds, perStart, floor, perStart / floor, failures);

    port.close();
    drive.terminate();
    drive.waitForFinished(3000);
    return prompter.shown == 0 && failures == 0 ? 0 : 1;
}
