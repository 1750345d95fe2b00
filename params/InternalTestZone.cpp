#include "InternalTestZone.h"

#include "EntryKeys.h"
#include "ParameterWindow.h"
#include "ParamsVariant.h"
#include "TextValue.h"
#include "link/RegisterMap.h"
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

// The generator panel exists in the QZ318 tuner only; its places, in twips within the frame.
constexpr QPoint kSpeedSlider{120, 240};
constexpr int kSpeedSliderWidth = 7455;
constexpr int kSpeedSliderHeight = 315;
constexpr QPoint kSpeedShown{240, 600};
constexpr QPoint kSpeedUnit{1080, 630};
constexpr QPoint kReciprocating{2280, 615};
constexpr QPoint kForward{3720, 615};
constexpr QPoint kDwellLabel{5040, 645};
constexpr QPoint kDwellBox{6360, 600};
constexpr QPoint kCountLabel{600, 1290};
constexpr QPoint kCountBox{1320, 1200};
constexpr QPoint kStrokeLabel{2520, 1290};
constexpr QPoint kStrokeBox{3480, 1200};
constexpr QPoint kButtons{4680, 1080};
constexpr QSize kButtonSize{2295, 495};
constexpr int kGeneratorBoxWidth = 735;
constexpr int kJogBoxWidth = 1500;

constexpr int kSpeedMinimum = 10;
constexpr int kSpeedMaximum = 6000;
constexpr int kSpeedTicks = 500;
constexpr int kStrokeScale = 100; // the drive counts the stroke in hundredths of a revolution
// Repeat count and dwell time have no limits of their own, but must fit a register.
const RangeRule kRegisterWord = RangeRule::within(0, 65535);

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
    if (window_.table().testPanel == ParamsVariant::TestPanel::Generator)
        buildGeneratorPanel();
    else
        buildJogPanel();
}

QLineEdit* InternalTestZone::addEntry(int index, const QString& caption, QPoint labelTwips,
                                      QPoint boxTwips, int boxWidthTwips) {
    auto* label = new QLabel(caption, this);
    const QString labelNames[] = {{},
                                  {},
                                  {},
                                  {},
                                  QStringLiteral("Label1_6"),
                                  QStringLiteral("Label1_7"),
                                  QStringLiteral("Label1_10")};
    label->setObjectName(labelNames[index]);
    // A label stands above its entry (jog) or to its left (generator).
    const bool above = boxTwips.x() == labelTwips.x();
    const int labelWidth = above ? boxWidthTwips : boxTwips.x() - labelTwips.x();
    label->setGeometry(rectOf(labelTwips, QSize(labelWidth, kRowHeightTwips)));
    auto* box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("Text4_%1").arg(index));
    box->setGeometry(rectOf(boxTwips, QSize(boxWidthTwips, kRowHeightTwips)));
    label->setBuddy(box);
    entries_[index] = box;
    return box;
}

void InternalTestZone::buildJogPanel() {
    for (const ParamsVariant::JogEntry& spec : window_.table().jogEntries) {
        QLineEdit* box =
            addEntry(spec.index, spec.label, spec.labelTwips, spec.boxTwips, kJogBoxWidth);
        const int index = spec.index;
        rules_[index] = spec.rule;
        jogRegisters_[index] = spec.reg;
        connect(box, &QLineEdit::textChanged, this, [this, index] { checkRange(index); });
        new EntryKeys(box, [this, index, box] {
            if (!window_.accepting())
                return;
            const QString typed = box->text();
            window_.submit(box->objectName(), [this, index, typed] { writeJog(index, typed); });
        });
    }
}

