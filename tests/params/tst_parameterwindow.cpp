// The parameter settings window as a user and the drive meet it: what it reads when it opens,
// what each entry, option, slider and button writes, the limits and their messages, the closing
// rules, and input that arrives while the window is talking to the drive.

#include "ParamsRig.h"
#include "link/RegisterMap.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>

using kiro::sim::FaultInjection;
using kiro::sim::Misbehaviour;
using kiro::test::ParamsRig;

namespace {
const QString kX7LinkText = QStringLiteral("请检查连接后重新开启软件！");
const QString kX7LinkTitle = QStringLiteral("通讯故障！");
const QString kQzLinkText = QStringLiteral(
    "Communication Error. Please check the RS232 cable connection and restart Kirotune.");
const QString kQzLinkTitle = QStringLiteral("Communication Error");
const QString kGeneratorRunning = QStringLiteral("没有关闭波形发生器!");

QString linkTextOf(const QString& variant) {
    return variant == QLatin1String("x7") ? kX7LinkText : kQzLinkText;
}
QString linkTitleOf(const QString& variant) {
    return variant == QLatin1String("x7") ? kX7LinkTitle : kQzLinkTitle;
}
QString noticeTitleOf(const QString& variant) {
    return variant == QLatin1String("x7") ? QStringLiteral("提示！") : QStringLiteral("Prompt！");
}

// The requests of the opening with the simulated drive's power-on values: every slider that
// moves from 0 writes its value back.
const QStringList kX7Opening{"r31",     "r32",  "r153", "r78",    "r64",      "w64=2600", "r65",
                             "w65=800", "r66",  "r67",  "r68",    "w68=1800", "r69",      "w69=640",
                             "r70",     "r71",  "r72",  "w72=64", "r73",      "w73=128",  "r74",
                             "r75",     "r255", "r22",  "r24",    "r21"};
const QStringList kQzOpening{
    "r31",      "r32", "r153",    "r78", "r79",    "r64", "w64=2600", "r65",  "w65=800", "r68",
    "w68=1800", "r69", "w69=640", "r72", "w72=64", "r73", "w73=128",  "r255", "r80"};

QStringList checkedOptions(const ParamsRig& rig) {
    QStringList checked;
    for (int option = 0; option < 6; ++option) {
        auto* button = rig.widget<QRadioButton>(QStringLiteral("Option1_%1").arg(option));
        if (button && button->isChecked())
            checked << button->text();
    }
    return checked;
}
} // namespace

class ParameterWindowTest : public QObject {
    Q_OBJECT
private slots:
    void openingReadsTheDrive_data();
    void openingReadsTheDrive();
    void everyControlIsNamedByItsLabel_data();
    void everyControlIsNamedByItsLabel();
    void readBackShowsValues_data();
    void readBackShowsValues();
    void readFailureDisablesTheWindow_data();
    void readFailureDisablesTheWindow();

    void entryRangeRules_data();
    void entryRangeRules();
    void enterWritesAndLeavingWritesAgain();
    void commitFailureDisablesTheWindow();
    void vanishedPortIsNotAskedAgain();
    void optionFocusWritesItsBit();
    void filterBoxWritesOnClick_data();
    void filterBoxWritesOnClick();
    void keysOtherThanDigitsAreDropped_data();
    void keysOtherThanDigitsAreDropped();

    void slidersAndValueBoxes_data();
    void slidersAndValueBoxes();
    void draggingWritesOnlyWhereTheSliderSettles();
    void sliderWriteFailure();
    void thresholdRule();

    void generatorStartAndStop_data();
    void generatorStartAndStop();
    void generatorSpeedSlider();
    void strokeRange();
    void startRefusesValuesThatCannotBeSent_data();
    void startRefusesValuesThatCannotBeSent();
    void startFailure();
    void jogEntries();

    void closingWithTheGeneratorRunning();
    void closingDuringWorkWaitsForIt_data();
    void closingDuringWorkWaitsForIt();
    void reopeningReadsAgain();

    void inputDuringASlowReadBack_data();
    void inputDuringASlowReadBack();
    void theLastActionOnARegisterWinsWhicheverControl_data();
    void theLastActionOnARegisterWinsWhicheverControl();
    void inputDuringASlowStart();
    void inputWhileAnotherWindowTalks();
    void typingAfterACommitIsKept_data();
    void typingAfterACommitIsKept();

    void openingInTheActiveWindowWritesNothing_data();
    void openingInTheActiveWindowWritesNothing();
    void screenshots_data();
    void screenshots();
};

void ParameterWindowTest::openingReadsTheDrive_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QPoint>("placeTwips");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QRect>("testZoneTwips");
    QTest::addColumn<QPoint>("peakCurrentTwips");
    QTest::newRow("qztune-x7") << "x7" << kX7Opening << QPoint(0, 0)
                               << QStringList{"Text1_9", "Text1_8", "Text1_5", "Text1_0", "Text2_3",
                                              "Text2_2", "Text2_1", "Text2_0", "Text3_3", "Text3_2",
                                              "Text3_1", "Text3_0", "Text4_3", "Text4_2", "Text4_1",
                                              "Text4_0", "Text4_5", "Text4_4", "Text4_6"}
                               << QStringList{"3.00", "300",  "1500", "50",  "2600", "800", "100",
                                              "400",  "1800", "640",  "400", "900",  "64",  "128",
                                              "900",  "1500", "600",  "60",  "100"}
                               << QRect(120, 5400, 6255, 855) << QPoint(1080, 360);
    QTest::newRow("QZ318") << "qz318" << kQzOpening << QPoint(3500, 500)
                           << QStringList{"Text1_9", "Text1_8", "Text1_5", "Text1_0", "Text1_1",
                                          "Text2_3", "Text2_2", "Text3_3", "Text3_2", "Text4_3",
                                          "Text4_2", "Text4_4", "Text4_5", "Text4_6"}
                           << QStringList{"3.00", "1600", "1500", "50",  "1000", "2600", "800",
                                          "1800", "640",  "64",   "128", "10",   "5",    "50"}
                           << QRect(120, 6240, 7695, 1695) << QPoint(1560, 360);
}

