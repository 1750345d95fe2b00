#include "FaultWindow.h"

#include "FaultIndicator.h"
#include "FaultsVariant.h"
#include "link/DriveLink.h"
#include "link/LinkClock.h"
#include "link/RegisterMap.h"
#include "link/WriteKey.h"
#include "shell/ShellState.h"
#include "shell/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace kiro {

namespace {

const QString kCaption = QStringLiteral("故障查询");
const QString kHistoryHeading = QStringLiteral("历史次数:");
const QString kClearCurrent = QStringLiteral("清除当前故障!");
const QString kClearHistory = QStringLiteral("清除历史故障!");
const QColor kCaptionColor(255, 0, 0);
const QColor kNumberBackground(128, 255, 255);
const QColor kClearCurrentBack(255, 255, 128);
const QColor kClearHistoryBack(255, 192, 128);

constexpr int kButtonWidthTwips = 2040;
constexpr int kButtonHeightTwips = 420;
constexpr int kMarginTwips = 180;
constexpr int kNumberWidthTwips = 375;

QRect place(int left, int top, int width, int height) {
    return {twips::toPixels(QPoint(left, top)), twips::toPixels(QSize(width, height))};
}

QString name(const char* control, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(control)).arg(index);
}

} // namespace

FaultWindow::FaultWindow(ShellState& state, const FaultsVariant& layout, QWidget* parent)
    : QWidget(parent), state_(state), layout_(layout), contract_(state, *this) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(kCaption);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &FaultWindow::blink);
    contract_.setCloseRule([this] { return judgeClose(); });
    connect(&contract_, &WindowContract::closing, this, [this] {
        Timer1->stop();
        state_.ToolWindowOpen = false;
    });
    connect(&contract_, &WindowContract::givingUp, Timer1, &QTimer::stop);

    buildGrid();
    buildButtons();
    setFixedSize(twips::toPixels(QSize(
        faultgrid::kGridWidthTwips, layout_.buttonsTopTwips + kButtonHeightTwips + kMarginTwips)));
    // Open from now on, so that the menu refuses a second one while the words are being read.
    placeWindow();
    state_.ToolWindowOpen = true;
    BlinkBusy = true;
    contract_.submit([this] { load(); });
}

FaultWindow::~FaultWindow() {
    // Torn down without being closed (the program ending): the shared flag must not stay set.
    if (!closed())
        state_.ToolWindowOpen = false;
}

void FaultWindow::buildGrid() {
    using namespace faultgrid;
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    frame->setGeometry(place(0, 0, kGridWidthTwips, layout_.gridBottomTwips));

    const auto& kinds = FaultKinds();
    for (int row = 0; row < int(kinds.size()); ++row) {
        auto* caption = new QLabel(kinds[size_t(row)].caption, frame);
        caption->setObjectName(name("Label1", row));
        QPalette palette = caption->palette();
        palette.setColor(QPalette::WindowText, kCaptionColor);
        caption->setPalette(palette);
        caption->setGeometry(place(kCaptionLeftTwips, layout_.rowTopTwips[size_t(row)],
                                   kCaptionWidthTwips, kIndicatorTwips));
        caption->setVisible(kinds[size_t(row)].rowShown);
    }

    for (int column = 0; column < kFaultColumns; ++column) {
        auto* number = new QLabel(QString::number(column), frame);
        number->setObjectName(name("Label2", column));
        number->setAlignment(Qt::AlignCenter);
        number->setAutoFillBackground(true);
        QPalette palette = number->palette();
        palette.setColor(QPalette::Window, kNumberBackground);
        number->setPalette(palette);
        const int centre = columnLeftTwips(column) + kIndicatorTwips / 2;
        number->setGeometry(place(centre - kNumberWidthTwips / 2, layout_.numberRowTopTwips,
                                  kNumberWidthTwips, kIndicatorTwips));
    }
    auto* heading = new QLabel(kHistoryHeading, frame);
    heading->setObjectName(name("Label2", kFaultColumns));
    heading->setGeometry(
        place(kCaptionLeftTwips, layout_.numberRowTopTwips, kCaptionWidthTwips, kIndicatorTwips));

    for (int column = 0; column < kFaultColumns; ++column) {
        for (int bit = 0; bit < kIndicatorsPerColumn; ++bit) {
            auto* indicator = new FaultIndicator(frame);
            const int index = IndicatorIndex(column, bit);
            indicator->setObjectName(name("Shape1", index));
            const FaultKind* kind = FaultOfBit(bit);
            int top = layout_.spareRowTopTwips;
            if (kind) {
                const auto row = std::find_if(kinds.begin(), kinds.end(),
                                              [bit](const FaultKind& k) { return k.bit == bit; });
                top = layout_.rowTopTwips[size_t(row - kinds.begin())];
                indicator->setAccessibleName(
                    QStringLiteral("%1 第%2列").arg(kind->name()).arg(column));
            } else {
                indicator->setAccessibleName(QStringLiteral("位%1 第%2列").arg(bit).arg(column));
            }
            indicator->move(twips::toPixels(QPoint(columnLeftTwips(column), top)));
            indicator->setVisible(kind && kind->rowShown);
            Shape1[size_t(index)] = indicator;
        }
    }

    // Separators: one between neighbouring columns, one between neighbouring visible rows.
    const int gridBottom = layout_.gridBottomTwips;
    for (int line = 0; line < kFaultColumns - 1; ++line) {
        auto* separator = new QFrame(frame);
        separator->setObjectName(name("Line1", line));
        separator->setFrameShape(QFrame::VLine);
        separator->setFrameShadow(QFrame::Plain);
        const int x = columnLeftTwips(line) + (kIndicatorTwips + kColumnPitchTwips) / 2;
        separator->setGeometry(place(x - 15, 0, 30, gridBottom));
    }
    QList<int> rowTops{layout_.numberRowTopTwips};
    for (int row = 0; row < int(kinds.size()); ++row) {
        if (kinds[size_t(row)].rowShown)
            rowTops << layout_.rowTopTwips[size_t(row)];
    }
    std::sort(rowTops.begin(), rowTops.end());
    for (int line = 0; line + 1 < rowTops.size(); ++line) {
        auto* separator = new QFrame(frame);
        separator->setObjectName(name("Line2", line));
        separator->setFrameShape(QFrame::HLine);
        separator->setFrameShadow(QFrame::Plain);
        const int y = (rowTops[line] + kIndicatorTwips + rowTops[line + 1]) / 2;
        separator->setGeometry(place(0, y - 15, kGridWidthTwips, 30));
    }
}