void InternalTestZone::buildGeneratorPanel() {
    speed_ = new QSlider(Qt::Horizontal, this);
    speed_->setObjectName(QStringLiteral("Slider4"));
    speed_->setRange(kSpeedMinimum, kSpeedMaximum);
    speed_->setTickInterval(kSpeedTicks);
    speed_->setTickPosition(QSlider::TicksBelow);
    speed_->setPageStep(kSpeedTicks);
    speed_->setValue(kSpeedMinimum);
    speed_->setTracking(false);
    speed_->setGeometry(rectOf(kSpeedSlider, QSize(kSpeedSliderWidth, kSpeedSliderHeight)));
    connect(speed_, &QSlider::valueChanged, this, &InternalTestZone::userMovedSpeed);

    speedShown_ = new QLabel(QString::number(kSpeedMinimum), this);
    speedShown_->setObjectName(QStringLiteral("Label2"));
    speedShown_->setAutoFillBackground(true);
    QPalette grey = speedShown_->palette();
    grey.setColor(QPalette::Window, QColor(224, 224, 224));
    speedShown_->setPalette(grey);
    speedShown_->setGeometry(rectOf(kSpeedShown, QSize(780, kRowHeightTwips)));
    auto* unit = new QLabel(QStringLiteral("× 0.01 rps"), this);
    unit->setObjectName(QStringLiteral("Label1_4"));
    unit->setGeometry(rectOf(kSpeedUnit, QSize(1140, kRowHeightTwips)));
    speed_->setAccessibleName(unit->text());

    reciprocating_ = new QCheckBox(QStringLiteral("往复"), this);
    reciprocating_->setObjectName(QStringLiteral("Check1_0"));
    reciprocating_->setGeometry(rectOf(kReciprocating, QSize(1200, kRowHeightTwips)));
    reciprocating_->setChecked(true);
    forward_ = new QCheckBox(QStringLiteral("正向"), this);
    forward_->setObjectName(QStringLiteral("Check1_1"));
    forward_->setGeometry(rectOf(kForward, QSize(1200, kRowHeightTwips)));
    forward_->setChecked(true);

    addEntry(6, QStringLiteral("间歇时间(ms):"), kDwellLabel, kDwellBox, kGeneratorBoxWidth)
        ->setText(QStringLiteral("50"));
    addEntry(5, QStringLiteral("次数:"), kCountLabel, kCountBox, kGeneratorBoxWidth)
        ->setText(QStringLiteral("5"));
    QLineEdit* stroke =
        addEntry(4, QStringLiteral("行程(r):"), kStrokeLabel, kStrokeBox, kGeneratorBoxWidth);
    stroke->setText(QStringLiteral("10"));
    rules_[4] = RangeRule::within(0, 655);
    connect(stroke, &QLineEdit::textChanged, this, [this] { checkRange(4); });
    // The generator's entries go to the drive only with the start; Enter does nothing more.
    for (QLineEdit* box : std::as_const(entries_))
        new EntryKeys(box, {});

    start_ = new QPushButton(QStringLiteral("启动"), this);
    start_->setObjectName(QStringLiteral("Command4_0"));
    start_->setStyleSheet(QStringLiteral("background-color: rgb(0, 255, 0);"));
    start_->setGeometry(rectOf(kButtons, kButtonSize));
    start_->setEnabled(false);
    stop_ = new QPushButton(QStringLiteral("停止"), this);
    stop_->setObjectName(QStringLiteral("Command4_1"));
    stop_->setStyleSheet(QStringLiteral("background-color: rgb(255, 0, 0);"));
    stop_->setGeometry(rectOf(kButtons, kButtonSize));
    stop_->setEnabled(false);
    stop_->hide();
    connect(start_, &QPushButton::clicked, this,
            [this] { window_.submit(start_->objectName(), [this] { start(); }); });
    connect(stop_, &QPushButton::clicked, this,
            [this] { window_.submit(stop_->objectName(), [this] { stop(); }); });
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

void InternalTestZone::writeJog(int index, const QString& typed) {
    QLineEdit* box = entries_.value(index);
    box->setText(typed);
    if (!window_.drive().write(jogRegisters_.value(index), float(LeadingNumber(box->text())),
                               ParamsTransactions::kAttempts, ParamsTransactions::Settle::Wait))
        window_.giveUp();
}

void InternalTestZone::userMovedSpeed(int value) {
    if (!window_.accepting())
        return;
    window_.submit(speed_->objectName(), [this, value] { writeSpeed(value); });
}

void InternalTestZone::writeSpeed(int value) {
    if (!window_.drive().write(reg::GeneratorSpeed, float(value),
                               ParamsTransactions::kSliderAttempts,
                               ParamsTransactions::Settle::NoWait)) {
        window_.giveUpFromSlider();
        return;
    }
    speedShown_->setText(QString::number(value));
}

bool InternalTestZone::writeStep(quint16 address, double value) {
    if (window_.drive().write(address, float(value), ParamsTransactions::kAttempts,
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
    start_->hide();
    stop_->show();
    const double stroke = LeadingNumber(entries_.value(4)->text()) * kStrokeScale;
    const std::pair<quint16, double> steps[] = {
        {reg::GeneratorReciprocating, reciprocating_->isChecked() ? 1 : 0},
        {reg::GeneratorForward, forward_->isChecked() ? 1 : 0},
        {reg::GeneratorRepeats, count},
        {reg::GeneratorStroke, stroke},
        {reg::GeneratorDwellMs, dwell},
        {reg::GeneratorSpeed, speed_->value()},
        {reg::GeneratorRun, 1},
    };
    for (const auto& [address, value] : steps)
        if (!writeStep(address, value))
            return;
    window_.setCanClose(true);
    window_.showIdle();
}

void InternalTestZone::stop() {
    window_.showBusy();
    window_.setCanClose(false);
    stop_->hide();
    start_->show();
    if (!writeStep(reg::GeneratorRun, 0))
        return;
    window_.setCanClose(true);
    window_.showIdle();
}

} // namespace kiro
