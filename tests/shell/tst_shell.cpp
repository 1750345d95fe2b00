// The tuner shell as a user drives it: menus, toolbar, the communication window, the EEPROM
// commit and the information windows, against the simulated drive.

#include "ShellRig.h"
#include "shell/CommWindow.h"
#include "shell/StatusLamp.h"
#include "shell/Twips.h"
#include "tests/support/MdiFrameClicks.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

using kiro::Prompt;
using kiro::sim::FaultInjection;
using kiro::sim::Misbehaviour;
using kiro::test::ShellRig;

namespace {
const QString kPortNotConfigured = QStringLiteral("请先配置通讯端口！");
const QString kLinkTitle = QStringLiteral("通讯故障！");
const QString kCloseOthers = QStringLiteral("请先关闭其他窗口！");
const QString kPortProblem =
    QStringLiteral("该串口尚未找到或已被占用，请确认设备连接情况尝试重新连接！");
const QString kPortProblemTitle = QStringLiteral("串口问题！");
const QString kOpen = QStringLiteral("打开端口");
const QString kClose = QStringLiteral("关闭端口");
const QByteArray kLinkTestFrame = QByteArray::fromHex("010300000001840a");
const QByteArray kCommitFrame = QByteArray::fromHex("0106000c00018809");

QString noticeTitleOf(const QString& variant) {
    return variant == QLatin1String("x7") ? QStringLiteral("提示！") : QStringLiteral("Prompt！");
}

QStringList toolbarEnabled(const ShellRig& rig) {
    QStringList enabled;
    for (int button = 1; button <= 8; ++button) {
        auto* widget = rig.widget<QToolButton>(QStringLiteral("Toolbar1_%1").arg(button));
        if (widget && widget->isEnabled())
            enabled << QString::number(button);
    }
    return enabled;
}
} // namespace

class ShellTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowStartsClosedAndCleared_data();
    void mainWindowStartsClosedAndCleared();
    void toolCommandsRefuseWhilePortClosed_data();
    void toolCommandsRefuseWhilePortClosed();
    void toolWindowsStayExclusive_data();
    void toolWindowsStayExclusive();
    void closingToolWindowClearsItsFlags();
    void frameClicksAndCtrlF4_data();
    void frameClicksAndCtrlF4();
    void aMouseThatJumpsOntoTheCloseButtonCloses();
    void closingTheCommWindowDuringTheLinkTestWaitsForIt();

    void openingTheLinkWithDefaults_data();
    void openingTheLinkWithDefaults();
    void choosingAnotherPort();
    void linkTestOutcomes_data();
    void linkTestOutcomes();
    void closingThePortSendsNothing();

    void eepromCommit_data();
    void eepromCommit();

    void commandsDuringTheLinkTestAreCarriedOutAfterIt_data();
    void commandsDuringTheLinkTestAreCarriedOutAfterIt();
    void commandsDuringTheCommitAreCarriedOutAfterIt();
    void closingDuringACommitWaitsForIt();
    void closingTheMainWindowClosesThePort_data();
    void closingTheMainWindowClosesThePort();

    void lampFollowsRetriedTransactions_data();
    void lampFollowsRetriedTransactions();
    void backgroundRedrawsOnceAfterResizing();
    void backgroundNotRedrawnWhileMinimised();

    void informationWindows_data();
    void informationWindows();

    void screenshots_data();
    void screenshots();
};

void ShellTest::mainWindowStartsClosedAndCleared_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("operationEntries");
    QTest::addColumn<QStringList>("toolbarEnabled");
    QTest::newRow("qztune-x7") << "x7"
                               << "QZ318-X7 数字式步进驱动器 - Kirotune"
                               << QStringList{"comConfiguration", "SaveToEEprogram", "ParaDataLib",
                                              "exit"}
                               << QStringList{};
    QTest::newRow("QZ318") << "qz318"
                           << "QZ318 数字式步进驱动器 - Kirotune"
                           << QStringList{"comConfiguration", "displaypara", "exit"}
                           << QStringList{"1", "6", "7", "8"};
}

