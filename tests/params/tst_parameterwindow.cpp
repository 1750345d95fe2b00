// The parameter settings window as a user and the drive meet it: what it reads when it opens,
// what each entry, option, slider and button writes, the limits and their messages, the closing
// rules, and input that arrives while the window is talking to the drive.

#include "ParamsRig.h"
#include "link/RegisterMap.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
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
const QStringList kX7Opening{"r31", "r32",      "r153", "r78", "r64",      "w64=2600", "r65",
                             "w65=800",  "r66", "r67",  "r68", "w68=1800", "r69",      "w69=640",
                             "r70",      "r71", "r72",  "w72=64", "r73",   "w73=128",  "r74",
                             "r75",      "r255", "r22", "r24", "r21"};
const QStringList kQzOpening{"r31", "r32",      "r153", "r78",     "r79", "r64",      "w64=2600",
                             "r65", "w65=800",  "r68",  "w68=1800", "r69", "w69=640", "r72",
                             "w72=64", "r73",   "w73=128", "r255",  "r80"};

// The window before the main window has taken it in: during its read-back.
kiro::ParameterWindow* windowBeingRead() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<kiro::ParameterWindow*>(widget))
            return form;
    return nullptr;
}

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
    void readBackShowsValues_data();
    void readBackShowsValues();
    void readFailureDisablesTheWindow_data();
    void readFailureDisablesTheWindow();
};

void ParameterWindowTest::openingReadsTheDrive_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QPoint>("placeTwips");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("qztune-x7")
        << "x7" << kX7Opening << QPoint(0, 0)
        << QStringList{"Text1_9", "Text1_8", "Text1_5", "Text1_0", "Text2_3", "Text2_2",
                       "Text2_1", "Text2_0", "Text3_3", "Text3_2", "Text3_1", "Text3_0",
                       "Text4_3", "Text4_2", "Text4_1", "Text4_0", "Text4_5", "Text4_4",
                       "Text4_6"}
        << QStringList{"3.00", "300", "1500", "50",  "2600", "800", "100", "400", "1800", "640",
                       "400",  "900", "64",   "128", "900",  "1500", "600", "60", "100"};
    QTest::newRow("QZ318") << "qz318" << kQzOpening << QPoint(3500, 500)
                           << QStringList{"Text1_9", "Text1_8", "Text1_5", "Text1_0", "Text1_1",
                                          "Text2_3", "Text2_2", "Text3_3", "Text3_2", "Text4_3",
                                          "Text4_2", "Text4_4", "Text4_5", "Text4_6"}
                           << QStringList{"3.00", "1600", "1500", "50", "1000", "2600", "800",
                                          "1800", "640",  "64",   "128", "10", "5", "50"};
}

void ParameterWindowTest::openingReadsTheDrive() {
    QFETCH(QString, variant);
    QFETCH(QStringList, requests);
    QFETCH(QPoint, placeTwips);
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, texts);
    ParamsRig rig(variant);

    bool busyMeanwhile = false;
    bool closableMeanwhile = true;
    bool shownMeanwhile = true;
    rig.clock.onEvents = [&] {
        if (rig.drive.requests().size() == 3) {
            busyMeanwhile = rig.lampBusy();
            if (auto* form = windowBeingRead())
                closableMeanwhile = form->CanClose(), shownMeanwhile = form->isVisible();
            QVERIFY(rig.state.ToolWindowOpen);
            QVERIFY(rig.state.WindowOpenFlags(3));
        }
    };
    kiro::ParameterWindow* form = rig.open();
    QVERIFY(form);
    QCOMPARE(rig.traffic(), requests);
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(busyMeanwhile);
    QVERIFY(!closableMeanwhile);
    QVERIFY(!shownMeanwhile);

    QCOMPARE(form->windowTitle(), QStringLiteral("参数设定"));
    QVERIFY(rig.frame()->isVisible());
    QCOMPARE(rig.frame()->pos(), kiro::twips::toPixels(placeTwips));
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
        QTest::addRow("%s 1024 is one ampere", variant)
            << variant << 31 << 1024 << "Text1_9"
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
        QTest::addRow("%s slider at its position", variant)
            << variant << 64 << 0 << "Text2_3"
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

QTEST_MAIN(ParameterWindowTest)
#include "tst_parameterwindow.moc"
