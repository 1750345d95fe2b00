#include "CurrentLoopWindow.h"

#include "AutoTune.h"
#include "CurrentLoopTransactions.h"
#include "CurrentLoopValues.h"
#include "CurrentLoopVariant.h"
#include "EntryValues.h"
#include "GainSearchProgress.h"
#include "GainSearchRun.h"
#include "StepPlot.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/StatusDisplay.h"
#include "link/WriteKey.h"
#include "shell/ShellState.h"
#include "shell/ToolWindows.h"
#include "shell/Twips.h"
#include "shell/Variant.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kiro {

namespace {
const QString kTitle = QStringLiteral("电流环调试");
const QString kLabels[3] = {QStringLiteral("Kp:"), QStringLiteral("Ki:"),
                            QStringLiteral("I-test:")};
// The current-loop window's element of WindowOpenFlags, as the main window's table knows it.
const int kOwnFlag = RoleOf(ToolWindow::CurrentLoop).ownFlag;
constexpr int kKpEntry = 0;
constexpr int kKiEntry = 1;
constexpr int kCurrentEntry = 2;
constexpr int kPlotIntervalMs = 100;

constexpr int kBackspace = 8;
constexpr int kEnter = 13;
constexpr int kPoint = 46;

// The character a key press types, as the entries' key filter sees it; -1 for keys that type no
// character, which work as in any entry: Delete, the arrows, Home, End, Tab, shortcuts.
int keyAsciiOf(const QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kEnter;
    case Qt::Key_Backspace:
        return kBackspace;
    default:
        break;
    }
    // Some keys that type nothing still carry a control character as their text (Delete gives
    // "\x7f", Ctrl+V "\x16"): they are editing keys, not characters.
    const QString text = key.text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return -1;
    return int(text.at(0).unicode());
}

bool typesIntoEntry(int keyAscii) {
    return keyAscii == kBackspace || keyAscii == kPoint || (keyAscii >= '0' && keyAscii <= '9');
}
} // namespace

CurrentLoopWindow::CurrentLoopWindow(ShellState& state, QWidget* parent)
    : QWidget(parent), state_(state), variant_(CurrentLoopVariant::of(state.variant())),
      values_(CurrentLoopValues::of(state)), contract_(state, *this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);
    buildControls();
    contract_.setCloseRule([this] { return unload(); });
    connect(&contract_, &WindowContract::givingUp, this, &CurrentLoopWindow::givingUp);
    if (variant_.placeTwips)
        move(twips::toPixels(*variant_.placeTwips));
    load();
}

CurrentLoopWindow::~CurrentLoopWindow() {
    // Torn down without a close (the tuner ending): the flags must not outlive the window.
    releaseFlags();
}

void CurrentLoopWindow::buildControls() {
    plot_ = new StepPlot(this);
    connect(plot_, &StepPlot::buttonDown, this, &CurrentLoopWindow::plotButtonDown);
    connect(plot_, &StepPlot::mouseMoved, this, &CurrentLoopWindow::plotMouseMoved);
    connect(plot_, &StepPlot::buttonUp, this, &CurrentLoopWindow::plotButtonUp);

    auto* row = new QHBoxLayout;
    for (int index = 0; index < 3; ++index) {
        auto* label = new QLabel(kLabels[index], this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(index));
        auto* entry = new QLineEdit(this);
        entry->setObjectName(QStringLiteral("Text1_%1").arg(index));
        // Typed characters go through the key filter; an input method would bypass it.
        entry->setAttribute(Qt::WA_InputMethodEnabled, false);
        entry->setMaximumWidth(90);
        entry->installEventFilter(this);
        label->setBuddy(entry);
        entries_[index] = entry;
        row->addWidget(label);
        row->addWidget(entry, 1);
    }
    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("Command1"));
    connect(start_, &QPushButton::clicked, this, &CurrentLoopWindow::start);
    auto_ = new QPushButton(QStringLiteral("auto"), this);
    auto_->setObjectName(QStringLiteral("Command2"));
    connect(auto_, &QPushButton::clicked, this, &CurrentLoopWindow::autoTune);
    search_ = new QPushButton(QStringLiteral("search"), this);
    search_->setObjectName(QStringLiteral("SearchGains"));
    search_->setToolTip(QStringLiteral("Search the gains that settle a step of I-test soonest "
                                       "within 5 % overshoot, with real steps on the drive"));
    connect(search_, &QPushButton::clicked, this, &CurrentLoopWindow::searchClicked);
    row->addWidget(start_);
    row->addWidget(auto_);
    row->addWidget(search_);
    searchProgress_ = new GainSearchProgress(this);
    // Made after the entries, so that the focus reaches the gains first.
    workbench_ = new StepWorkbench(state_, *plot_, this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plot_, 0, Qt::AlignHCenter);
    layout->addWidget(workbench_);
    layout->addLayout(row);
    layout->addWidget(searchProgress_);

    dataSource_ = new QTimer(this);
    dataSource_->setObjectName(QStringLiteral("DataSource"));
    dataSource_->setInterval(kPlotIntervalMs);
    connect(dataSource_, &QTimer::timeout, this, &CurrentLoopWindow::DataSource_Timer);
}