void ParameterWindowTest::openingReadsTheDrive() {
    QFETCH(QString, variant);
    QFETCH(QStringList, requests);
    QFETCH(QPoint, placeTwips);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, texts);
    QFETCH(QRect, testZoneTwips);
    QFETCH(QPoint, peakCurrentTwips);
    ParamsRig rig(variant);

    bool busyMeanwhile = false;
    bool closableMeanwhile = true;
    bool shownMeanwhile = true;
    rig.clock.onEvents = [&] {
        if (rig.drive.requests().size() == 3) {
            busyMeanwhile = rig.lampBusy();
            if (auto* form = rig.form())
                closableMeanwhile = form->CanClose(), shownMeanwhile = form->isVisible();
            QVERIFY(rig.state.ToolWindowOpen);
            QVERIFY(rig.state.WindowOpenFlags(3));
        }
    };
    const qint64 openedAt = rig.clock.now;
    kiro::ParameterWindow* form = rig.launch();
    QVERIFY(form);
    QCOMPARE(rig.traffic(), requests);
    QVERIFY(rig.prompts.prompts.isEmpty());
    // Every read waits T, the wait after the reply and the settle wait T (32 + 30 + 32 ms at
    // 38400 baud); a slider's write-back has no settle wait.
    const auto writes = rig.traffic().filter(QStringLiteral("w")).size();
    QVERIFY(rig.clock.now - openedAt >= (requests.size() - writes) * 94 + writes * 62);
    QVERIFY(busyMeanwhile);
    QVERIFY(!closableMeanwhile);
    QVERIFY(!shownMeanwhile);

    QCOMPARE(form->windowTitle(), QStringLiteral("参数设定"));
    QVERIFY(rig.frame()->isVisible());
    QCOMPARE(rig.frame()->pos(), kiro::twips::toPixels(placeTwips));
    QCOMPARE(rig.widget("Frame1_4")->geometry(),
             QRect(kiro::twips::toPixels(testZoneTwips.topLeft()),
                   kiro::twips::toPixels(testZoneTwips.size())));
    QCOMPARE(rig.widget("Text1_9")->pos(), kiro::twips::toPixels(peakCurrentTwips));
    QVERIFY(form->isEnabled());
    QVERIFY(form->CanClose());
    QVERIFY(!rig.lampBusy());
    QVERIFY(rig.state.ToolWindowOpen);
    QVERIFY(rig.state.WindowOpenFlags(3));
    for (int index = 0; index < boxes.size(); ++index)
        QVERIFY2(rig.text(boxes[index]) == texts[index], qPrintable(boxes[index]));
    // The power-on input configuration 0: PUL/DIR, rising edge, low level forward.
    QCOMPARE(checkedOptions(rig), (QStringList{"上升沿", "PUL/DIR", "低电平"}));
    QCOMPARE(rig.widget<QSlider>("Slider1_0")->value(), 2600);
    QCOMPARE(rig.widget<QSlider>("Slider3_1")->value(), 128);
    for (const char* hidden : {"Text2_0", "Text2_1", "Text3_0", "Text3_1", "Text4_0", "Text4_1"})
        QVERIFY(rig.widget(QLatin1String(hidden))->isHidden());

    const bool qz318 = variant == QLatin1String("qz318");
    QCOMPARE(bool(rig.widget("Check2")), qz318);
    QCOMPARE(bool(rig.widget("Slider4")), qz318);
    QCOMPARE(bool(rig.widget("Command4_0")), qz318);
    if (qz318) {
        auto* filter = rig.widget<QCheckBox>("Check2");
        QCOMPARE(filter->checkState(), Qt::Checked);
        QCOMPARE(filter->text(), QStringLiteral("有效滤波使能"));
        QVERIFY(!rig.widget("Frame2_1")->isEnabled());
        auto* start = rig.widget<QPushButton>("Command4_0");
        QVERIFY(start->isEnabled() && !start->isHidden());
        QVERIFY(rig.widget("Command4_1")->isHidden());
        QCOMPARE(form->focusWidget(), start);
        QCOMPARE(rig.widget<QLabel>("Label2")->text(), QStringLiteral("10"));
    }
}

void ParameterWindowTest::everyControlIsNamedByItsLabel_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("entry");
    QTest::newRow("x7 peak") << "x7"
                             << "PeakCur(A):"
                             << "Text1_9";
    QTest::newRow("x7 speed") << "x7"
                              << "速度(rpm)："
                              << "Text1_8";
    QTest::newRow("x7 acceleration") << "x7"
                                     << "Acceleration(m/s/s)      "
                                     << "Text4_6";
    QTest::newRow("QZ318 pulses") << "qz318"
                                  << "细分数:"
                                  << "Text1_8";
    QTest::newRow("QZ318 idle time") << "qz318"
                                     << "空闲时间(ms):"
                                     << "Text1_1";
    QTest::newRow("QZ318 amplitude 2") << "qz318"
                                       << "幅值(2):"
                                       << "Text3_3";
    QTest::newRow("QZ318 stroke") << "qz318"
                                  << "行程(r):"
                                  << "Text4_4";
}

// A screen reader, and a test from outside, find an entry by the label beside it.
void ParameterWindowTest::everyControlIsNamedByItsLabel() {
    QFETCH(QString, variant);
    QFETCH(QString, label);
    QFETCH(QString, entry);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    QWidget* buddy = nullptr;
    for (QLabel* candidate : rig.form()->findChildren<QLabel*>())
        if (candidate->text() == label)
            buddy = candidate->buddy();
    QVERIFY(buddy);
    QCOMPARE(buddy->objectName(), entry);

    for (QLineEdit* box : rig.form()->findChildren<QLineEdit*>()) {
        bool labelled = false;
        for (QLabel* candidate : rig.form()->findChildren<QLabel*>())
            labelled = labelled || candidate->buddy() == box;
        QVERIFY2(labelled, qPrintable(box->objectName()));
    }
    for (QSlider* slider : rig.form()->findChildren<QSlider*>())
        QVERIFY2(!slider->accessibleName().isEmpty(), qPrintable(slider->objectName()));
    for (QGroupBox* group : rig.form()->findChildren<QGroupBox*>())
        QVERIFY2(!group->title().isEmpty(), qPrintable(group->objectName()));
}

void ParameterWindowTest::readBackShowsValues_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("writesBack");

    const QStringList start{"上升沿", "PUL/DIR", "低电平"};
    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s 1024 is one ampere", variant) << variant << 31 << 1024 << "Text1_9"
                                                        << "1.00" << start << false;
        QTest::addRow("%s 512", variant) << variant << 31 << 512 << "Text1_9"
                                         << "0.50" << start << false;
        QTest::addRow("%s 1000 rounds", variant) << variant << 31 << 1000 << "Text1_9"
                                                 << "0.98" << start << false;
        QTest::addRow("%s input configuration 6", variant)
            << variant << 255 << 6 << "Text1_9"
            << "3.00" << QStringList{"下降沿", "PUL/DIR", "高电平"} << false;
        QTest::addRow("%s input configuration 1", variant)
            << variant << 255 << 1 << "Text1_9"
            << "3.00" << QStringList{"上升沿", "CW/CCW", "低电平"} << false;
        QTest::addRow("%s bits above bit 2 change no button", variant)
            << variant << 255 << 0xFFF8 << "Text1_9"
            << "3.00" << start << false;
        // A slider already where the drive's value puts it writes nothing.
        QTest::addRow("%s slider at its position", variant) << variant << 64 << 0 << "Text2_3"
                                                            << "0" << start << false;
        QTest::addRow("%s slider moves", variant) << variant << 64 << 5000 << "Text2_3"
                                                  << "5000" << start << true;
        // Beyond the slider's reach: the box shows the drive's value, and it stays in the drive.
        QTest::addRow("%s beyond the slider", variant) << variant << 64 << 14000 << "Text2_3"
                                                       << "14000" << start << false;
        QTest::addRow("%s beyond zone 3", variant) << variant << 73 << 300 << "Text4_2"
                                                   << "300" << start << false;
    }
}

