#include "ConfigurationZone.h"

#include "DriveParams.h"
#include "EntryKeys.h"
#include "InputConfigurationBits.h"
#include "ParameterWindow.h"
#include "ParamsVariant.h"
#include "TextValue.h"
#include "link/AttemptLimits.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/WriteKey.h"
#include "shell/FocusMoves.h"
#include "shell/ShellState.h"
#include "shell/Twips.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <cmath>

namespace kiro {

namespace {
const QString kCaption = QStringLiteral("驱动器配置区");
const QString kFilterOn = QStringLiteral("有效滤波使能");
const QString kFilterOff = QStringLiteral("无效滤波使能");
constexpr int kRowHeightTwips = 285;
constexpr int kGroupHeightTwips = 735;
constexpr int kMarginTwips = 120;
constexpr int kButtonInsetTwips = 60;
constexpr int kButtonTopTwips = 300;

// Frame2(index): caption, the register-255 bit its two buttons clear and set, the captions of
// Option1(2 * index) and Option1(2 * index + 1), and which one the window starts with.
struct GroupText {
    QString caption;
    quint16 mask;
    QString clear;
    QString set;
    bool startsSet;
};
const GroupText kGroups[3] = {
    {QStringLiteral("输入脉冲有效"), reg::InputEdgeFalling, QStringLiteral("上升沿"),
     QStringLiteral("下降沿"), true},
    {QStringLiteral("脉冲输入模式"), reg::InputModeCwCcw, QStringLiteral("PUL/DIR"),
     QStringLiteral("CW/CCW"), true},
    {QStringLiteral("有效正方向电平"), reg::InputDirectionHigh, QStringLiteral("低电平"),
     QStringLiteral("高电平"), false},
};
// The order in which the read-back sets the groups: edge, mode, level.
constexpr int kReadBackGroupOrder[3] = {0, 1, 2};

QRect rectOf(QPoint twips, int widthTwips, int heightTwips) {
    return QRect(twips::toPixels(twips), twips::toPixels(QSize(widthTwips, heightTwips)));
}

const ParamsVariant::Entry& entryAt(const ParamsVariant& table, int index) {
    for (const ParamsVariant::Entry& entry : table.entries)
        if (entry.index == index)
            return entry;
    return table.entries.first();
}
} // namespace

ConfigurationZone::ConfigurationZone(ParameterWindow& window, QWidget* parent)
    : QGroupBox(kCaption, parent), window_(window) {
    setObjectName(QStringLiteral("Frame1_1"));
    buildEntries();
    buildOptionGroups();
    buildFilterBox();
}

void ConfigurationZone::buildEntries() {
    for (const ParamsVariant::Entry& entry : window_.table().entries) {
        auto* box = new QLineEdit(entry.designText, this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(entry.index));
        box->setGeometry(rectOf(entry.boxTwips, entry.boxWidthTwips, kRowHeightTwips));
        auto* label = new QLabel(entry.label, this);
        label->setGeometry(
            rectOf(entry.labelTwips, entry.boxTwips.x() - entry.labelTwips.x(), kRowHeightTwips));
        label->setBuddy(box);
        entries_[entry.index] = box;
        const int index = entry.index;
        new EntryKeys(box, [this, index, box](const EntrySnapshot& committed) {
            window_.submit(WriteKey::of(entryAt(window_.table(), index).reg),
                           [this, index, committed] { commitEntry(index, committed); });
        });
    }
}

void ConfigurationZone::buildOptionGroups() {
    for (const ParamsVariant::OptionGroup& optionGroup : window_.table().optionGroups) {
        const GroupText& text = kGroups[optionGroup.index];
        auto* group = new QGroupBox(text.caption, this);
        group->setObjectName(QStringLiteral("Frame2_%1").arg(optionGroup.index));
        group->setStyleSheet(QStringLiteral("QGroupBox { color: blue; }"));
        group->setGeometry(rectOf(optionGroup.twips, optionGroup.widthTwips, kGroupHeightTwips));
        const int half = optionGroup.widthTwips / 2;
        for (int side = 0; side < 2; ++side) {
            const int option = 2 * optionGroup.index + side;
            auto* button = new QRadioButton(side == 0 ? text.clear : text.set, group);
            button->setObjectName(QStringLiteral("Option1_%1").arg(option));
            button->setGeometry(rectOf(QPoint(kButtonInsetTwips + side * half, kButtonTopTwips),
                                       half - kButtonInsetTwips, kRowHeightTwips));
            button->setChecked(side == (text.startsSet ? 1 : 0));
            button->installEventFilter(this);
            options_[option] = button;
        }
        group->setEnabled(optionGroup.enabled);
    }
}

void ConfigurationZone::buildFilterBox() {
    const std::optional<QPoint> place = window_.table().filterBoxTwips;
    if (!place)
        return;
    filter_ = new QCheckBox(kFilterOff, this);
    filter_->setObjectName(QStringLiteral("Check2"));
    const int width = window_.table().frameWidthTwips - place->x() - kMarginTwips;
    filter_->setGeometry(rectOf(*place, width, kRowHeightTwips));
    filter_->setTristate(true);
    filter_->setCheckState(Qt::PartiallyChecked);
    connect(filter_, &QCheckBox::stateChanged, this,
            [this](int state) { filterClicked(Qt::CheckState(state)); });
}

bool ConfigurationZone::eventFilter(QObject* watched, QEvent* event) {
    // Only the user's own move to a button chooses it: the focus that comes back to it when the
    // window is activated again (its frame clicked, a message box or another program left) does
    // not.
    if (event->type() == QEvent::FocusIn && IsUserFocusMove(*static_cast<QFocusEvent*>(event))) {
        for (int option = 0; option < 6; ++option) {
            if (watched == options_[option]) {
                window_.submit(WriteKey::ofBits(reg::InputConfiguration, kGroups[option / 2].mask),
                               [this, option] { writeInputBit(option); });
            }
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void ConfigurationZone::showReadBack(int index, quint16 value) {
    if (QLineEdit* box = entries_.value(index))
        box->setText(keepReadBack(entryAt(window_.table(), index), value));
}

QString ConfigurationZone::keepReadBack(const ParamsVariant::Entry& entry, quint16 value) {
    if (entry.amps) {
        const float amps = window_.state().link().FromQ10(value);
        window_.params()[entry.slot] = amps;
        return QString::number(amps, 'f', 2);
    }
    window_.params()[entry.slot] = value;
    return DecimalText(value);
}

void ConfigurationZone::commitEntry(int index, const EntrySnapshot& committed) {
    const ParamsVariant::Entry& entry = entryAt(window_.table(), index);
    // The entry shows what is committed, unless the user has typed on since the commit.
    QString text = committed.text();
    const std::optional<QString> replacement = entry.rule.replacementFor(LeadingNumber(text));
    if (replacement)
        text = *replacement;
    committed.show(text);
    if (replacement)
        window_.tell(entry.rule.message, window_.noticeTitle());
    const double value = LeadingNumber(text);
    float sent = float(value);
    if (entry.amps) {
        sent = window_.state().link().ToQ10(float(value));
    } else {
        window_.params()[entry.slot] = float(value);
    }
    if (!window_.drive().write(entry.reg, sent, attempts::kToolWindow,
                               ParamsTransactions::Settle::Wait)) {
        window_.giveUp();
        return;
    }
    if (!entry.readsBack)
        return;
    const std::optional<quint16> back = window_.drive().read(entry.reg);
    if (!back) {
        window_.giveUp();
        return;
    }
    committed.show(keepReadBack(entry, *back));
}

void ConfigurationZone::showInputConfiguration() {
    const long bits = std::lround(window_.params()[window_.table().inputConfigurationSlot]);
    for (const int group : kReadBackGroupOrder) {
        const bool set = (bits & kGroups[group].mask) != 0;
        options_[2 * group + (set ? 1 : 0)]->setChecked(true);
    }
}

void ConfigurationZone::writeInputBit(int option) {
    const int group = option / 2;
    const bool set = option % 2 == 1;
    options_[option]->setChecked(true);
    window_.showBusy();
    window_.setCanClose(false);
    float& slot = window_.params()[window_.table().inputConfigurationSlot];
    const quint16 bits = WithInputBit(quint16(std::lround(slot)), kGroups[group].mask, set);
    slot = float(bits);
    if (!window_.drive().write(reg::InputConfiguration, float(bits), attempts::kToolWindow,
                               ParamsTransactions::Settle::Wait)) {
        window_.giveUp();
        return;
    }
    window_.showIdle();
    window_.setCanClose(true);
}

void ConfigurationZone::showFilter(quint16 value) {
    const bool enabled = (value & 1) != 0;
    const Qt::CheckState state = enabled ? Qt::Checked : Qt::Unchecked;
    // The change of the box raises its click handler, which must know it came from here.
    SkipFilterClick = filter_->checkState() != state;
    filter_->setCheckState(state);
    filter_->setTristate(false);
    filter_->setText(enabled ? kFilterOn : kFilterOff);
}

void ConfigurationZone::filterClicked(Qt::CheckState state) {
    if (SkipFilterClick) {
        SkipFilterClick = false;
        return;
    }
    if (state == Qt::PartiallyChecked)
        return; // only the window's own design state is greyed
    const bool enabled = state == Qt::Checked;
    filter_->setText(enabled ? kFilterOn : kFilterOff);
    window_.submit(WriteKey::of(reg::PulseFilterEnable), [this, enabled] { writeFilter(enabled); });
}

void ConfigurationZone::writeFilter(bool enabled) {
    {
        const QSignalBlocker quiet(filter_);
        filter_->setTristate(false);
        filter_->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    }
    filter_->setText(enabled ? kFilterOn : kFilterOff);
    if (!window_.drive().write(reg::PulseFilterEnable, enabled ? 1 : 0, attempts::kToolWindow,
                               ParamsTransactions::Settle::NoWait))
        window_.giveUp();
}

} // namespace kiro