void ShellTest::mainWindowStartsClosedAndCleared() {
    QFETCH(QString, variant);
    QFETCH(QString, caption);
    QFETCH(QStringList, operationEntries);
    QFETCH(QStringList, toolbarEnabled);
    ShellRig rig(variant);

    QCOMPARE(rig.window->objectName(), QStringLiteral("MDIForm1"));
    QCOMPARE(rig.window->windowTitle(), caption);
    auto* operation = rig.window->findChild<QMenu*>(QStringLiteral("operation"));
    QVERIFY(operation);
    QStringList entries;
    for (QAction* entry : operation->actions())
        entries << entry->objectName();
    QCOMPARE(entries, operationEntries);
    for (const char* name : {"I_test", "P_test", "ErrCheck", "productInfo", "contactUs"})
        QVERIFY2(rig.action(QLatin1String(name)), name);
    QCOMPARE(bool(rig.widget(QStringLiteral("Toolbar1"))), !toolbarEnabled.isEmpty());
    QCOMPARE(::toolbarEnabled(rig), toolbarEnabled);

    QCOMPARE(rig.widget<QLabel>("StatusBar1_1")->text(), QStringLiteral("通讯状态:"));
    QVERIFY(!rig.widget<QLabel>("StatusBar1_5")->text().isEmpty());
    QCOMPARE(rig.widget<QLabel>("StatusBar1_6")->text(), QStringLiteral("日期:"));
    QCOMPARE(rig.widget<QLabel>("StatusBar1_7")->text(),
             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    QCOMPARE(rig.widget<QLabel>("StatusBar1_8")->text(), QStringLiteral("时间:"));
    QVERIFY(!rig.widget<QLabel>("StatusBar1_9")->text().isEmpty());

    QVERIFY(!rig.state.ToolWindowOpen);
    for (int index = 1; index <= 5; ++index)
        QVERIFY(!rig.state.WindowOpenFlags(index));
    QVERIFY(!rig.port.isOpen());
}

void ShellTest::toolCommandsRefuseWhilePortClosed_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("command");
    for (const char* command : {"I_test", "P_test", "ErrCheck", "ParaDataLib", "SaveToEEprogram"})
        QTest::addRow("qztune-x7 %s", command) << "x7" << command;
    for (const char* command : {"I_test", "P_test", "ErrCheck", "displaypara"})
        QTest::addRow("QZ318 %s", command) << "qz318" << command;
}

void ShellTest::toolCommandsRefuseWhilePortClosed() {
    QFETCH(QString, variant);
    QFETCH(QString, command);
    ShellRig rig(variant);

    QVERIFY(rig.trigger(command));
    QCOMPARE(rig.prompts.texts(), QStringList{kPortNotConfigured});
    QCOMPARE(rig.prompts.titles(), QStringList{kLinkTitle});
    QVERIFY(rig.window->clientArea()->subWindowList().isEmpty());
    QVERIFY(rig.drive.requests().isEmpty());
}

void ShellTest::toolWindowsStayExclusive_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("windowsAfter");

    for (const char* variant : {"x7", "qz318"}) {
        // The window that is open stays as it is; any other exclusive one is refused.
        QTest::addRow("%s current loop twice", variant)
            << variant << "I_test"
            << "I_test" << false << QStringList{"Form1"};
        QTest::addRow("%s current loop then parameters", variant)
            << variant << "I_test"
            << "P_test" << true << QStringList{"Form1"};
        QTest::addRow("%s parameters then faults", variant)
            << variant << "P_test"
            << "ErrCheck" << true << QStringList{"Form3"};
        // The fault window has no element of its own, so even its own command is refused.
        QTest::addRow("%s faults twice", variant) << variant << "ErrCheck"
                                                  << "ErrCheck" << true << QStringList{"Form4"};
    }
    // The storage windows set no flags: they neither block nor are blocked.
    QTest::newRow("x7 archive beside current loop")
        << "x7"
        << "I_test"
        << "ParaDataLib" << false << QStringList{"Form1", "Form7"};
    QTest::newRow("x7 current loop beside archive")
        << "x7"
        << "ParaDataLib"
        << "I_test" << false << QStringList{"Form7", "Form1"};
    QTest::newRow("QZ318 current loop beside parameter table")
        << "qz318"
        << "displaypara"
        << "I_test" << false << QStringList{"Form5", "Form1"};
    QTest::newRow("QZ318 parameter table menu refused beside current loop")
        << "qz318"
        << "I_test"
        << "displaypara" << true << QStringList{"Form1"};
    QTest::newRow("QZ318 toolbar opens parameter table directly")
        << "qz318"
        << "I_test"
        << "Toolbar1_2" << false << QStringList{"Form1", "Form5"};
    QTest::newRow("QZ318 toolbar parameters refused beside current loop")
        << "qz318"
        << "Toolbar1_3"
        << "Toolbar1_4" << true << QStringList{"Form1"};
}

