#include "StepWorkbench.h"

#include "CurrentLoopValues.h"
#include "CurrentLoopVariant.h"
#include "HoverReadout.h"
#include "RunLegend.h"
#include "StepExport.h"
#include "StepFiguresLine.h"
#include "StepMetrics.h"
#include "StepSaveDialog.h"
#include "link/RequestFrame.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

namespace kiro {

namespace {
const QString kKeepSetting = QStringLiteral("currentLoop/keepRuns");

// A gain as the drive received it: the link sends the nearest whole number.
std::optional<int> sentGain(float gain) {
    const std::optional<quint16> word = WordFromSingle(gain);
    return word ? std::optional<int>(*word) : std::nullopt;
}
} // namespace

StepWorkbench::StepWorkbench(ShellState& state, StepPlot& plot, QWidget* parent)
    : QWidget(parent), state_(state), variant_(CurrentLoopVariant::of(state.variant())),
      values_(CurrentLoopValues::of(state)), plot_(plot), saveDialog_(&StepSaveDialog::platform()) {
    setObjectName(QStringLiteral("StepWorkbench"));
    buildControls();
    const bool keeping = QSettings().value(kKeepSetting, true).toBool();
    keep_->setChecked(keeping);
    runs_.setKeeping(keeping);
    connect(keep_, &QCheckBox::toggled, this, &StepWorkbench::setKeeping);
    connect(clear_, &QPushButton::clicked, this, &StepWorkbench::clearEarlierRuns);
    connect(save_, &QPushButton::clicked, this, &StepWorkbench::save);
    connect(&plot_, &StepPlot::mouseMoved, this, &StepWorkbench::mouseMoved);
    connect(&plot_, &StepPlot::mouseLeft, readout_, &QLabel::clear);
}

// The figures and the readout in one line under the plot; the legend with the buttons in the next.
void StepWorkbench::buildControls() {
    figures_ = new StepFiguresLine(this);
    readout_ = new HoverReadout(this);
    legend_ = new RunLegend(this);
    clear_ = new QPushButton(QStringLiteral("clear"), this);
    clear_->setObjectName(QStringLiteral("clearRuns"));
    keep_ = new QCheckBox(QStringLiteral("keep"), this);
    keep_->setObjectName(QStringLiteral("keepRuns"));
    save_ = new QPushButton(QStringLiteral("save…"), this);
    save_->setObjectName(QStringLiteral("saveRun"));
    // Nothing to save or clear before the first runs.
    save_->setEnabled(false);
    clear_->setEnabled(false);
    historyNote_ = new QLabel(this);
    historyNote_->setObjectName(QStringLiteral("historyNote"));
    historyNote_->setWordWrap(true);
    historyNote_->hide();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(figures_, 0, 0);
    grid->addWidget(readout_, 0, 1, 1, 3);
    grid->addWidget(legend_, 1, 0);
    grid->addWidget(clear_, 1, 1);
    grid->addWidget(keep_, 1, 2);
    grid->addWidget(save_, 1, 3);
    grid->addWidget(historyNote_, 2, 0, 1, 4);
    grid->setColumnStretch(0, 1);
}

void StepWorkbench::addRun(const QVector<float>& samples, const StartValues& written) {
    StepRun run{samples,
                sentGain(written.kp),
                sentGain(written.ki),
                double(written.testCurrent),
                variant_.driveName,
                QDateTime::currentDateTime()};
    // A history that cannot be written is told beside the plot, never in the way of the step.
    const std::optional<QString> notKept = history_.keep(run);
    historyNote_->setText(notKept ? QStringLiteral("not kept in the history: %1").arg(*notKept)
                                  : QString());
    historyNote_->setVisible(notKept.has_value());

    figures_->showFigures(ComputeStepMetrics(run.samples, run.testCurrent));
    runs_.add(std::move(run));
    showRuns();
    readout_->clear();
    save_->setEnabled(true);
}

QVector<PlotOverlay> StepWorkbench::overlays() const {
    QVector<PlotOverlay> curves;
    curves.reserve(runs_.earlier().size());
    for (const OverlaidRun& earlier : runs_.earlier())
        curves.append({&earlier.run.samples, earlier.colour});
    return curves;
}

void StepWorkbench::mouseMoved(int buttons, QPointF at) {
    // Like the zoom, the readout follows the mouse only while the window is not in a transfer.
    if (!state_.TuningIdle() || buttons != PlotZoom::NoButton || !runs_.current())
        return;
    readout_->showAt(at.x(), plot_.scale(), runs_.current()->samples);
}

void StepWorkbench::clearEarlierRuns() {
    runs_.clear();
    showRuns();
}

void StepWorkbench::showRuns() {
    legend_->showRuns(runs_);
    clear_->setEnabled(!runs_.earlier().isEmpty());
}

void StepWorkbench::setKeeping(bool keeping) {
    runs_.setKeeping(keeping);
    QSettings().setValue(kKeepSetting, keeping);
    showRuns();
}

void StepWorkbench::save() {
    if (!runs_.current())
        return;
    const StepRun& run = *runs_.current();
    QString filter;
    const QString chosen = saveDialog_->saveFileName(this, StepHistory::fileNameOf(run),
                                                     step_export::filters(), &filter);
    if (chosen.isEmpty())
        return;
    const step_export::Target target = step_export::TargetFor(chosen, filter);
    if (const std::optional<QString> failed = step_export::Save(target, run, plot_.picture())) {
        state_.tell(QStringLiteral("%1 was not saved: %2. A file of that name is as it was.")
                        .arg(QDir::toNativeSeparators(target.path), *failed),
                    state_.variant().noticeTitle, Prompt::Icon::Warning);
    }
}

} // namespace kiro