void FaultWindow::buildButtons() {
    const QString captions[] = {kClearCurrent, kClearHistory};
    const QColor backs[] = {kClearCurrentBack, kClearHistoryBack};
    const FaultClear commands[] = {FaultClear::Current, FaultClear::History};
    for (int index = 0; index < 2; ++index) {
        auto* button = new QPushButton(captions[index], this);
        button->setObjectName(name("Command1", index));
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, backs[index]);
        button->setPalette(palette);
        const int left = faultgrid::columnLeftTwips(0) + index * (kButtonWidthTwips + 360);
        button->setGeometry(
            place(left, layout_.buttonsTopTwips, kButtonWidthTwips, kButtonHeightTwips));
        const FaultClear command = commands[index];
        // A second click on the same button while its clear waits asks for nothing more.
        connect(button, &QPushButton::clicked, this, [this, command] {
            contract_.submit(WriteKey::ofCommand(reg::FaultClear, quint16(command)),
                             [this, command] { clear(command); });
        });
        Command1[size_t(index)] = button;
    }
}

void FaultWindow::placeWindow() {
    if (!layout_.windowTwips)
        return;
    const QPoint where = twips::toPixels(*layout_.windowTwips);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->move(where);
    else
        move(where);
}

void FaultWindow::load() {
    placeWindow();
    state_.ToolWindowOpen = true;
    BlinkBusy = true;
    const std::optional<FaultWords> words = ReadFaultWords(contract_.link());
    if (!words) {
        contract_.giveUp();
        return;
    }
    showLoaded(*words);
}

void FaultWindow::showLoaded(const FaultWords& words) {
    showWords(words);
    Timer1->start(kBlinkIntervalMs);
}

void FaultWindow::showWords(const FaultWords& words) {
    for (int column = 0; column < kFaultColumns; ++column) {
        for (const FaultKind& kind : FaultKinds()) {
            Shape1[size_t(IndicatorIndex(column, kind.bit))]->showFault(
                HasFault(words[size_t(column)], kind.bit));
        }
    }
}

void FaultWindow::blink() {
    // A close put off until this tick.
    if (contract_.closePending() && !contract_.busy()) {
        closeNow();
        return;
    }
    // Inside a transaction's wait, this window's or another's, a tick would only stretch it; the
    // next tick comes soon enough.
    if (state_.linkBusy())
        return;
    // The tick waits inside itself while Timer1 runs on: no tick starts inside this one. The
    // window may be gone when the tick ends, and the timer with it.
    const QPointer<QTimer> timer(Timer1);
    timer->blockSignals(true);
    blinkColumn0();
    if (timer)
        timer->blockSignals(false);
}

void FaultWindow::blinkColumn0() {
    BlinkBusy = true;
    blinking_ = true;
    LinkClock& clock = state_.link().clock();
    const QPointer<FaultWindow> alive(this);
    for (int index = 0; index < kIndicatorsPerColumn; ++index) {
        FaultIndicator* indicator = Shape1[size_t(index)];
        if (indicator->showsFault()) {
            // A row that is not shown goes dark for its time too, but is never revealed.
            const bool shown = !indicator->isHidden();
            indicator->hide();
            clock.waitMs(kDarkMs);
            if (!alive)
                return;
            indicator->setVisible(shown);
            if (closed())
                return;
        }
        if (contract_.closePending()) {
            // A close request came while the indicator was dark: now the window may go.
            blinking_ = false;
            closeNow();
            return;
        }
    }
    blinking_ = false;
    BlinkBusy = false;
    if (Timer1->isActive())
        Timer1->start(); // a whole interval between the end of a tick and the next one
}

void FaultWindow::clear(FaultClear which) {
    BlinkBusy = true;
    if (const std::optional<FaultWords> words = ClearFaultsAndRead(contract_.link(), which))
        showLoaded(*words);
    else
        contract_.giveUp(); // a clear asked for meanwhile would only fail again
}

// Judged when a close would take effect. The first request while BlinkBusy is put off: a blink
// under way closes the window once its indicator is lit again, and the blink due after a reading
// closes it as it starts. A request made again meanwhile, or one that waited for the window's
// work, goes through.
WindowContract::CloseVerdict FaultWindow::judgeClose() {
    if (contract_.closePending())
        return WindowContract::CloseVerdict::Now;
    if (BlinkBusy && (blinking_ || Timer1->isActive()))
        return WindowContract::CloseVerdict::Later;
    return WindowContract::CloseVerdict::Now;
}

void FaultWindow::closeNow() {
    BlinkBusy = false;
    Timer1->stop();
    contract_.closeWindow();
}

} // namespace kiro