void ShellTest::toolWindowsStayExclusive() {
    QFETCH(QString, variant);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, refused);
    QFETCH(QStringList, windowsAfter);
    ShellRig rig(variant);
    QVERIFY(rig.openLink());
    rig.prompts.clear();

    QVERIFY(rig.trigger(first));
    QVERIFY(rig.trigger(second));
    if (refused) {
        QCOMPARE(rig.prompts.texts(), QStringList{kCloseOthers});
        QCOMPARE(rig.prompts.titles(), QStringList{noticeTitleOf(variant)});
    } else {
        QVERIFY(rig.prompts.prompts.isEmpty());
    }
    QStringList shown;
    for (QMdiSubWindow* frame : rig.window->clientArea()->subWindowList())
        if (frame->isVisible())
            shown << frame->widget()->objectName();
    QCOMPARE(shown, windowsAfter);
}

void ShellTest::closingToolWindowClearsItsFlags() {
    ShellRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger("P_test"));
    QVERIFY(rig.state.ToolWindowOpen);
    QVERIFY(rig.state.WindowOpenFlags(3));

    rig.frameOf("Form3")->close();
    QTRY_VERIFY(!rig.widget("Form3"));
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(3));
    QVERIFY(rig.trigger("I_test"));
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.isShown("Form1"));
    QVERIFY(rig.state.WindowOpenFlags(1));
}

void ShellTest::frameClicksAndCtrlF4_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::newRow("qztune-x7 current loop") << "x7"
                                            << "I_test"
                                            << "Form1";
    QTest::newRow("qztune-x7 archive") << "x7"
                                       << "ParaDataLib"
                                       << "Form7";
    QTest::newRow("QZ318 parameters") << "qz318"
                                      << "P_test"
                                      << "Form3";
    QTest::newRow("QZ318 faults") << "qz318"
                                  << "ErrCheck"
                                  << "Form4";
}

void ShellTest::frameClicksAndCtrlF4() {
    QFETCH(QString, variant);
    QFETCH(QString, command);
    QFETCH(QString, name);
    ShellRig rig(variant);
    QVERIFY(rig.openLink());
    QTRY_VERIFY(!rig.isShown("Form2"));
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));

    QVERIFY(rig.trigger(command));
    QMdiSubWindow* frame = rig.frameOf(name);
    QVERIFY(frame);
    // A click on the caption only activates the window; one on the close button closes it.
    kiro::test::clickTitleBar(frame);
    QVERIFY(rig.isShown(name));
    kiro::test::clickCloseButton(frame);
    QTRY_VERIFY(!rig.widget(name));

    // Ctrl+F4 closes the active tool window the same way.
    QVERIFY(rig.trigger(command));
    QVERIFY(rig.isShown(name));
    QTest::keyClick(rig.window.get(), Qt::Key_F4, Qt::ControlModifier);
    QTRY_VERIFY(!rig.widget(name));
    QVERIFY(rig.window->isVisible());
}

void ShellTest::aMouseThatJumpsOntoTheCloseButtonCloses() {
    ShellRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger("I_test"));
    QMdiSubWindow* frame = rig.frameOf("Form1");
    QWindow* window = rig.window->windowHandle();
    const auto at = [&](QPoint point) { return window->mapFromGlobal(frame->mapToGlobal(point)); };
    // Over the caption, then in one move onto the close button, as a tool or a quick hand does.
    QTest::mouseMove(window, at(kiro::test::captionOf(frame)));
    QTest::mouseMove(window, at(kiro::test::closeButtonOf(frame)));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at(kiro::test::closeButtonOf(frame)));
    QTRY_VERIFY(!rig.widget("Form1"));
}

