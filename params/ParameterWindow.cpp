#include "ParameterWindow.h"

#include "ConfigurationZone.h"
#include "DriveParams.h"
#include "InternalTestZone.h"
#include "ParamsVariant.h"
#include "ReadBack.h"
#include "ResonanceZone.h"
#include "link/DriveLink.h"
#include "link/StatusDisplay.h"
#include "shell/ShellState.h"
#include "shell/ToolWindows.h"
#include "shell/Twips.h"
#include "shell/Variant.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace kiro {

namespace {
const QString kCaption = QStringLiteral("参数设定");
const QString kGeneratorStillRunning = QStringLiteral("没有关闭波形发生器!");
const QString kReadBackJob = QStringLiteral("Form3");
constexpr int kMarginTwips = 120;
constexpr int kFacePoints = 8;
} // namespace

ParameterWindow::ParameterWindow(ShellState& state, QWidget* parent)
    : QWidget(parent), state_(state), table_(ParamsVariant::of(state.variant())),
      drive_(state.link()), params_(DriveParams::of(state)), contract_(state, *this) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCaption);
    // The places in twips were laid out for an eight-point face.
    QFont face = font();
    face.setPointSize(kFacePoints);
    setFont(face);
    buildFrames();
    const int width = kMarginTwips + table_.frameWidthTwips + kMarginTwips;
    const ParamsVariant::FramePlace& lowest = table_.frames[4];
    size_ = twips::toPixels(QSize(width, lowest.topTwips + lowest.heightTwips + kMarginTwips));
    resize(size_);
    contract_.setCloseRule([this] { return judgeClose(); });
    connect(&contract_, &WindowContract::closing, this, &ParameterWindow::releaseFlags);
    connect(&contract_, &WindowContract::givingUp, this, [this] {
        if (slidersGaveUp_)
            return; // CanClose and the lamp stay as they are
        canClose_ = true;
        if (table_.idleAfterFailure)
            showIdle();
    });
}

ParameterWindow::~ParameterWindow() {
    releaseFlags();
}

void ParameterWindow::buildFrames() {
    configuration_ = new ConfigurationZone(*this, this);
    for (int zone = 1; zone <= 3; ++zone)
        resonance_[std::size_t(zone - 1)] = new ResonanceZone(*this, zone, this);
    internalTest_ = new InternalTestZone(*this, this);
    // The zones were made top to bottom, the order the Tab key follows; Frame1 numbers them
    // differently.
    QWidget* frames[] = {resonance_[0], configuration_, resonance_[1], resonance_[2],
                         internalTest_};
    for (int index = 0; index < 5; ++index) {
        const ParamsVariant::FramePlace& place = table_.frames[std::size_t(index)];
        frames[index]->setGeometry(twips::toPixels(kMarginTwips), twips::toPixels(place.topTwips),
                                   twips::toPixels(table_.frameWidthTwips),
                                   twips::toPixels(place.heightTwips));
    }
}

void ParameterWindow::submit(const QString& key, WindowContract::Job job) {
    contract_.submit(key, std::move(job));
}

void ParameterWindow::showBusy() {
    if (StatusDisplay* lamp = state_.lamp())
        lamp->showBusy();
}

void ParameterWindow::showIdle() {
    if (StatusDisplay* lamp = state_.lamp())
        lamp->showIdle();
}

void ParameterWindow::tell(const QString& text, const QString& title) {
    state_.tell(text, title);
}

QString ParameterWindow::noticeTitle() const {
    return state_.variant().noticeTitle;
}

void ParameterWindow::giveUp() {
    contract_.giveUp();
}

void ParameterWindow::giveUpFromSlider() {
    slidersGaveUp_ = true;
    contract_.giveUp();
}

void ParameterWindow::load() {
    // The frame that hosts the window takes over this place in the client area.
    move(twips::toPixels(table_.placeTwips));
    state_.WindowOpenFlags(RoleOf(ToolWindow::Parameters).ownFlag) = true;
    state_.ToolWindowOpen = true;
    flagsHeld_ = true;
    submit(kReadBackJob, [this] { readBack(); });
}

void ParameterWindow::readBack() {
    keepOutOfSight();
    ReadBack::run(*this);
    appear();
}

// The window is not seen while it reads the drive; the frame that the main window has shown it
// in meanwhile goes out of sight with it.
void ParameterWindow::keepOutOfSight() {
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    QWidget* host = frame ? static_cast<QWidget*>(frame) : this;
    if (!host->isVisible())
        return;
    // Taken away from a control here, the focus must not move on to a control of another
    // window, as it would when the control that has it disappears.
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == host || host->isAncestorOf(focus)))
        focus->clearFocus();
    host->hide();
}

void ParameterWindow::appear() {
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    QWidget* host = frame ? static_cast<QWidget*>(frame) : this;
    host->show();
    // Shown, the frame may give the focus to some control first; the window then moves it to its
    // own first control, which is the program's move and commits nothing.
    chooseFirstFocus();
    if (frame && frame->mdiArea())
        frame->mdiArea()->setActiveSubWindow(frame);
}

void ParameterWindow::chooseFirstFocus() {
    if (QWidget* start = internalTest_->startButton(); start && table_.focusesStartButton) {
        start->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
        if (isAncestorOf(next) && next->isVisibleTo(this) && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

// The window's own rules, judged as the close takes effect (its work has ended by then): the
// reminder of a generator still running, and CanClose, which a write in progress holds False.
WindowContract::CloseVerdict ParameterWindow::judgeClose() {
    if (internalTest_->stopShown())
        tell(kGeneratorStillRunning);
    return canClose_ ? WindowContract::CloseVerdict::Now : WindowContract::CloseVerdict::Later;
}

void ParameterWindow::releaseFlags() {
    if (!flagsHeld_)
        return;
    flagsHeld_ = false;
    state_.WindowOpenFlags(RoleOf(ToolWindow::Parameters).ownFlag) = false;
    state_.ToolWindowOpen = false;
}

} // namespace kiro