void ParameterWindowTest::readBackShowsValues() {
    QFETCH(QString, variant);
    QFETCH(int, address);
    QFETCH(int, value);
    QFETCH(QString, box);
    QFETCH(QString, shown);
    QFETCH(QStringList, options);
    QFETCH(bool, writesBack);
    ParamsRig rig(variant);
    rig.drive.setReg(address, quint16(value));

    QVERIFY(rig.open());
    QCOMPARE(rig.text(box), shown);
    QCOMPARE(checkedOptions(rig), options);
    QCOMPARE(rig.traffic().contains(QStringLiteral("w%1=%2").arg(address).arg(value)), writesBack);
    QCOMPARE(rig.drive.reg(address), quint16(value));
    QVERIFY(rig.prompts.prompts.isEmpty());
    if (address == 64 || address == 73) {
        auto* slider = rig.widget<QSlider>(address == 64 ? "Slider1_0" : "Slider3_1");
        QCOMPARE(slider->value(), std::min(value, slider->maximum()));
        QVERIFY(!rig.traffic().join(' ').contains(QStringLiteral("w%1=").arg(address)) ||
                writesBack);
    }
}

void ParameterWindowTest::readFailureDisablesTheWindow_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("answered"); // requests answered before the drive falls silent
    QTest::addColumn<QString>("failing");
    QTest::newRow("qztune-x7 first") << "x7" << 0 << "r31";
    QTest::newRow("qztune-x7 last") << "x7" << int(kX7Opening.size() - 1) << "r21";
    QTest::newRow("QZ318 first") << "qz318" << 0 << "r31";
    QTest::newRow("QZ318 filter, the last") << "qz318" << int(kQzOpening.size() - 1) << "r80";
}

void ParameterWindowTest::readFailureDisablesTheWindow() {
    QFETCH(QString, variant);
    QFETCH(int, answered);
    QFETCH(QString, failing);
    ParamsRig rig(variant);
    auto silence = [&] {
        if (rig.drive.requests().size() >= answered)
            rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
    };
    silence();
    rig.clock.onEvents = silence;

    kiro::ParameterWindow* form = rig.open();
    QVERIFY(form);
    const QStringList requests = rig.traffic();
    QCOMPARE(requests.mid(answered), QStringList(12, failing));
    QCOMPARE(rig.prompts.texts(), QStringList{linkTextOf(variant)});
    QCOMPARE(rig.prompts.titles(), QStringList{linkTitleOf(variant)});
    QVERIFY(rig.frame()->isVisible());
    QVERIFY(!form->isEnabled());
    QVERIFY(form->CanClose());
    // qztune-x7 shows its idle lamp again; QZ318 keeps saying "Communicating...".
    QCOMPARE(rig.lampBusy(), variant == QLatin1String("qz318"));
    if (answered == 0) {
        QCOMPARE(rig.text("Text1_9"), QStringLiteral("3"));
        QCOMPARE(rig.text("Text1_8"), QStringLiteral("8"));
        QCOMPARE(rig.text("Text1_5"), QStringLiteral("2000"));
        QCOMPARE(rig.text("Text1_0"), QStringLiteral("50"));
        QCOMPARE(checkedOptions(rig), (QStringList{"下降沿", "CW/CCW", "低电平"}));
    } else {
        QCOMPARE(rig.text("Text1_9"), QStringLiteral("3.00"));
    }
    if (auto* start = rig.widget("Command4_0"))
        QVERIFY(!start->isEnabled());
    if (auto* filter = rig.widget<QCheckBox>("Check2"))
        QCOMPARE(filter->checkState(), Qt::PartiallyChecked);

    // A disabled window still closes, and clears its flags.
    QVERIFY(rig.frame()->close());
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(3));
}

void ParameterWindowTest::entryRangeRules_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: the value passes
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("shown");

    const char* x7Peak = "请输入合理的峰值电流(0～7.0A)！";
    QTest::newRow("x7 peak above") << "x7"
                                   << "Text1_9"
                                   << "9" << x7Peak << QStringList{"w31=7168", "r31"} << "7.00";
    QTest::newRow("x7 peak exactly 7") << "x7"
                                       << "Text1_9"
                                       << "7" << x7Peak << QStringList{"w31=7168", "r31"} << "7.00";
    QTest::newRow("x7 peak 0") << "x7"
                               << "Text1_9"
                               << "0" << x7Peak << QStringList{"w31=0", "r31"} << "0.00";
    QTest::newRow("x7 peak 2.3") << "x7"
                                 << "Text1_9"
                                 << "2.3"
                                 << "" << QStringList{"w31=2355", "r31"} << "2.30";
    QTest::newRow("x7 idle empty")
        << "x7"
        << "Text1_0"
        << ""
        << "请输入合理的待机电流(1～100)！" << QStringList{"w78=1", "r78"} << "1";
    QTest::newRow("x7 idle above")
        << "x7"
        << "Text1_0"
        << "101"
        << "请输入合理的待机电流(1～100)！" << QStringList{"w78=100", "r78"} << "100";
    QTest::newRow("x7 speed at its limit") << "x7"
                                           << "Text1_8"
                                           << "1500"
                                           << "" << QStringList{"w32=1500", "r32"} << "1500";
    QTest::newRow("x7 speed above")
        << "x7"
        << "Text1_8"
        << "1500.5"
        << "请输入合理的速度值(1～1500)！" << QStringList{"w32=1500", "r32"} << "1500";
    QTest::newRow("x7 speed below")
        << "x7"
        << "Text1_8"
        << "0.9"
        << "请输入合理的速度值(1～1500)！" << QStringList{"w32=1", "r32"} << "1";
    QTest::newRow("x7 suppression 0")
        << "x7"
        << "Text1_5"
        << "0"
        << "请输入合理的抑制系数(0～6000)！" << QStringList{"w153=0", "r153"} << "0";
    QTest::newRow("x7 suppression above")
        << "x7"
        << "Text1_5"
        << "6001"
        << "请输入合理的抑制系数(0～6000)！" << QStringList{"w153=6000", "r153"} << "6000";
    QTest::newRow("x7 text after the number") << "x7"
                                              << "Text1_5"
                                              << "12.5.3"
                                              << "" << QStringList{"w153=12", "r153"} << "12";
    QTest::newRow("QZ318 peak above")
        << "qz318"
        << "Text1_9"
        << "6"
        << "请输入合理的峰值电流(0～5.6A)！" << QStringList{"w31=5734", "r31"} << "5.60";
    QTest::newRow("QZ318 peak at its limit") << "qz318"
                                             << "Text1_9"
                                             << "5.6"
                                             << "" << QStringList{"w31=5734", "r31"} << "5.60";
    QTest::newRow("QZ318 idle empty") << "qz318"
                                      << "Text1_0"
                                      << ""
                                      << "" << QStringList{"w78=0", "r78"} << "0";
    QTest::newRow("QZ318 idle time 0")
        << "qz318"
        << "Text1_1"
        << "0"
        << "请输入合理的待机时间(1～10000)！" << QStringList{"w79=1", "r79"} << "1";
    QTest::newRow("QZ318 idle time above")
        << "qz318"
        << "Text1_1"
        << "10001"
        << "请输入合理的待机时间(1～10000)！" << QStringList{"w79=10000", "r79"} << "10000";
    // The pulse count is written but not read back.
    QTest::newRow("QZ318 pulses above")
        << "qz318"
        << "Text1_8"
        << "70000"
        << "请输入合理的脉冲数/转(1～60000)！" << QStringList{"w32=60000"} << "60000";
    QTest::newRow("QZ318 pulses") << "qz318"
                                  << "Text1_8"
                                  << "12800"
                                  << "" << QStringList{"w32=12800"} << "12800";
}