void ShellTest::closingTheCommWindowDuringTheLinkTestWaitsForIt() {
    ShellRig rig(QStringLiteral("qz318"));
    rig.drive.setReplyDelayMs(60);
    QVERIFY(rig.trigger("comConfiguration"));
    QMdiSubWindow* frame = rig.frameOf("Form2");
    rig.clock.duringNextWait = [&] { kiro::test::clickCloseButton(frame); };
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());
    // The test ran to its end and opened the port; the close took effect after it.
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>{kLinkTestFrame});
    QTRY_VERIFY(!rig.isShown("Form2"));
}

void ShellTest::openingTheLinkWithDefaults_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QPoint>("placeTwips");
    QTest::addColumn<QString>("portLabel");
    QTest::addColumn<QString>("baudLabel");
    QTest::addColumn<bool>("unloads");
    QTest::newRow("qztune-x7") << "x7" << QPoint(4000, 400) << "请选择你所需要的通讯端口："
                               << "请选择你所需要的波特率：" << true;
    QTest::newRow("QZ318") << "qz318" << QPoint(4500, 1500) << "串口："
                           << "波特率：" << false;
}

void ShellTest::openingTheLinkWithDefaults() {
    QFETCH(QString, variant);
    QFETCH(QPoint, placeTwips);
    QFETCH(QString, portLabel);
    QFETCH(QString, baudLabel);
    QFETCH(bool, unloads);
    ShellRig rig(variant);

    QVERIFY(rig.trigger("comConfiguration"));
    QVERIFY(rig.isShown("Form2"));
    QCOMPARE(rig.widget("Form2")->windowTitle(), QStringLiteral("通讯配置"));
    QCOMPARE(rig.frameOf("Form2")->pos(), kiro::twips::toPixels(placeTwips));
    auto* ports = rig.widget<QComboBox>("combo1_0");
    auto* bauds = rig.widget<QComboBox>("combo1_1");
    QCOMPARE(ports->count(), 12);
    QCOMPARE(ports->itemText(11), QStringLiteral("COM12"));
    QCOMPARE(ports->itemData(11).toInt(), 12);
    QCOMPARE(ports->currentText(), QStringLiteral("COM1"));
    QCOMPARE(bauds->currentText(), QStringLiteral("38400"));
    QVERIFY(ports->isEnabled());
    QVERIFY(!bauds->isEnabled());
    QCOMPARE(ports->isEditable(), false);
    auto* label0 = rig.widget<QLabel>("Label1_0");
    auto* label1 = rig.widget<QLabel>("Label1_1");
    QCOMPARE(label0->text(), portLabel);
    QCOMPARE(label1->text(), baudLabel);
    QCOMPARE(label0->buddy(), ports);
    QCOMPARE(label1->buddy(), bauds);
    QCOMPARE(bool(rig.widget("Frame1")), !unloads);
    QCOMPARE(rig.widget<QPushButton>("openPort")->text(), kOpen);

    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.port.portNumber(), 1);
    QCOMPARE(rig.port.settings(), QStringLiteral("38400,n,8,1"));
    QVERIFY(rig.port.binaryInput());
    QCOMPARE(rig.link.BaudKilo(), qint16(38));
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>{kLinkTestFrame});
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(!rig.isShown("Form2"));

    if (unloads) {
        QVERIFY(elapsed.elapsed() >= 200);
        QTRY_VERIFY(!rig.widget("Form2"));
    } else {
        QCOMPARE(toolbarEnabled(rig), QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
        QVERIFY(rig.widget("Form2")); // only hidden: it keeps its choices
    }

    // Shown again, the window knows the port is open.
    QVERIFY(rig.trigger("comConfiguration"));
    QVERIFY(rig.isShown("Form2"));
    QCOMPARE(rig.widget<QPushButton>("openPort")->text(), kClose);
    QVERIFY(!rig.widget<QComboBox>("combo1_0")->isEnabled());
}

void ShellTest::choosingAnotherPort() {
    ShellRig rig(QStringLiteral("x7"));
    QVERIFY(rig.trigger("comConfiguration"));
    rig.widget<QComboBox>("combo1_0")->setCurrentIndex(2);
    QCOMPARE(rig.link.PortNumber(), 3);
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());
    QCOMPARE(rig.port.portNumber(), 3);
    QVERIFY(rig.port.isOpen());
}

