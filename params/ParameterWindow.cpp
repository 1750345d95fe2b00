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
#include "shell/Twips.h"
#include "shell/Variant.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

namespace kiro {

namespace {
const QString kCaption = QStringLiteral("参数设定");
const QString kGeneratorStillRunning = QStringLiteral("没有关闭波形发生器!");
constexpr int kParametersFlag = 3;
constexpr int kMarginTwips = 120;
constexpr int kFacePoints = 8;
} // namespace

ParameterWindow::ParameterWindow(ShellState& state, QWidget* parent)
    : QWidget(parent), state_(state), table_(ParamsVariant::of(state.variant())),
      drive_(state.link()), params_(DriveParams::of(state)), input_(state.link()) {
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
    connect(&input_, &DeferredInput::settled, this, &ParameterWindow::closeWhenSettled);
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

void ParameterWindow::submit(const QString& key, DeferredInput::Job job) {
    if (!accepting())
        return;
    input_.submit(key, [this, job = std::move(job)] {
        if (!givenUp_)
            job();
    });
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

void ParameterWindow::tellLinkFailure() {
    const LinkVariant& link = *state_.variant().link;
    tell(link.failureMessage, link.failureTitle);
}

void ParameterWindow::giveUp() {
    tellLinkFailure();
    canClose_ = true;
    if (table_.idleAfterFailure)
        showIdle();
    disableForGood();
}

void ParameterWindow::giveUpFromSlider() {
    tellLinkFailure();
    disableForGood();
}

void ParameterWindow::disableForGood() {
    givenUp_ = true;
    input_.discard();
    setEnabled(false);
}

void ParameterWindow::load() {
    // The frame that hosts the window takes over this place in the client area.
    move(twips::toPixels(table_.placeTwips));
    state_.WindowOpenFlags(kParametersFlag) = true;
    state_.ToolWindowOpen = true;
    flagsHeld_ = true;
    input_.submit(QStringLiteral("load"), [this] { ReadBack::run(*this); });
}

bool ParameterWindow::event(QEvent* event) {
    // Taken into the client area's frame, the window forgets its focus child: choose it again
    // before the frame shows it.
    if (event->type() == QEvent::ParentChange && firstFocusChosen_)
        chooseFirstFocus();
    return QWidget::event(event);
}

void ParameterWindow::chooseFirstFocus() {
    firstFocusChosen_ = true;
    // Chosen while the window is still hidden, so that it appears with the focus there and no
    // entry first receives and then loses it (which would commit the entry).
    if (QWidget* start = internalTest_->startButton(); start && table_.focusesStartButton)
        start->setFocus(Qt::OtherFocusReason);
}

void ParameterWindow::closeEvent(QCloseEvent* event) {
    if (!closeWaiting_ && internalTest_->stopShown())
        tell(kGeneratorStillRunning);
    if (!canClose_) {
        event->ignore();
        return;
    }
    if (!input_.idle()) {
        // Work of the window is under way: the close takes effect when it has ended.
        closeWaiting_ = true;
        event->ignore();
        return;
    }
    closing_ = true;
    closeWaiting_ = false;
    releaseFlags();
    event->accept();
}

void ParameterWindow::closeWhenSettled() {
    if (!closeWaiting_)
        return;
    QTimer::singleShot(0, this, [this] {
        if (!input_.idle())
            return;
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
            frame->close();
        else
            close();
    });
}

void ParameterWindow::releaseFlags() {
    if (!flagsHeld_)
        return;
    flagsHeld_ = false;
    state_.WindowOpenFlags(kParametersFlag) = false;
    state_.ToolWindowOpen = false;
}

} // namespace kiro