void ParameterWindowTest::entryRangeRules() {
    QFETCH(QString, variant);
    QFETCH(QString, entry);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QStringList, requests);
    QFETCH(QString, shown);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    rig.drive.clearRequests();

    rig.type(entry, typed);
    rig.leave(entry);
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), requests);
    QCOMPARE(rig.text(entry), shown);
    QCOMPARE(rig.prompts.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(rig.prompts.titles(), QStringList{noticeTitleOf(variant)});
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(!rig.lampBusy());
}

void ParameterWindowTest::enterWritesAndLeavingWritesAgain() {
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.type("Text1_9", "2.5");
    rig.pressEnter("Text1_9");
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), (QStringList{"w31=2560", "r31"}));
    QCOMPARE(rig.text("Text1_9"), QStringLiteral("2.50"));
    rig.leave("Text1_9");
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), (QStringList{"w31=2560", "r31", "w31=2560", "r31"}));
    // The peak current as the drive holds it, in amperes, is what the window keeps.
    QCOMPARE(rig.drive.reg(kiro::reg::PeakCurrent), quint16(2560));
}

void ParameterWindowTest::commitFailureDisablesTheWindow() {
    for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
        ParamsRig rig(variant);
        QVERIFY(rig.open());
        rig.drive.clearRequests();
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
        rig.type("Text1_5", "100");
        rig.pressEnter("Text1_5");
        QVERIFY(rig.settle());
        QCOMPARE(rig.traffic(), QStringList(12, QStringLiteral("w153=100")));
        QCOMPARE(rig.prompts.texts(), QStringList{linkTextOf(variant)});
        QCOMPARE(rig.prompts.titles(), QStringList{linkTitleOf(variant)});
        QVERIFY(!rig.form()->isEnabled());
        QCOMPARE(rig.text("Text1_5"), QStringLiteral("100"));
        // Nothing more reaches the drive from a disabled window, not even a late commit.
        rig.pressEnter("Text1_5");
        rig.widget<QSlider>("Slider1_0")->setValue(100);
        QVERIFY(rig.settle());
        QCOMPARE(rig.drive.requests().size(), 12);
    }
}

// An unplugged adapter: the link names the port's trouble once, the window gives up at once.
void ParameterWindowTest::vanishedPortIsNotAskedAgain() {
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.port.vanish();
    rig.widget<QSlider>("Slider2_1")->setValue(100);
    QVERIFY(rig.settle());
    QCOMPARE(rig.prompts.prompts.size(), 2);
    QCOMPARE(rig.prompts.texts().last(), kX7LinkText);
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(!rig.form()->isEnabled());
}

void ParameterWindowTest::optionFocusWritesItsBit() {
    for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
        ParamsRig rig(variant);
        rig.drive.setReg(kiro::reg::InputConfiguration, 5);
        QVERIFY(rig.open());
        rig.drive.clearRequests();
        bool busyMeanwhile = false;
        bool closableMeanwhile = true;
        rig.clock.onEvents = [&] {
            busyMeanwhile = rig.lampBusy();
            closableMeanwhile = rig.form()->CanClose();
        };
        rig.focus("Option1_1"); // 下降沿
        QVERIFY(rig.settle());
        QVERIFY(busyMeanwhile);
        QVERIFY(!closableMeanwhile);
        QVERIFY(!rig.lampBusy());
        QVERIFY(rig.form()->CanClose());
        rig.clock.onEvents = nullptr;
        // 上升沿, 低电平, and the same choice once more: written again.
        for (const char* option : {"Option1_0", "Option1_4", "Option1_4"}) {
            rig.focus(QLatin1String(option));
            QVERIFY(rig.settle());
        }
        QCOMPARE(rig.traffic(), (QStringList{"w255=7", "w255=5", "w255=1", "w255=1"}));
        QCOMPARE(checkedOptions(rig), (QStringList{"上升沿", "CW/CCW", "低电平"}));
        QVERIFY(rig.prompts.prompts.isEmpty());
    }
}

void ParameterWindowTest::filterBoxWritesOnClick_data() {
    QTest::addColumn<int>("register80");
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("caption");
    QTest::newRow("enabled, cleared by the click") << 1 << "w80=0"
                                                   << "无效滤波使能";
    QTest::newRow("disabled, ticked by the click") << 0 << "w80=1"
                                                   << "有效滤波使能";
}

void ParameterWindowTest::filterBoxWritesOnClick() {
    QFETCH(int, register80);
    QFETCH(QString, write);
    QFETCH(QString, caption);
    ParamsRig rig(QStringLiteral("qz318"));
    rig.drive.setReg(kiro::reg::PulseFilterEnable, quint16(register80));
    QVERIFY(rig.open());
    QVERIFY(!rig.traffic().join(' ').contains(QLatin1String("w80")));
    rig.drive.clearRequests();

    auto* filter = rig.widget<QCheckBox>("Check2");
    filter->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{write});
    QCOMPARE(filter->text(), caption);
    QCOMPARE(rig.drive.reg(kiro::reg::PulseFilterEnable), quint16(register80 ? 0 : 1));
    filter->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.drive.reg(kiro::reg::PulseFilterEnable), quint16(register80));
    QCOMPARE(rig.drive.requests().size(), 2);
}