// --- Opening ---

void CurrentLoopWindow::load() {
    state_.WindowOpenFlags(kOwnFlag) = true;
    flagsHeld_ = true;
    showBusy();
    state_.ToolWindowOpen = true;
    state_.setTuningIdle(false);
    contract_.submit([this] { readGains(); });
}

void CurrentLoopWindow::readGains() {
    const CurrentLoopGains gains = CurrentLoopTransactions(state_.link()).readGains();
    if (gains.kp) {
        entries_[kKpEntry]->setText(QString::number(*gains.kp));
        values_.GainKp = *gains.kp;
    }
    if (gains.ki) {
        entries_[kKiEntry]->setText(QString::number(*gains.ki));
        values_.GainKi = *gains.ki;
    }
    if (!gains.kp || !gains.ki) {
        contract_.giveUp();
        return;
    }
    showIdle();
    state_.setTuningIdle(true);
}

// --- Start ---

void CurrentLoopWindow::start() {
    if (leaving_)
        return;
    // Disabled until the test has run: a second click cannot queue a second test.
    start_->setEnabled(false);
    showBusy();
    state_.setTuningIdle(false);
    contract_.submit([this] { runStart(); });
}

void CurrentLoopWindow::runStart() {
    // The entries are read and clamped as their values are written. Enter in a gain entry while
    // the step runs writes after it: the run is kept with the values the drive had for it.
    StepWorkbench::StartValues written;
    StepTestInputs inputs;
    inputs.kp = [this, &written]() -> std::optional<float> {
        values_.GainKp = written.kp = ClampKp(LeadingNumber(entries_[kKpEntry]->text()));
        entries_[kKpEntry]->setText(PlainDecimal(values_.GainKp));
        return values_.GainKp;
    };
    inputs.ki = [this, &written]() -> std::optional<float> {
        values_.GainKi = written.ki = ClampKiForStart(LeadingNumber(entries_[kKiEntry]->text()));
        entries_[kKiEntry]->setText(PlainDecimal(values_.GainKi));
        return values_.GainKi;
    };
    inputs.testCurrent = [this, &written] {
        values_.TestCurrent = written.testCurrent =
            ClampTestCurrent(LeadingNumber(entries_[kCurrentEntry]->text()));
        entries_[kCurrentEntry]->setText(PlainDecimal(values_.TestCurrent));
        return values_.TestCurrent;
    };
    StepTestResult result = RunStepTest(state_.link(), inputs);
    if (!result.done()) {
        contract_.giveUp(); // Start stays disabled: the link is in doubt
        return;
    }
    showRun(result.record, written);
    start_->setEnabled(true);
    showIdle();
    state_.setTuningIdle(true);
}

// A record just read becomes the current run of the plot, in its full view.
void CurrentLoopWindow::showRun(const StepRecord& record,
                                const StepWorkbench::StartValues& written) {
    record_ = record;
    values_.SampleCount = qint16(record_.Samples.size());
    zoom_.reset(record_.PlotRange, values_.SampleCount);
    plot_->setScale(zoom_.view());
    workbench_->addRun(record_.Samples, written);
    dataSource_->start();
}

// --- Entries ---

bool CurrentLoopWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    for (int index = 0; index < 3; ++index) {
        if (watched != entries_[index])
            continue;
        const int keyAscii = keyAsciiOf(*static_cast<QKeyEvent*>(event));
        if (keyAscii < 0)
            return false;
        return !keyPressed(index, keyAscii);
    }
    return QWidget::eventFilter(watched, event);
}

// Returns whether the key reaches the entry.
bool CurrentLoopWindow::keyPressed(int entry, int keyAscii) {
    const bool types = typesIntoEntry(keyAscii);
    if (leaving_)
        return types; // the window is ending: nothing more goes to the drive
    // While the window's work runs, its indication stays as that work has set it.
    const bool working = contract_.busy();
    if (!working) {
        showBusy();
        state_.setTuningIdle(false);
    }
    if (keyAscii == kEnter && applyEntry(entry))
        return false; // the write is queued, and its end shows the idle indication
    if (!working) {
        showIdle();
        state_.setTuningIdle(true);
    }
    return types;
}