void ShellTest::linkTestOutcomes_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<int>("misbehaviour");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("titles");

    const QStringList problem{kPortProblem};
    const QStringList problemTitle{kPortProblemTitle};
    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s silent drive", variant)
            << variant << int(Misbehaviour::Silent) << true << false << problem << problemTitle;
        QTest::addRow("%s missing port", variant)
            << variant << int(Misbehaviour::None) << false << false << problem << problemTitle;
        QTest::addRow("%s short reply", variant)
            << variant << int(Misbehaviour::ShortReply) << true << false << problem << problemTitle;
        // A reply that arrived counts, even a wrong one, once the link has said what was wrong.
        QTest::addRow("%s reply from another station", variant)
            << variant << int(Misbehaviour::OtherStation) << true << true
            << QStringList{"接收设备号功能码失败！"} << QStringList{kLinkTitle};
        QTest::addRow("%s corrupt CRC", variant)
            << variant << int(Misbehaviour::CorruptCrc) << true << true
            << QStringList{"接收CRC失败！"} << QStringList{kLinkTitle};
        QTest::addRow("%s stray byte", variant) << variant << int(Misbehaviour::StrayBytes) << true
                                                << true << QStringList{} << QStringList{};
    }
}

void ShellTest::linkTestOutcomes() {
    QFETCH(QString, variant);
    QFETCH(int, misbehaviour);
    QFETCH(bool, present);
    QFETCH(bool, opens);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, titles);
    ShellRig rig(variant);
    rig.drive.injectFault(FaultInjection{Misbehaviour(misbehaviour), 0, -1});
    rig.port.setPresent(present);

    QVERIFY(rig.trigger("comConfiguration"));
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());

    QCOMPARE(rig.prompts.texts(), texts);
    QCOMPARE(rig.prompts.titles(), titles);
    QCOMPARE(rig.port.isOpen(), opens);
    QCOMPARE(rig.drive.requests().size(), present ? 1 : 0);
    if (opens) {
        QTRY_VERIFY(!rig.widget("Form2") || !rig.isShown("Form2"));
        return;
    }
    QCOMPARE(rig.prompts.prompts.first().icon, Prompt::Icon::Warning);
    QVERIFY(rig.isShown("Form2"));
    QCOMPARE(rig.widget<QPushButton>("openPort")->text(), kOpen);
    QVERIFY(rig.widget("openPort")->isEnabled());
    QVERIFY(rig.widget("combo1_0")->isEnabled());
    if (rig.widget("Toolbar1"))
        QCOMPARE(toolbarEnabled(rig), QStringList({"1", "6", "7", "8"}));
}

void ShellTest::closingThePortSendsNothing() {
    ShellRig rig(QStringLiteral("qz318"));
    QVERIFY(rig.openLink());
    rig.drive.clearRequests();

    QVERIFY(rig.click("Toolbar1_1"));
    QVERIFY(rig.isShown("Form2"));
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.drive.requests().isEmpty());
    QCOMPARE(rig.widget<QPushButton>("openPort")->text(), kOpen);
    QVERIFY(rig.widget("combo1_0")->isEnabled());
    QCOMPARE(toolbarEnabled(rig), QStringList({"1", "6", "7", "8"}));
    QVERIFY(rig.trigger("I_test"));
    QCOMPARE(rig.prompts.texts(), QStringList{kPortNotConfigured});
}

void ShellTest::eepromCommit_data() {
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<int>("misbehaviour");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("port closed") << false << int(Misbehaviour::None) << 0 << kPortNotConfigured
                                 << kLinkTitle;
    QTest::newRow("drive answers")
        << true << int(Misbehaviour::None) << 1 << QStringLiteral("写入EEprom动作完成!")
        << QStringLiteral("提示！");
    QTest::newRow("silent drive") << true << int(Misbehaviour::Silent) << 12 << kLinkTitle
                                  << kLinkTitle;
}