void ParameterWindowTest::keysOtherThanDigitsAreDropped_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("entry");
    QTest::newRow("x7 peak current") << "x7"
                                     << "Text1_9";
    QTest::newRow("x7 amplitude box") << "x7"
                                      << "Text2_3";
    QTest::newRow("x7 jog high speed") << "x7"
                                       << "Text4_5";
    QTest::newRow("QZ318 stroke") << "qz318"
                                  << "Text4_4";
    QTest::newRow("QZ318 idle time") << "qz318"
                                     << "Text1_1";
}

void ParameterWindowTest::keysOtherThanDigitsAreDropped() {
    QFETCH(QString, variant);
    QFETCH(QString, entry);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    auto* box = rig.widget<QLineEdit>(entry);
    box->clear();
    QTest::keyClicks(box, QStringLiteral("1a-2 .x5"));
    QCOMPARE(box->text(), QStringLiteral("12.5"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("12."));
    QVERIFY(rig.settle());
    QVERIFY(rig.drive.requests().isEmpty());
}

void ParameterWindowTest::slidersAndValueBoxes_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("control"); // a slider, or a value box with the text typed
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("slider");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("requests");
    // A value the drive holds when the window opens: register (0: none) and value.
    QTest::addColumn<int>("presetRegister");
    QTest::addColumn<int>("presetValue");

    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s amplitude slider", variant)
            << variant << "Slider1_0"
            << "5000"
            << "Slider1_0" << 5000 << "Text2_3"
            << "5000" << QStringList{"w64=5000"} << 0 << 0;
        QTest::addRow("%s phase box with Enter", variant)
            << variant << "Text3_2"
            << "1200"
            << "Slider2_1" << 1200 << "Text3_2"
            << "1200" << QStringList{"w69=1200"} << 0 << 0;
        QTest::addRow("%s fraction rounds", variant) << variant << "Text2_3"
                                                     << "12.7"
                                                     << "Slider1_0" << 13 << "Text2_3"
                                                     << "13" << QStringList{"w64=13"} << 0 << 0;
        QTest::addRow("%s where the slider is", variant) << variant << "Text2_2"
                                                         << "800"
                                                         << "Slider1_1" << 800 << "Text2_2"
                                                         << "800" << QStringList{} << 0 << 0;
        QTest::addRow("%s zone 3 stops at 256", variant)
            << variant << "Text4_3"
            << "300"
            << "Slider3_0" << 256 << "Text4_3"
            << "256" << QStringList{"w72=256"} << 0 << 0;
        QTest::addRow("%s phase stops at 1608", variant)
            << variant << "Text2_2"
            << "2000"
            << "Slider1_1" << 1608 << "Text2_2"
            << "1608" << QStringList{"w65=1608"} << 0 << 0;
        QTest::addRow("%s empty box is 0", variant) << variant << "Text3_3"
                                                    << ""
                                                    << "Slider2_0" << 0 << "Text3_3"
                                                    << "0" << QStringList{"w68=0"} << 0 << 0;
        // Beyond the reach of a slider that stands at its end already: nothing is written, and
        // the box shows what the slider holds, not the typed text.
        QTest::addRow("%s zone 3 at 256 already", variant) << variant << "Text4_3"
                                                           << "300"
                                                           << "Slider3_0" << 256 << "Text4_3"
                                                           << "256" << QStringList{} << 72 << 256;
        QTest::addRow("%s phase at 1608 already", variant) << variant << "Text3_2"
                                                           << "99999"
                                                           << "Slider2_1" << 1608 << "Text3_2"
                                                           << "1608" << QStringList{} << 69 << 1608;
    }
}

void ParameterWindowTest::slidersAndValueBoxes() {
    QFETCH(QString, variant);
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, slider);
    QFETCH(int, position);
    QFETCH(QString, box);
    QFETCH(QString, shown);
    QFETCH(QStringList, requests);
    QFETCH(int, presetRegister);
    QFETCH(int, presetValue);
    ParamsRig rig(variant);
    if (presetRegister)
        rig.drive.setReg(quint16(presetRegister), quint16(presetValue));
    QVERIFY(rig.open());
    rig.drive.clearRequests();

    if (auto* bar = rig.widget<QSlider>(control)) {
        bar->setValue(typed.toInt());
    } else {
        rig.type(control, typed);
        rig.pressEnter(control);
        QVERIFY(rig.settle());
        rig.leave(control); // the slider does not move again: nothing more is written
    }
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), requests);
    QCOMPARE(rig.widget<QSlider>(slider)->value(), position);
    QCOMPARE(rig.text(box), shown);
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterWindowTest::draggingWritesOnlyWhereTheSliderSettles() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    auto* bar = rig.widget<QSlider>("Slider2_0");
    bar->setSliderDown(true);
    for (int position : {2000, 3000, 4000})
        bar->setSliderPosition(position);
    QVERIFY(rig.settle());
    QVERIFY(rig.drive.requests().isEmpty());
    bar->setSliderDown(false);
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{"w68=4000"});
    QCOMPARE(rig.text("Text3_3"), QStringLiteral("4000"));
}

void ParameterWindowTest::sliderWriteFailure() {
    for (const QString& variant : {QStringLiteral("x7"), QStringLiteral("qz318")}) {
        ParamsRig rig(variant);
        QVERIFY(rig.open());
        rig.drive.clearRequests();
        rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
        rig.widget<QSlider>("Slider1_0")->setValue(5000);
        QVERIFY(rig.settle());
        QCOMPARE(rig.traffic(), QStringList(5, QStringLiteral("w64=5000")));
        QCOMPARE(rig.prompts.texts(), QStringList{linkTextOf(variant)});
        QCOMPARE(rig.prompts.titles(), QStringList{linkTitleOf(variant)});
        QVERIFY(!rig.form()->isEnabled());
        QCOMPARE(rig.text("Text2_3"), QStringLiteral("5000"));
        QVERIFY(!rig.lampBusy());
        QVERIFY(rig.form()->CanClose());
    }
}

void ParameterWindowTest::thresholdRule() {
    ParamsRig rig(QStringLiteral("x7"));
    rig.drive.setReg(kiro::reg::Resonance1Lower, 6000);
    rig.drive.setReg(kiro::reg::Resonance3Upper, 6000); // point 3 has no limit
    QVERIFY(rig.open());
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～5000")});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()});
    QCOMPARE(rig.text("Text2_1"), QStringLiteral("5000"));
    QCOMPARE(rig.text("Text4_0"), QStringLiteral("6000"));
    QCOMPARE(rig.traffic(), kX7Opening);
    QCOMPARE(rig.drive.reg(kiro::reg::Resonance1Lower), quint16(6000));
    QVERIFY(rig.form()->isEnabled());
}