// Clamps the entry and shows the clamped value; true when a gain is to be written to the drive.
bool CurrentLoopWindow::applyEntry(int entry) {
    QLineEdit* text = entries_[entry];
    const double typed = LeadingNumber(text->text());
    float value = 0;
    quint16 address = 0;
    switch (entry) {
    case kKpEntry:
        value = values_.GainKp = ClampKp(typed);
        address = reg::CurrentLoopKp;
        break;
    case kKiEntry:
        value = values_.GainKi = ClampKiForEnter(typed);
        address = reg::CurrentLoopKi;
        break;
    default:
        // The step current reaches the drive only with the next Start; the reference line of the
        // plot follows it at once.
        values_.TestCurrent = ClampTestCurrent(typed);
        text->setText(PlainDecimal(values_.TestCurrent));
        return false;
    }
    text->setText(PlainDecimal(value));
    contract_.submit(WriteKey::of(address), [this, entry, address, value] {
        // Work that ran before this write may have shown the idle indication meanwhile.
        if (state_.TuningIdle()) {
            showBusy();
            state_.setTuningIdle(false);
        }
        writeGain(entry, address, value);
    });
    return true;
}

void CurrentLoopWindow::writeGain(int entry, quint16 address, float value) {
    if (!CurrentLoopTransactions(state_.link()).writeGain(address, value)) {
        contract_.giveUp();
        return;
    }
    // Work that ran between the Enter and this write (a search) may have shown other gains: the
    // entry shows what the drive now holds.
    (entry == kKpEntry ? values_.GainKp : values_.GainKi) = value;
    entries_[entry]->setText(PlainDecimal(value));
    showIdle();
    state_.setTuningIdle(true);
}

// --- auto ---

void CurrentLoopWindow::autoTune() {
    if (leaving_)
        return;
    // The window closes after the drive has tuned: nothing else starts from it any more.
    leaving_ = true;
    contract_.submit([this] { runAutoTune(); });
}

void CurrentLoopWindow::runAutoTune() {
    const AutoTuneResult gains = RunAutoTune(
        state_.link(), [this] { state_.tell(variant_.autoNoticeText, variant_.autoNoticeTitle); });
    // The gains are shown only as the drive returns them: a read that failed has nothing to show
    // (the link has said so already).
    if (gains.kp) {
        values_.GainKp = *gains.kp;
        entries_[kKpEntry]->setText(QString::number(*gains.kp));
    }
    if (gains.ki) {
        values_.GainKi = *gains.ki;
        entries_[kKiEntry]->setText(QString::number(*gains.ki));
    }
    contract_.closeWindow(); // takes effect once this job has ended
}

// --- search ---

void CurrentLoopWindow::searchClicked() {
    if (searching_) {
        // Taken at the search's next step; the button waits for it.
        searchCancelled_ = true;
        search_->setEnabled(false);
        return;
    }
    if (leaving_)
        return;
    searching_ = true;
    searchCancelled_ = false;
    search_->setText(QStringLiteral("cancel"));
    start_->setEnabled(false);
    auto_->setEnabled(false);
    showBusy();
    state_.setTuningIdle(false);
    contract_.submit([this] { runSearch(); });
}

void CurrentLoopWindow::runSearch() {
    DriveLink& link = state_.link();
    if (searchCancelled_ || leaving_ || contract_.closePending()) {
        searchEnded(std::nullopt); // cancelled before it began: nothing was sent
        return;
    }
    const std::optional<GainPair> held = ReadHeldGains(link);
    // The step current of the entry, or where that is no step at all, the search's own.
    std::optional<double> current =
        ClampTestCurrent(LeadingNumber(entries_[kCurrentEntry]->text()));
    if (std::round(*current * 1024) == 0)
        current = held ? DefaultSearchCurrent(link) : std::nullopt;
    if (!held || !current) {
        contract_.giveUp();
        return;
    }
    values_.TestCurrent = float(*current);
    entries_[kCurrentEntry]->setText(PlainDecimal(values_.TestCurrent));

    GainSearch search(*held, *current);
    searchProgress_->begin(search.limits().maxSteps);
    const SearchRunResult result = RunGainSearch(
        link, search, *held,
        [this] { return searchCancelled_ || leaving_ || contract_.closePending(); },
        [&](const SearchStep& step, const StepRecord& record) {
            showRun(record,
                    {float(step.gains.kp), float(step.gains.ki), float(search.commandedAmperes())});
            searchProgress_->stepDone(step.number);
        });
    searchProgress_->ended(result, search, *held);
    // A drive that did not take back its gains is in doubt like one that stopped answering.
    if (result.end == SearchEnd::DriveFailed || !result.driveLeft) {
        contract_.giveUp();
        return;
    }
    searchEnded(result.end == SearchEnd::BestWritten ? search.best()->gains : *held);
}