void ShellTest::eepromCommit() {
    QFETCH(bool, openFirst);
    QFETCH(int, misbehaviour);
    QFETCH(int, requests);
    QFETCH(QString, text);
    QFETCH(QString, title);
    ShellRig rig(QStringLiteral("x7"));
    if (openFirst)
        QVERIFY(rig.openLink());
    rig.drive.clearRequests();
    rig.prompts.clear();
    rig.drive.injectFault(FaultInjection{Misbehaviour(misbehaviour), 0, -1});

    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(rig.trigger("SaveToEEprogram"));
    QVERIFY(rig.settle());
    QCOMPARE(rig.prompts.texts(), QStringList{text});
    QCOMPARE(rig.prompts.titles(), QStringList{title});
    QCOMPARE(rig.drive.requests(), QVector<QByteArray>(requests, kCommitFrame));
    if (misbehaviour == int(Misbehaviour::None) && openFirst) {
        QCOMPARE(rig.drive.eepromCommits(), 1);
        QVERIFY(elapsed.elapsed() >= 120); // the drive is given time to write its EEPROM
    }
}

void ShellTest::commandsDuringTheLinkTestAreCarriedOutAfterIt_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("windows");
    QTest::addColumn<int>("refusals");
    QTest::newRow("qztune-x7") << "x7"
                               << QStringList{"SaveToEEprogram", "I_test", "ParaDataLib",
                                              "comConfiguration"}
                               << QStringList{"Form1", "Form2", "Form7"} << 0;
    // The menu's rules apply as they would without a link test: the parameter table leaves
    // room for the parameter window, which then keeps the fault window out.
    QTest::newRow("QZ318") << "qz318" << QStringList{"displaypara", "P_test", "ErrCheck"}
                           << QStringList{"Form2", "Form3", "Form5"} << 1;
}

void ShellTest::commandsDuringTheLinkTestAreCarriedOutAfterIt() {
    QFETCH(QString, variant);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, windows);
    QFETCH(int, refusals);
    ShellRig rig(variant);
    // A slow drive keeps the link test polling; the commands land in its first wait.
    rig.drive.setReplyDelayMs(150);
    QVERIFY(rig.trigger("comConfiguration"));
    bool fired = false;
    rig.clock.duringNextWait = [&] {
        fired = true;
        QVERIFY(rig.link.busy());
        QVERIFY(rig.port.isOpen());
        for (const QString& command : commands)
            rig.action(command)->trigger();
    };
    QVERIFY(rig.click("openPort"));
    QVERIFY(rig.settle());
    QVERIFY(fired);
    // The link test ran alone; every command followed it in turn.
    QCOMPARE(rig.drive.requests().value(0), kLinkTestFrame);
    QVERIFY(rig.port.isOpen());
    QCOMPARE(rig.drive.eepromCommits(), commands.contains("SaveToEEprogram") ? 1 : 0);
    QStringList open;
    for (QMdiSubWindow* frame : rig.window->clientArea()->subWindowList())
        open << frame->widget()->objectName();
    open.sort();
    QCOMPARE(open, windows);
    QCOMPARE(rig.prompts.texts().count(QStringLiteral("请先关闭其他窗口！")), refusals);
}

void ShellTest::commandsDuringTheCommitAreCarriedOutAfterIt() {
    ShellRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openLink());
    QTRY_VERIFY(!rig.widget("Form2"));
    rig.drive.clearRequests();
    rig.drive.setReplyDelayMs(20);
    bool fired = false;
    rig.clock.duringNextWait = [&] {
        fired = true;
        QVERIFY(rig.link.busy());
        rig.action("SaveToEEprogram")->trigger();
        rig.action("P_test")->trigger();
        rig.action("comConfiguration")->trigger();
    };
    QVERIFY(rig.trigger("SaveToEEprogram"));
    QVERIFY(rig.settle());
    QVERIFY(fired);
    // The second commit was asked for after the first had begun: the drive stores twice.
    QCOMPARE(rig.drive.requests(), (QVector<QByteArray>{kCommitFrame, kCommitFrame}));
    QCOMPARE(rig.drive.eepromCommits(), 2);
    QCOMPARE(rig.prompts.texts(), (QStringList{QStringLiteral("写入EEprom动作完成!"),
                                               QStringLiteral("写入EEprom动作完成!")}));
    QVERIFY(rig.isShown(QStringLiteral("Form3")));
    QVERIFY(rig.isShown(QStringLiteral("Form2")));
}

