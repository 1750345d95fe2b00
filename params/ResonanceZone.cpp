#include "ResonanceZone.h"

#include "EntryKeys.h"
#include "ParameterWindow.h"
#include "ParamsVariant.h"
#include "RangeRule.h"
#include "TextValue.h"
#include "link/AttemptLimits.h"
#include "link/RegisterMap.h"
#include "link/WriteKey.h"
#include "shell/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

namespace kiro {

namespace {
constexpr int kLabelLeft = 120;
constexpr int kBoxLeft = 720;
constexpr int kBoxWidth = 735;
constexpr int kBoxHeight = 225;
constexpr int kSliderLeft = 1440;
constexpr int kSliderHeight = 315;
constexpr int kRowTop[2] = {360, 720}; // amplitude, phase
constexpr int kLabelDrop = 30;         // labels sit a little lower than their boxes
constexpr int kThresholdTop = 120;

struct Range {
    int maximum;
    int tick;
};
// Points 1 and 2 reach far; point 3 works on a fine scale.
constexpr Range kWideAmplitude{13000, 350};
constexpr Range kWidePhase{1608, 160};
constexpr Range kFine{256, 32};

// The box arrays of the three zones: Text2, Text3, Text4; the sliders: Slider1 to Slider3.
QString boxName(int zone, int index) {
    return QStringLiteral("Text%1_%2").arg(zone + 1).arg(index);
}

// The thresholds of points 1 and 2 are limited; those of point 3 are not.
const RangeRule kThresholdRule = RangeRule::within(0, 5000);

QRect rectOf(int left, int top, int width, int height) {
    return QRect(twips::toPixels(left), twips::toPixels(top), twips::toPixels(width),
                 twips::toPixels(height));
}
} // namespace

ResonanceZone::ResonanceZone(ParameterWindow& window, int zone, QWidget* parent)
    : QGroupBox(QStringLiteral("共振点%1测试区").arg(zone), parent), window_(window), zone_(zone) {
    setObjectName(QStringLiteral("Frame1_%1").arg(zone == 1 ? 0 : zone));
    buildThresholds();
    buildSliderRow(Amplitude);
    buildSliderRow(Phase);
}

quint16 ResonanceZone::registerOf(Slider slider) const {
    const quint16 amplitude[] = {reg::Resonance1Amplitude, reg::Resonance2Amplitude,
                                 reg::Resonance3Amplitude};
    return quint16(amplitude[zone_ - 1] + (slider == Phase ? 1 : 0));
}

void ResonanceZone::buildSliderRow(Slider slider) {
    const int top = kRowTop[slider];
    const int index = slider == Amplitude ? 3 : 2;
    auto* box = new QLineEdit(this);
    box->setObjectName(boxName(zone_, index));
    box->setGeometry(rectOf(kBoxLeft, top, kBoxWidth, kBoxHeight));
    boxes_[index] = box;

    const QString caption =
        QStringLiteral("%1(%2):")
            .arg(slider == Amplitude ? QStringLiteral("幅值") : QStringLiteral("相位"))
            .arg(zone_);
    auto* label = new QLabel(caption, this);
    label->setGeometry(rectOf(kLabelLeft, top + kLabelDrop, kBoxLeft - kLabelLeft, kBoxHeight));
    label->setBuddy(box);

    auto* bar = new QSlider(Qt::Horizontal, this);
    bar->setObjectName(QStringLiteral("Slider%1_%2").arg(zone_).arg(int(slider)));
    bar->setAccessibleName(caption);
    const Range range = zone_ == 3 ? kFine : (slider == Amplitude ? kWideAmplitude : kWidePhase);
    bar->setRange(0, range.maximum);
    bar->setTickInterval(range.tick);
    bar->setPageStep(range.tick);
    bar->setTickPosition(QSlider::TicksBelow);
    // Only the value the slider settles on goes to the drive, not every place the thumb passes.
    bar->setTracking(false);
    const int width = window_.table().sliderWidthTwips[std::size_t(zone_ - 1)];
    bar->setGeometry(rectOf(kSliderLeft, top, width, kSliderHeight));
    sliders_[slider] = bar;

    connect(bar, &QSlider::valueChanged, this,
            [this, slider](int value) { userMovedSlider(slider, value); });
    keys_[slider] = new EntryKeys(box, [this, slider, box](const EntrySnapshot& committed) {
        window_.submit(WriteKey::of(registerOf(slider)),
                       [this, slider, committed] { commitBox(slider, committed); });
    });
}

void ResonanceZone::buildThresholds() {
    const struct {
        int index;
        const char* caption;
        int labelLeft;
        int boxLeft;
    } rows[] = {{1, "下限阀值:", 240, 1080}, {0, "上限阀值:", 3000, 3840}};
    for (const auto& row : rows) {
        auto* box = new QLineEdit(this);
        box->setObjectName(boxName(zone_, row.index));
        box->setGeometry(rectOf(row.boxLeft, kThresholdTop, kBoxWidth, kBoxHeight));
        auto* label = new QLabel(QString::fromUtf8(row.caption), this);
        label->setGeometry(
            rectOf(row.labelLeft, kThresholdTop, row.boxLeft - row.labelLeft, kBoxHeight));
        label->setBuddy(box);
        box->hide();
        label->hide();
        boxes_[row.index] = box;
        new EntryKeys(box, {});
        const int index = row.index;
        connect(box, &QLineEdit::textChanged, this, [this, index] { checkThreshold(index); });
    }
}

void ResonanceZone::checkThreshold(int index) {
    if (zone_ == 3)
        return;
    QLineEdit* box = boxes_[index];
    if (const auto replacement = kThresholdRule.replacementFor(LeadingNumber(box->text()))) {
        box->setText(*replacement);
        window_.tell(kThresholdRule.message);
    }
}

void ResonanceZone::showThreshold(Threshold threshold, quint16 value) {
    boxes_[threshold]->setText(DecimalText(value));
}

void ResonanceZone::showReadBack(Slider slider, quint16 value) {
    QSlider* bar = sliders_[slider];
    boxOf(slider)->setText(DecimalText(value));
    if (value > bar->maximum()) {
        // A value the slider cannot show: the box tells what the drive holds, and nothing is
        // written back over it.
        const QSignalBlocker quiet(bar);
        bar->setValue(bar->maximum());
        return;
    }
    moveSliderTo(slider, value);
}

void ResonanceZone::userMovedSlider(Slider slider, int value) {
    boxOf(slider)->setText(QString::number(value));
    if (!window_.accepting())
        return;
    // The user's last position is what the drive gets, even when a read-back moved the slider
    // while this waited.
    const EntrySnapshot shown = keys_[slider]->snapshot();
    window_.submit(WriteKey::of(registerOf(slider)), [this, slider, value, shown] {
        showOnSlider(slider, value, shown);
        writeSlider(slider, value);
    });
}

void ResonanceZone::commitBox(Slider slider, const EntrySnapshot& committed) {
    QSlider* bar = sliders_[slider];
    const double wanted = std::nearbyint(LeadingNumber(committed.text()));
    const int value = int(std::clamp(wanted, double(bar->minimum()), double(bar->maximum())));
    if (bar->value() == value) {
        // Nothing to write. A value beyond the slider's reach is shown as the slider holds it;
        // any other text stays as typed.
        committed.show(wanted == value ? committed.text() : QString::number(value));
        return;
    }
    showOnSlider(slider, value, committed);
    writeSlider(slider, value);
}

void ResonanceZone::moveSliderTo(Slider slider, int value) {
    if (sliders_[slider]->value() == value)
        return;
    showOnSlider(slider, value, keys_[slider]->snapshot());
    writeSlider(slider, value);
}

void ResonanceZone::showOnSlider(Slider slider, int value, const EntrySnapshot& box) {
    {
        const QSignalBlocker quiet(sliders_[slider]);
        sliders_[slider]->setValue(value);
    }
    box.show(QString::number(value));
}

void ResonanceZone::writeSlider(Slider slider, int value) {
    if (!window_.drive().write(registerOf(slider), float(value), attempts::kSliderWrite,
                               ParamsTransactions::Settle::NoWait))
        window_.giveUpFromSlider();
}

} // namespace kiro