void ParameterWindowTest::generatorStartAndStop_data() {
    QTest::addColumn<QString>("stroke");
    QTest::addColumn<bool>("reciprocating");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("as designed") << "10" << true << true
                                 << QStringList{"w28=1",  "w26=1",  "w25=5", "w24=1000",
                                                "w27=50", "w22=10", "w9=1"};
    QTest::newRow("2.5 revolutions, one way, reverse")
        << "2.5" << false << false
        << QStringList{"w28=0", "w26=0", "w25=5", "w24=250", "w27=50", "w22=10", "w9=1"};
}

void ParameterWindowTest::generatorStartAndStop() {
    QFETCH(QString, stroke);
    QFETCH(bool, reciprocating);
    QFETCH(bool, forward);
    QFETCH(QStringList, requests);
    ParamsRig rig(QStringLiteral("qz318"));
    rig.drive.setReg(kiro::reg::GeneratorSpeed, 3000); // what an earlier run left
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.type("Text4_4", stroke);
    rig.widget<QCheckBox>("Check1_0")->setChecked(reciprocating);
    rig.widget<QCheckBox>("Check1_1")->setChecked(forward);
    QVERIFY(rig.drive.requests().isEmpty()); // the setup goes to the drive only with the start

    bool busyMeanwhile = false;
    bool closableMeanwhile = true;
    rig.clock.onEvents = [&] {
        busyMeanwhile = rig.lampBusy();
        closableMeanwhile = rig.form()->CanClose();
    };
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    rig.clock.onEvents = nullptr;
    QCOMPARE(rig.traffic(), requests);
    QVERIFY(busyMeanwhile);
    QVERIFY(!closableMeanwhile);
    QVERIFY(!rig.lampBusy());
    QVERIFY(rig.drive.generatorRunning());
    QVERIFY(rig.widget("Command4_0")->isHidden());
    QVERIFY(!rig.widget("Command4_1")->isHidden());

    rig.drive.clearRequests();
    rig.widget<QPushButton>("Command4_1")->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{"w9=0"});
    QVERIFY(!rig.drive.generatorRunning());
    QVERIFY(!rig.widget("Command4_0")->isHidden());
    QVERIFY(rig.widget("Command4_1")->isHidden());
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterWindowTest::generatorSpeedSlider() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    QString labelMeanwhile;
    rig.clock.onEvents = [&] { labelMeanwhile = rig.widget<QLabel>("Label2")->text(); };
    rig.widget<QSlider>("Slider4")->setValue(1500);
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{"w22=1500"});
    QCOMPARE(labelMeanwhile, QStringLiteral("10")); // shown once the drive has it
    QCOMPARE(rig.widget<QLabel>("Label2")->text(), QStringLiteral("1500"));

    rig.clock.onEvents = nullptr;
    rig.drive.clearRequests();
    rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
    rig.widget<QSlider>("Slider4")->setValue(2000);
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList(5, QStringLiteral("w22=2000")));
    QCOMPARE(rig.widget<QLabel>("Label2")->text(), QStringLiteral("1500"));
    QCOMPARE(rig.prompts.texts(), QStringList{kQzLinkText});
    QVERIFY(!rig.form()->isEnabled());
}

void ParameterWindowTest::strokeRange() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.type("Text4_4", "700");
    QCOMPARE(rig.text("Text4_4"), QStringLiteral("655"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～655")});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()});
    rig.prompts.clear();
    rig.type("Text4_4", "-3"); // pasted: the keys alone cannot make it
    QCOMPARE(rig.text("Text4_4"), QStringLiteral("0"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～655")});
    rig.prompts.clear();
    rig.type("Text4_5", "99999"); // repeat count and dwell time are not checked as they change
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterWindowTest::startRefusesValuesThatCannotBeSent_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("typed");
    QTest::newRow("count above a register") << "Text4_5"
                                            << "70000";
    QTest::newRow("dwell just above") << "Text4_6"
                                      << "65535.6";
    QTest::newRow("count pasted negative") << "Text4_5"
                                           << "-1";
}

void ParameterWindowTest::startRefusesValuesThatCannotBeSent() {
    QFETCH(QString, entry);
    QFETCH(QString, typed);
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.type(entry, typed);
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～65535")});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()});
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(!rig.lampBusy());
    QVERIFY(!rig.widget("Command4_0")->isHidden());
    QVERIFY(rig.widget("Command4_1")->isHidden());

    // The largest value that fits goes through.
    rig.prompts.clear();
    rig.type(entry, QStringLiteral("65535"));
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.drive.generatorRunning());
}

void ParameterWindowTest::startFailure() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList(12, QStringLiteral("w28=1")));
    QCOMPARE(rig.prompts.texts(), QStringList{kQzLinkText});
    QCOMPARE(rig.prompts.titles(), QStringList{kQzLinkTitle});
    QVERIFY(!rig.form()->isEnabled());
    QVERIFY(rig.form()->CanClose());
    QVERIFY(rig.lampBusy()); // QZ318 leaves "Communicating..." standing
    QVERIFY(!rig.widget("Command4_1")->isHidden());
}

void ParameterWindowTest::jogEntries() {
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();

    rig.type("Text4_5", "3500");
    QCOMPARE(rig.text("Text4_5"), QStringLiteral("3000"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～3000")});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()});
    QVERIFY(rig.drive.requests().isEmpty());
    rig.pressEnter("Text4_5");
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{"w22=3000"});

    rig.prompts.clear();
    rig.type("Text4_6", "600");
    QCOMPARE(rig.text("Text4_6"), QStringLiteral("500"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("输入值应该满足：0～500")});
    rig.type("Text4_6", "100");
    rig.leave("Text4_6");
    rig.leave("Text4_4"); // unchanged, and written all the same
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), (QStringList{"w22=3000", "w21=100", "w24=60"}));
    QCOMPARE(rig.drive.reg(kiro::reg::JogHighSpeed), quint16(3000));
    QVERIFY(!rig.lampBusy());
}