void ShellTest::closingDuringACommitWaitsForIt() {
    ShellRig rig(QStringLiteral("x7"));
    QVERIFY(rig.openLink());
    rig.drive.clearRequests();
    rig.clock.duringNextWait = [&] { rig.trigger("exit"); };
    QVERIFY(rig.trigger("SaveToEEprogram"));
    QVERIFY(rig.settle());
    // The commit ran to its end, and then the program closed as asked.
    QCOMPARE(rig.drive.eepromCommits(), 1);
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("写入EEprom动作完成!")});
    QTRY_VERIFY(!rig.window->isVisible());
    QVERIFY(!rig.port.isOpen());
}

void ShellTest::closingTheMainWindowClosesThePort_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("command");
    QTest::newRow("qztune-x7 exit") << "x7"
                                    << "exit";
    QTest::newRow("QZ318 toolbar exit") << "qz318"
                                        << "Toolbar1_8";
    QTest::newRow("QZ318 window closed") << "qz318" << QString();
}

void ShellTest::closingTheMainWindowClosesThePort() {
    QFETCH(QString, variant);
    QFETCH(QString, command);
    ShellRig rig(variant);
    QVERIFY(rig.openLink());
    QVERIFY(rig.trigger("I_test"));

    if (command.isEmpty())
        QVERIFY(rig.window->close());
    else if (rig.action(command))
        QVERIFY(rig.trigger(command));
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.port.isOpen());
    QTRY_VERIFY(!rig.widget("Form1"));
    QVERIFY(!rig.state.ToolWindowOpen);
}

void ShellTest::lampFollowsRetriedTransactions_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("picturesPresent");
    QTest::newRow("qztune-x7") << "x7" << true;
    QTest::newRow("qztune-x7 without pictures") << "x7" << false;
    QTest::newRow("QZ318") << "qz318" << true;
}

void ShellTest::lampFollowsRetriedTransactions() {
    QFETCH(QString, variant);
    QFETCH(bool, picturesPresent);
    QTemporaryDir empty;
    ShellRig rig(variant, picturesPresent ? QString() : empty.path());
    auto* panel = rig.widget<QLabel>("StatusBar1_2");
    const bool pictures = variant == QLatin1String("x7");
    auto shows = [&](const char* text, const char* picture) -> bool {
        if (!pictures)
            return panel->text() == QLatin1String(text);
        if (!picturesPresent)
            return panel->pixmap().isNull(); // a missing picture shows nothing, and no crash
        return panel->pixmap().toImage() ==
               QImage(rig.state.picturePath(QLatin1String(picture)))
                   .convertToFormat(panel->pixmap().toImage().format());
    };
    QVERIFY(shows("Ready", "lamp01.bmp"));
    QVERIFY(rig.openLink());

    bool busyMeanwhile = false;
    rig.clock.duringNextWait = [&] { busyMeanwhile = shows("Communicating...", "lamp02.bmp"); };
    rig.link.WriteRegister(1, 31, 2048);
    QCOMPARE(rig.link.ReplyError(), quint8(0));
    QVERIFY(busyMeanwhile);
    QVERIFY(shows("Ready", "lamp01.bmp"));

    rig.drive.injectFault(FaultInjection{Misbehaviour::Silent, 0, -1});
    rig.link.WriteRegister(1, 31, 2048);
    QVERIFY(shows("Communicating...", "lamp02.bmp")); // the link is in doubt: the lamp says so
}

void ShellTest::backgroundRedrawsOnceAfterResizing() {
    ShellRig rig(QStringLiteral("x7"));
    QTRY_VERIFY(rig.window->backgroundRedraws() >= 1);
    QTest::qWait(30);
    const int before = rig.window->backgroundRedraws();
    for (int width = 900; width < 960; width += 20)
        rig.window->resize(width, 650);
    QTRY_COMPARE(rig.window->backgroundRedraws(), before + 1);
    QTest::qWait(50);
    QCOMPARE(rig.window->backgroundRedraws(), before + 1);

    // The background is the picture, stretched over the whole client area.
    const QBrush background = rig.window->clientArea()->background();
    QCOMPARE(background.texture().size(), rig.window->clientArea()->viewport()->size());
}