// The entries show the gains the drive holds after the search (shown), and the window takes
// input again.
void CurrentLoopWindow::searchEnded(std::optional<GainPair> shown) {
    searching_ = false;
    if (shown) {
        values_.GainKp = float(shown->kp);
        values_.GainKi = float(shown->ki);
        entries_[kKpEntry]->setText(QString::number(shown->kp));
        entries_[kKiEntry]->setText(QString::number(shown->ki));
    }
    search_->setText(QStringLiteral("search"));
    if (leaving_)
        return; // the window closes once this job has ended
    search_->setEnabled(true);
    start_->setEnabled(true);
    auto_->setEnabled(true);
    showIdle();
    state_.setTuningIdle(true);
}

// --- Closing ---

// The end of the test mode is drive work of its own: the close takes effect once it has run,
// whatever its outcome.
WindowContract::CloseVerdict CurrentLoopWindow::unload() {
    if (unloaded_)
        return WindowContract::CloseVerdict::Now;
    leaving_ = true;
    releaseFlags();
    unloaded_ = true;
    dataSource_->stop();
    contract_.submitLastWork([this] { endTest(); });
    return contract_.busy() ? WindowContract::CloseVerdict::Later
                            : WindowContract::CloseVerdict::Now;
}

void CurrentLoopWindow::endTest() {
    if (CurrentLoopTransactions(state_.link()).endTest()) {
        if (variant_.idleAfterClose)
            showIdle();
    } else {
        contract_.giveUp();
    }
}

void CurrentLoopWindow::releaseFlags() {
    if (!flagsHeld_)
        return;
    flagsHeld_ = false;
    state_.WindowOpenFlags(kOwnFlag) = false;
    state_.ToolWindowOpen = false;
}

// --- Give-up and status ---

void CurrentLoopWindow::givingUp() {
    searching_ = false;
    search_->setText(QStringLiteral("search"));
    state_.setTuningIdle(true);
    if (variant_.idleAfterGiveUp)
        showIdle();
    dataSource_->stop();
}

void CurrentLoopWindow::showBusy() {
    if (StatusDisplay* lamp = state_.lamp())
        lamp->showBusy();
}

void CurrentLoopWindow::showIdle() {
    if (StatusDisplay* lamp = state_.lamp())
        lamp->showIdle();
}

// --- Size ---

bool CurrentLoopWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The legend's rows and the search's bar come and go under the plot of fixed size: the frame
    // grows with them rather than let the rows slide over the plot. It never shrinks by itself.
    if (event->type() == QEvent::LayoutRequest)
        growFrameToFit();
    return handled;
}

void CurrentLoopWindow::growFrameToFit() {
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!frame || frame->isMaximized() || frame->isMinimized())
        return;
    // What the window's own layout needs beyond the room it has; the frame's layout learns of it
    // only later.
    const QSize needed = minimumSizeHint();
    const QSize grow(std::max(0, needed.width() - width()),
                     std::max(0, needed.height() - height()));
    if (grow.width() > 0 || grow.height() > 0)
        frame->resize(frame->size() + grow);
}

// --- Plot ---

void CurrentLoopWindow::DataSource_Timer() {
    const auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (isMinimized() || (frame && frame->isMinimized()))
        return;
    plot_->redraw({zoom_.view(), &record_.Samples, zoom_.Dragging(), zoom_.DragStart(),
                   zoom_.DragEnd(), values_.TestCurrent, workbench_->overlays()});
}

void CurrentLoopWindow::plotButtonDown(int button, QPointF at) {
    if (state_.TuningIdle())
        zoom_.buttonDown(button, at);
}

void CurrentLoopWindow::plotMouseMoved(int buttons, QPointF at) {
    if (state_.TuningIdle())
        zoom_.mouseMove(buttons, at);
}

void CurrentLoopWindow::plotButtonUp(int button, QPointF at) {
    if (state_.TuningIdle())
        zoom_.buttonUp(button, at);
}

} // namespace kiro