void ParameterWindowTest::closingWithTheGeneratorRunning() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    rig.drive.clearRequests();
    QVERIFY(rig.frame()->close());
    QCOMPARE(rig.prompts.texts(), QStringList{kGeneratorRunning});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()});
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.drive.generatorRunning()); // closing does not stop it
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(3));
    QTRY_VERIFY(!rig.form());

    // Opened again, the window starts stopped although the drive still runs.
    QVERIFY(rig.open());
    QVERIFY(!rig.widget("Command4_0")->isHidden());
    rig.prompts.clear();
    QVERIFY(rig.frame()->close());
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterWindowTest::closingDuringWorkWaitsForIt_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("generatorRunning"); // started before
    QTest::addColumn<QString>("input");         // whose work runs when the close is asked for
    QTest::addColumn<QString>("queued");        // input queued after the close, or none
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("prompts");

    const QStringList start{"w28=1", "w26=1", "w25=5", "w24=1000", "w27=50", "w22=10", "w9=1"};
    QTest::newRow("x7 option write") << "x7" << false << "Option1_5"
                                     << "" << QStringList{"w255=4"} << QStringList{};
    QTest::newRow("x7 entry commit") << "x7" << false << "Text1_9"
                                     << "" << QStringList{"w31=2048", "r31"} << QStringList{};
    QTest::newRow("QZ318 slider write") << "qz318" << false << "Slider3_1"
                                        << "" << QStringList{"w73=200"} << QStringList{};
    // The generator warning follows the state in which the close takes effect, not the one in
    // which it was asked for.
    QTest::newRow("QZ318 start queued after the close")
        << "qz318" << false << "Slider3_1"
        << "Command4_0" << QStringList{"w73=200"} + start << QStringList{kGeneratorRunning};
    QTest::newRow("QZ318 stop queued after the close")
        << "qz318" << true << "Slider3_1"
        << "Command4_1" << QStringList{"w73=200", "w9=0"} << QStringList{};
    QTest::newRow("QZ318 generator left running")
        << "qz318" << true << "Slider3_1"
        << "" << QStringList{"w73=200"} << QStringList{kGeneratorRunning};
}

// A close asked for while the window talks to the drive lets that work, and the work queued
// after it, run to its end with the window in place; then the window closes, by the rules of
// the moment it does.
void ParameterWindowTest::closingDuringWorkWaitsForIt() {
    QFETCH(QString, variant);
    QFETCH(bool, generatorRunning);
    QFETCH(QString, input);
    QFETCH(QString, queued);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, prompts);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    if (generatorRunning) {
        rig.widget<QPushButton>("Command4_0")->click();
        QVERIFY(rig.settle());
        QVERIFY(rig.drive.generatorRunning());
    }
    rig.drive.clearRequests();
    auto act = [&rig](const QString& name) {
        if (name.startsWith(QLatin1String("Option"))) {
            rig.focus(name);
        } else if (name.startsWith(QLatin1String("Slider"))) {
            rig.widget<QSlider>(name)->setValue(200);
        } else if (name.startsWith(QLatin1String("Text"))) {
            rig.type(name, QStringLiteral("2"));
            rig.pressEnter(name);
        } else {
            rig.widget<QPushButton>(name)->click();
        }
    };
    bool closedMeanwhile = true;
    rig.duringWait([&] {
        closedMeanwhile = rig.frame()->close();
        if (!queued.isEmpty())
            act(queued);
    });
    act(input);
    QVERIFY(rig.settle());
    QVERIFY(!closedMeanwhile);
    QCOMPARE(rig.traffic(), requests);
    QTRY_VERIFY(!rig.form());
    QCOMPARE(rig.prompts.texts(), prompts);
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(3));
}

void ParameterWindowTest::reopeningReadsAgain() {
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.type("Text1_9", "2");
    rig.pressEnter("Text1_9");
    QVERIFY(rig.settle());
    QVERIFY(rig.frame()->close());
    QTRY_VERIFY(!rig.form());
    rig.drive.clearRequests();
    rig.drive.setReg(kiro::reg::MidSpeedSuppression, 4321);
    QVERIFY(rig.open());
    QCOMPARE(rig.traffic().first(), QStringLiteral("r31"));
    QCOMPARE(rig.text("Text1_9"), QStringLiteral("2.00"));
    QCOMPARE(rig.text("Text1_5"), QStringLiteral("4321"));
    QVERIFY(rig.state.WindowOpenFlags(3));
}

void ParameterWindowTest::inputDuringASlowReadBack_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

// The user moves a slider twice and commits the peak current while the window still reads the
// drive: the reads go on undisturbed, then the input is carried out, the slider's last position
// winning, and the drive ends up holding what the window shows.
void ParameterWindowTest::inputDuringASlowReadBack() {
    QFETCH(QString, variant);
    ParamsRig rig(variant);
    rig.drive.setReplyDelayMs(25); // just inside the reply wait
    rig.duringWait(
        [&] {
            auto* slider = rig.widget<QSlider>(QStringLiteral("Slider1_0"));
            slider->setValue(3000);
            slider->setValue(5000);
            rig.type(QStringLiteral("Text1_9"), QStringLiteral("2.5"));
            rig.pressEnter(QStringLiteral("Text1_9"));
        },
        [&] { return rig.drive.requests().size() == 2; });
    QVERIFY(rig.open());
    const QStringList opening = variant == QLatin1String("x7") ? kX7Opening : kQzOpening;
    QCOMPARE(rig.traffic(), (opening + QStringList{"w64=5000", "w31=2560", "r31"}));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(!rig.lampBusy());
    QCOMPARE(rig.widget<QSlider>("Slider1_0")->value(), 5000);
    QCOMPARE(rig.text("Text2_3"), QStringLiteral("5000"));
    QCOMPARE(rig.drive.reg(kiro::reg::Resonance1Amplitude), quint16(5000));
    QCOMPARE(rig.text("Text1_9"), QStringLiteral("2.50"));
    QCOMPARE(rig.drive.reg(kiro::reg::PeakCurrent), quint16(2560));
}

void ParameterWindowTest::inputDuringASlowStart() {
    ParamsRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.drive.setReplyDelayMs(25); // just inside the reply wait
    rig.duringWait(
        [&] {
            rig.widget<QSlider>("Slider4")->setValue(1500);
            rig.widget<QSlider>("Slider2_1")->setValue(900);
            rig.type("Text1_9", "1.5");
            rig.leave("Text1_9");
            rig.focus("Option1_1");
            rig.widget<QPushButton>("Command4_1")->click(); // shown since the start began
        },
        [&] { return rig.drive.requests().size() == 2; });
    rig.widget<QPushButton>("Command4_0")->click();
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(),
             (QStringList{"w28=1", "w26=1", "w25=5", "w24=1000", "w27=50", "w22=10", "w9=1",
                          "w22=1500", "w69=900", "w31=1536", "r31", "w255=2", "w9=0"}));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.form()->isEnabled());
    QVERIFY(rig.form()->CanClose());
    QVERIFY(!rig.lampBusy());
    QCOMPARE(rig.widget<QLabel>("Label2")->text(), QStringLiteral("1500"));
    QCOMPARE(rig.drive.reg(kiro::reg::GeneratorSpeed), quint16(1500));
    QCOMPARE(rig.text("Text1_9"), QStringLiteral("1.50"));
    QCOMPARE(checkedOptions(rig), (QStringList{"下降沿", "PUL/DIR", "低电平"}));
    QVERIFY(!rig.drive.generatorRunning());
    QVERIFY(!rig.widget("Command4_0")->isHidden());
    QVERIFY(rig.widget("Command4_1")->isHidden());
}