void ShellTest::backgroundNotRedrawnWhileMinimised() {
    ShellRig rig(QStringLiteral("x7"));
    QTRY_VERIFY(rig.window->backgroundRedraws() >= 1);
    QTest::qWait(30);
    const int before = rig.window->backgroundRedraws();
    rig.window->setWindowState(Qt::WindowMinimized);
    rig.window->resize(700, 500);
    QTest::qWait(60);
    QCOMPARE(rig.window->backgroundRedraws(), before);
}

void ShellTest::informationWindows_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("qztune-x7 product")
        << "x7"
        << "productInfo"
        << "Dialog" << QStringList{"产品型号：QZ318-X7", "更新时间：2012.05.24"};
    QTest::newRow("QZ318 product by toolbar")
        << "qz318"
        << "Toolbar1_7"
        << "Dialog" << QStringList{"产品型号：QZ318", "更新时间：2012-10-19"};
    QTest::newRow("qztune-x7 contact")
        << "x7"
        << "contactUs"
        << "Info" << QStringList{"电话：", "传真：", "网址：", "地址：", "", "邮编："};
    QTest::newRow("QZ318 contact by toolbar")
        << "qz318"
        << "Toolbar1_6"
        << "Info" << QStringList{"电话：", "传真：", "网址：", "地址：", "", "邮编："};
}

void ShellTest::informationWindows() {
    QFETCH(QString, variant);
    QFETCH(QString, command);
    QFETCH(QString, window);
    QFETCH(QStringList, lines);
    ShellRig rig(variant);

    QVERIFY(command.startsWith(QLatin1String("Toolbar")) ? rig.click(command)
                                                         : rig.trigger(command));
    QVERIFY(rig.isShown(window));
    QCOMPARE(rig.frameOf(window)->pos(), kiro::twips::toPixels(QPoint(4000, 1480)));
    QStringList shown;
    for (QLabel* label : rig.widget(window)->findChildren<QLabel*>())
        shown << label->text();
    if (window == QLatin1String("Info")) {
        QCOMPARE(rig.widget(window)->windowTitle(), QStringLiteral("联系我们"));
        QCOMPARE(shown.size(), 7);
        for (int index = 0; index < 7; ++index)
            QVERIFY(rig.widget<QLabel>(QStringLiteral("Label1_%1").arg(index)));
        for (int index = 0; index < lines.size(); ++index)
            QVERIFY2(shown[index + 1].startsWith(lines[index]), qPrintable(shown[index + 1]));
        QVERIFY(!shown[5].contains(QStringLiteral("：")));
        return;
    }
    QVERIFY(rig.widget(window)->windowTitle().endsWith(QStringLiteral("步进")));
    for (const QString& line : lines)
        QVERIFY2(shown.contains(line), qPrintable(line));
    auto* ok = rig.widget<QPushButton>("cmdOK");
    QCOMPARE(bool(ok), variant == QLatin1String("qz318"));
    if (ok) {
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        ok->click();
        QTRY_VERIFY(!rig.widget(window));
    } else {
        QVERIFY(shown.first().startsWith(QStringLiteral("感谢")));
    }
}

void ShellTest::screenshots_data() {
    QTest::addColumn<QString>("variant");
    QTest::newRow("qztune-x7") << "x7";
    QTest::newRow("QZ318") << "qz318";
}

// Not a check: pictures of each main window with the communication window open, for a person to
// look at.
void ShellTest::screenshots() {
    QFETCH(QString, variant);
    ShellRig rig(variant);
    rig.window->resize(1024, 700);
    QVERIFY(rig.trigger("comConfiguration"));
    QTRY_VERIFY(rig.window->backgroundRedraws() >= 1);
    QTest::qWait(50);
    const QString folder = QStringLiteral(KIROTUNE_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    const QString path =
        QDir(folder).filePath(QStringLiteral("%1-form2.png").arg(rig.variant.programName));
    QVERIFY(rig.window->grab().save(path));
    qInfo("screenshot: %s", qPrintable(path));
}

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
