#include "InternalTestZone.h"

#include "EntryKeys.h"
#include "GeneratorRun.h"
#include "ParameterWindow.h"
#include "ParamsVariant.h"
#include "TextValue.h"
#include "link/AttemptLimits.h"
#include "link/RegisterMap.h"
#include "link/WriteKey.h"
#include "shell/Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <cmath>

namespace kiro {

namespace {
const QString kCaption = QStringLiteral("内部测试区");
constexpr int kRowHeightTwips = 285;

constexpr int kSliderHeightTwips = 315;
constexpr int kSpeedMinimum = 10;
constexpr int kSpeedMaximum = 6000;
constexpr int kSpeedTicks = 500;
// Repeat count and dwell time have no limits of their own, but must fit a register.
const RangeRule kRegisterWord = RangeRule::within(0, 65535);

// The labels of the entries, by Text4 index.
QString labelNameOf(int index) {
    switch (index) {
    case 4:
        return QStringLiteral("Label1_6");
    case 5:
        return QStringLiteral("Label1_7");
    default:
        return QStringLiteral("Label1_10");
    }
}

QRect rectOf(QPoint twips, QSize size) {
    return QRect(twips::toPixels(twips), twips::toPixels(size));
}

bool fitsRegister(double value) {
    const double word = std::nearbyint(value);
    return word >= 0 && word <= 65535;
}
} // namespace

InternalTestZone::InternalTestZone(ParameterWindow& window, QWidget* parent)
    : QGroupBox(kCaption, parent), window_(window) {
    setObjectName(QStringLiteral("Frame1_4"));
    if (window_.table().generator)
        buildGenerator(*window_.table().generator);
    for (const ParamsVariant::TestEntry& entry : window_.table().testEntries)
        addEntry(entry);
    if (window_.table().generator)
        buildButtons(*window_.table().generator);
}

void InternalTestZone::addEntry(const ParamsVariant::TestEntry& entry) {
    auto* label = new QLabel(entry.label, this);
    label->setObjectName(labelNameOf(entry.index));
    // A label stands above its entry (jog) or to its left (generator).
    const bool above = entry.boxTwips.x() == entry.labelTwips.x();
    const int labelWidth = above ? entry.boxWidthTwips : entry.boxTwips.x() - entry.labelTwips.x();
    label->setGeometry(rectOf(entry.labelTwips, QSize(labelWidth, kRowHeightTwips)));
    auto* box = new QLineEdit(entry.designText, this);
    box->setObjectName(QStringLiteral("Text4_%1").arg(entry.index));
    box->setGeometry(rectOf(entry.boxTwips, QSize(entry.boxWidthTwips, kRowHeightTwips)));
    label->setBuddy(box);
    const int index = entry.index;
    entries_[index] = box;
    if (entry.rule) {
        rules_[index] = *entry.rule;
        connect(box, &QLineEdit::textChanged, this, [this, index] { checkRange(index); });
    }
    if (!entry.reg) {
        new EntryKeys(box, {}); // such values go to the drive only with the start
        return;
    }
    const quint16 address = *entry.reg;
    new EntryKeys(box, [this, address, box](const EntrySnapshot& committed) {
        window_.submit(WriteKey::of(address),
                       [this, address, committed] { writeJog(address, committed); });
    });
}

void InternalTestZone::buildGenerator(const ParamsVariant::Generator& layout) {
    speed_ = new QSlider(Qt::Horizontal, this);
    speed_->setObjectName(QStringLiteral("Slider4"));
    speed_->setRange(kSpeedMinimum, kSpeedMaximum);
    speed_->setTickInterval(kSpeedTicks);
    speed_->setTickPosition(QSlider::TicksBelow);
    speed_->setPageStep(kSpeedTicks);
    speed_->setValue(kSpeedMinimum);
    speed_->setTracking(false);
    speed_->setGeometry(
        rectOf(layout.speedSliderTwips, QSize(layout.speedSliderWidthTwips, kSliderHeightTwips)));
    connect(speed_, &QSlider::valueChanged, this, &InternalTestZone::userMovedSpeed);

    speedShown_ = new QLabel(QString::number(kSpeedMinimum), this);
    speedShown_->setObjectName(QStringLiteral("Label2"));
    speedShown_->setAutoFillBackground(true);
    QPalette grey = speedShown_->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    speedShown_->setPalette(grey);
    speedShown_->setGeometry(rectOf(layout.speedShownTwips, QSize(780, kRowHeightTwips)));
    auto* unit = new QLabel(QStringLiteral("× 0.01 rps"), this);
    unit->setObjectName(QStringLiteral("Label1_4"));
    unit->setGeometry(rectOf(layout.speedUnitTwips, QSize(1140, kRowHeightTwips)));
    speed_->setAccessibleName(unit->text());

    reciprocating_ = new QCheckBox(QStringLiteral("往复"), this);
    reciprocating_->setObjectName(QStringLiteral("Check1_0"));
    reciprocating_->setGeometry(rectOf(layout.reciprocatingTwips, QSize(1200, kRowHeightTwips)));
    reciprocating_->setChecked(true);
    forward_ = new QCheckBox(QStringLiteral("正向"), this);
    forward_->setObjectName(QStringLiteral("Check1_1"));
    forward_->setGeometry(rectOf(layout.forwardTwips, QSize(1200, kRowHeightTwips)));
    forward_->setChecked(true);
}

void InternalTestZone::buildButtons(const ParamsVariant::Generator& layout) {
    start_ = new QPushButton(QStringLiteral("启动"), this);
    start_->setObjectName(QStringLiteral("Command4_0"));
    start_->setStyleSheet(QStringLiteral("background-color: rgb(0, 255, 0);"));
    start_->setGeometry(rectOf(layout.buttonsTwips, layout.buttonSizeTwips));
    start_->setEnabled(false);
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    stop_->setObjectName(QStringLiteral("Command4_1"));
    stop_->setStyleSheet(QStringLiteral("background-color: rgb(255, 0, 0);"));
    stop_->setGeometry(rectOf(layout.buttonsTwips, layout.buttonSizeTwips));
    stop_->setEnabled(false);
    stop_->hide();
    // Start and stop both end in the run command: the last of them is what the drive gets.
    const QString runKey = WriteKey::of(reg::GeneratorRun);
    connect(start_, &QPushButton::clicked, this,
            [this, runKey] { window_.submit(runKey, [this] { start(); }); });
    connect(stop_, &QPushButton::clicked, this,
            [this, runKey] { window_.submit(runKey, [this] { stop(); }); });
}

void InternalTestZone::showJogReadBack(int index, quint16 value) {
    if (QLineEdit* box = entries_.value(index))
        box->setText(DecimalText(value));
}

void InternalTestZone::enableButtons() {
    if (stop_)
        stop_->setEnabled(true);
    if (start_)
        start_->setEnabled(true);
}

void InternalTestZone::showRunning(bool running) {
    QPushButton* shown = running ? stop_ : start_;
    QPushButton* hidden = running ? start_ : stop_;
    // The focus stays on the button in its place: hidden with the focus, a button would pass it
    // on to the next control in the tab order, which may be an entry that commits as it loses it.
    shown->show();
    if (hidden->hasFocus())
        shown->setFocus(Qt::OtherFocusReason);
    hidden->hide();
}

bool InternalTestZone::stopShown() const {
    return stop_ && !stop_->isHidden();
}

void InternalTestZone::checkRange(int index) {
    QLineEdit* box = entries_.value(index);
    const RangeRule& rule = rules_[index];
    if (const auto replacement = rule.replacementFor(LeadingNumber(box->text()))) {
        box->setText(*replacement);
        window_.tell(rule.message);
    }
}

void InternalTestZone::writeJog(quint16 address, const EntrySnapshot& committed) {
    // The entry shows what is written, unless the user has typed on since the commit.
    committed.restore();
    if (!window_.drive().write(address, float(LeadingNumber(committed.text())),
                               attempts::kToolWindow, ParamsTransactions::Settle::Wait))
        window_.giveUp();
}

void InternalTestZone::userMovedSpeed(int value) {
    window_.submit(WriteKey::of(reg::GeneratorSpeed), [this, value] { writeSpeed(value); });
}

void InternalTestZone::writeSpeed(int value) {
    if (!window_.drive().write(reg::GeneratorSpeed, float(value), attempts::kSliderWrite,
                               ParamsTransactions::Settle::NoWait)) {
        window_.giveUpFromSlider();
        return;
    }
    speedShown_->setText(QString::number(value));
}

bool InternalTestZone::writeStep(quint16 address, double value) {
    if (window_.drive().write(address, float(value), attempts::kToolWindow,
                              ParamsTransactions::Settle::Wait))
        return true;
    window_.giveUp();
    return false;
}

void InternalTestZone::start() {
    const double count = LeadingNumber(entries_.value(5)->text());
    const double dwell = LeadingNumber(entries_.value(6)->text());
    if (!fitsRegister(count) || !fitsRegister(dwell)) {
        // Such a value cannot travel to the drive: say so before anything is sent.
        window_.tell(kRegisterWord.message);
        return;
    }
    window_.showBusy();
    window_.setCanClose(false);
    showRunning(true);
    GeneratorSettings settings;
    settings.reciprocating = reciprocating_->isChecked();
    settings.forward = forward_->isChecked();
    settings.repeats = count;
    settings.strokeRevolutions = LeadingNumber(entries_.value(4)->text());
    settings.dwellMs = dwell;
    settings.speed = speed_->value();
    for (const auto& [address, value] : GeneratorStartWrites(settings))
        if (!writeStep(address, value))
            return;
    window_.setCanClose(true);
    window_.showIdle();
}

void InternalTestZone::stop() {
    window_.showBusy();
    window_.setCanClose(false);
    showRunning(false);
    if (!writeStep(reg::GeneratorRun, 0))
        return;
    window_.setCanClose(true);
    window_.showIdle();
}

} // namespace kiro