// Input that arrives while another window holds the link waits for it, then reaches the drive.
void ParameterWindowTest::inputWhileAnotherWindowTalks() {
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.duringWait([&] { rig.widget<QSlider>("Slider2_0")->setValue(7000); });
    rig.window->findChild<QAction*>(QStringLiteral("SaveToEEprogram"))->trigger();
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), (QStringList{"w12=1", "w68=7000"}));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("写入EEprom动作完成!")});
    QVERIFY(rig.form()->isEnabled());
}

void ParameterWindowTest::typingAfterACommitIsKept_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("control"); // an entry committed with Enter, or a slider moved
    QTest::addColumn<QString>("committed");
    QTest::addColumn<QString>("box"); // where the user goes on typing
    QTest::addColumn<QString>("typedOn");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("x7 peak current, read back") << "x7"
                                                << "Text1_9"
                                                << "2.5"
                                                << "Text1_9"
                                                << "7" << QStringList{"w31=2560", "r31"};
    QTest::newRow("QZ318 idle time, read back") << "qz318"
                                                << "Text1_1"
                                                << "20"
                                                << "Text1_1"
                                                << "0" << QStringList{"w79=20", "r79"};
    QTest::newRow("x7 value box moving its slider") << "x7"
                                                    << "Text3_2"
                                                    << "1200"
                                                    << "Text3_2"
                                                    << "5" << QStringList{"w69=1200"};
    QTest::newRow("x7 jog entry") << "x7"
                                  << "Text4_5"
                                  << "200"
                                  << "Text4_5"
                                  << "0" << QStringList{"w22=200"};
    QTest::newRow("QZ318 slider and its value box") << "qz318"
                                                    << "Slider2_1"
                                                    << "900"
                                                    << "Text3_2"
                                                    << "5" << QStringList{"w69=900"};
}

// Work queued behind a running job carries out what was committed, and leaves alone what the
// user has typed into the entry since: it is neither replaced by the committed text nor by the
// value read back.
void ParameterWindowTest::typingAfterACommitIsKept() {
    QFETCH(QString, variant);
    QFETCH(QString, control);
    QFETCH(QString, committed);
    QFETCH(QString, box);
    QFETCH(QString, typedOn);
    QFETCH(QStringList, requests);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.duringWait([&] {
        if (auto* slider = rig.widget<QSlider>(control)) {
            slider->setValue(committed.toInt());
        } else {
            rig.type(control, committed);
            rig.pressEnter(control);
        }
        QTest::keyClicks(rig.widget(box), typedOn);
    });
    rig.widget<QSlider>("Slider1_0")->setValue(5000); // the job in whose wait this happens
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), QStringList{"w64=5000"} + requests);
    QCOMPARE(rig.text(box), committed + typedOn);
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterWindowTest::openingInTheActiveWindowWritesNothing_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("focus");
    // qztune-x7 leaves the focus on the first control in tab order.
    QTest::newRow("qztune-x7") << "x7" << kX7Opening << "Text1_9";
    QTest::newRow("QZ318") << "qz318" << kQzOpening << "Command4_0";
}

// The focus that the window gives itself when it appears is no commit of an entry.
void ParameterWindowTest::openingInTheActiveWindowWritesNothing() {
    QFETCH(QString, variant);
    QFETCH(QStringList, requests);
    QFETCH(QString, focus);
    ParamsRig rig(variant);
    QApplication::setActiveWindow(rig.window.get());
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QVERIFY(rig.launch());
    QTest::qWait(20);
    QCOMPARE(rig.traffic(), requests);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
}

void ParameterWindowTest::screenshots_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

// Not a check: a picture of each tuner with the window open, for a person to look at.
void ParameterWindowTest::screenshots() {
    QFETCH(QString, variant);
    ParamsRig rig(variant);
    rig.window->resize(1100, 820);
    QVERIFY(rig.open());
    QTest::qWait(50);
    const QString folder = QStringLiteral(KIROTUNE_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    const QString path =
        QDir(folder).filePath(QStringLiteral("%1-form3.png").arg(rig.variant.programName));
    QVERIFY(rig.window->grab().save(path));
    qInfo("screenshot: %s", qPrintable(path));
}

void ParameterWindowTest::theLastActionOnARegisterWinsWhicheverControl_data() {
    QTest::addColumn<QStringList>("actions"); // "slider N" or "box N" (typed, then Enter)
    QTest::addColumn<int>("last");
    QTest::newRow("slider, box, slider")
        << QStringList{"slider 100", "box 200", "slider 300"} << 300;
    QTest::newRow("slider, slider, box")
        << QStringList{"slider 100", "slider 300", "box 200"} << 200;
    QTest::newRow("box, slider") << QStringList{"box 700", "slider 400"} << 400;
}

// While the peak-current write retries on a slow drive, the user works zone 1's amplitude with
// its slider and the box beside it: register 64 is written once, with the last value, after
// every other input that came before it, and both controls show what the drive holds.
void ParameterWindowTest::theLastActionOnARegisterWinsWhicheverControl() {
    QFETCH(QStringList, actions);
    QFETCH(int, last);
    ParamsRig rig(QStringLiteral("x7"));
    QVERIFY(rig.open());
    rig.drive.clearRequests();
    rig.drive.setReplyDelayMs(25);
    rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, 2}); // the write retries
    rig.duringWait([&] {
        for (const QString& action : actions) {
            const int value = action.section(QLatin1Char(' '), 1).toInt();
            if (action.startsWith(QLatin1String("slider"))) {
                rig.widget<QSlider>(QStringLiteral("Slider1_0"))->setValue(value);
            } else {
                rig.type(QStringLiteral("Text2_3"), QString::number(value));
                rig.pressEnter(QStringLiteral("Text2_3"));
            }
        }
    });
    rig.type(QStringLiteral("Text1_9"), QStringLiteral("2.5"));
    rig.pressEnter(QStringLiteral("Text1_9"));
    QVERIFY(rig.settle());
    const QStringList writes64 = rig.traffic().filter(QRegularExpression(QStringLiteral("^w64=")));
    QCOMPARE(writes64, QStringList{QStringLiteral("w64=%1").arg(last)});
    QCOMPARE(rig.traffic().last(), QStringLiteral("w64=%1").arg(last));
    QCOMPARE(rig.drive.reg(kiro::reg::Resonance1Amplitude), quint16(last));
    QCOMPARE(rig.widget<QSlider>("Slider1_0")->value(), last);
    QCOMPARE(rig.text("Text2_3"), QString::number(last));
    QVERIFY(rig.prompts.prompts.isEmpty());
}

QTEST_MAIN(ParameterWindowTest)
#include "tst_parameterwindow.moc"
