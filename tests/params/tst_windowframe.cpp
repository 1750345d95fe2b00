// The parameter settings window in the frame that hosts it in the client area, driven by real
// input: clicks on the frame's title bar and close button and Ctrl+F4 with the focus on each
// kind of control, the focus going to another tool window and back, and the program losing and
// regaining the active window. A click that only activates the window writes nothing to the
// drive; the close button, or Ctrl+F4, closes the window at once.

#include "ParamsRig.h"
#include "tests/support/MdiFrameClicks.h"

#include <QApplication>
#include <QMdiArea>
#include <QPushButton>

using kiro::test::ParamsRig;

namespace {
const QString kGeneratorRunning = QStringLiteral("没有关闭波形发生器!");

// Another tool window beside the parameter window, with an entry of its own.
QLineEdit* openAnotherToolWindow(ParamsRig& rig) {
    auto* entry = new QLineEdit;
    entry->setObjectName(QStringLiteral("otherEntry"));
    QMdiSubWindow* frame = rig.window->findChild<QMdiArea*>()->addSubWindow(entry);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->resize(200, 80);
    frame->move(600, 450);
    frame->show();
    return entry;
}
} // namespace

class WindowFrameTest : public QObject {
    Q_OBJECT
private slots:
    void frameClicksCloseWithOneClick_data();
    void frameClicksCloseWithOneClick();
    void movesIntoAnotherToolWindowStillCount_data();
    void movesIntoAnotherToolWindowStillCount();
    void comingBackToTheProgramWritesNothing_data();
    void comingBackToTheProgramWritesNothing();
};

void WindowFrameTest::frameClicksCloseWithOneClick_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("control"); // has the focus; an entry has text typed, uncommitted
    QTest::addColumn<bool>("generatorRunning");
    QTest::addColumn<bool>("titleBarFirst");
    QTest::addColumn<bool>("ctrlF4"); // else the close button
    QTest::addColumn<QStringList>("prompts");

    const struct {
        const char* variant;
        const char* control;
        bool generatorRunning;
        QStringList prompts;
    } cases[] = {
        {"x7", "Text1_9", false, {}},   // entry
        {"x7", "Text2_3", false, {}},   // value box of a slider
        {"x7", "Text4_5", false, {}},   // jog entry
        {"x7", "Option1_3", false, {}}, // option button
        {"x7", "Slider1_0", false, {}}, // slider
        {"qz318", "Text1_9", false, {}},
        {"qz318", "Text4_4", false, {}},
        {"qz318", "Option1_5", false, {}},
        {"qz318", "Slider2_0", false, {}},
        {"qz318", "Slider4", false, {}},
        {"qz318", "Check2", false, {}},
        {"qz318", "Command4_0", false, {}}, // button
        {"qz318", "Command4_1", true, {kGeneratorRunning}},
        {"qz318", "Option1_0", true, {kGeneratorRunning}},
    };
    for (const auto& row : cases) {
        for (const bool titleBarFirst : {false, true}) {
            for (const bool ctrlF4 : {false, true}) {
                QTest::addRow("%s %s%s%s, %s", row.variant, row.control,
                              row.generatorRunning ? ", generator running" : "",
                              titleBarFirst ? ", title bar first" : "",
                              ctrlF4 ? "Ctrl+F4" : "close button")
                    << row.variant << row.control << row.generatorRunning << titleBarFirst << ctrlF4
                    << row.prompts;
            }
        }
    }
}

void WindowFrameTest::frameClicksCloseWithOneClick() {
    QFETCH(QString, variant);
    QFETCH(QString, control);
    QFETCH(bool, generatorRunning);
    QFETCH(bool, titleBarFirst);
    QFETCH(bool, ctrlF4);
    QFETCH(QStringList, prompts);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    if (generatorRunning) {
        rig.widget<QPushButton>("Command4_0")->click();
        QVERIFY(rig.settle());
    }
    QWidget* focused = rig.widget(control);
    focused->setFocus(Qt::MouseFocusReason); // an option button writes its bit here
    if (auto* entry = qobject_cast<QLineEdit*>(focused))
        QTest::keyClicks(entry, QStringLiteral("1"));
    QVERIFY(rig.settle());
    QCOMPARE(QApplication::focusWidget(), focused);
    rig.drive.clearRequests();
    rig.prompts.clear();
    QMdiSubWindow* frame = rig.frame();

    if (titleBarFirst) {
        kiro::test::clickTitleBar(frame);
        QVERIFY(rig.settle());
        QVERIFY(rig.form());
        QCOMPARE(QApplication::focusWidget(), focused); // given back by the frame
        QVERIFY(rig.drive.requests().isEmpty());
        QVERIFY(rig.prompts.prompts.isEmpty());
    }
    if (ctrlF4)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    else
        kiro::test::clickCloseButton(frame);
    QVERIFY(rig.settle());
    QTRY_VERIFY(!rig.form());
    QVERIFY2(rig.drive.requests().isEmpty(), qPrintable(rig.traffic().join(' ')));
    QCOMPARE(rig.prompts.texts(), prompts);
    QVERIFY(!rig.state.ToolWindowOpen);
    QVERIFY(!rig.state.WindowOpenFlags(3));
}

void WindowFrameTest::movesIntoAnotherToolWindowStillCount_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("from"); // a control, or "otherEntry" of another window
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("typed"); // into "from" when it is an entry of this window
    QTest::addColumn<QStringList>("requests");
    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s entry left for another window", variant)
            << variant << "Text1_9"
            << "otherEntry"
            << "2.5" << QStringList{"w31=2560", "r31"};
        QTest::addRow("%s slider value box left for another window", variant)
            << variant << "Text3_2"
            << "otherEntry"
            << "25" << QStringList{"w69=25"};
        QTest::addRow("%s option chosen from another window", variant)
            << variant << "otherEntry"
            << "Option1_1"
            << "" << QStringList{"w255=2"};
    }
}

// The user clicks from a control of one tool window onto a control of another: that is a move
// between controls, and the entry left behind commits, the option chosen writes its bit.
void WindowFrameTest::movesIntoAnotherToolWindowStillCount() {
    QFETCH(QString, variant);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, typed);
    QFETCH(QStringList, requests);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    QLineEdit* other = openAnotherToolWindow(rig);
    auto find = [&](const QString& name) -> QWidget* {
        return name == other->objectName() ? other : rig.widget(name);
    };
    QTest::mouseClick(find(from), Qt::LeftButton);
    if (auto* entry = qobject_cast<QLineEdit*>(find(from)); entry && !typed.isEmpty()) {
        entry->clear();
        QTest::keyClicks(entry, typed);
    }
    QVERIFY(rig.settle());
    QCOMPARE(QApplication::focusWidget(), find(from));
    rig.drive.clearRequests();

    QTest::mouseClick(find(to), Qt::LeftButton);
    QVERIFY(rig.settle());
    QCOMPARE(rig.traffic(), requests);
    QCOMPARE(QApplication::focusWidget(), find(to));
}

void WindowFrameTest::comingBackToTheProgramWritesNothing_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("control");
    for (const char* variant : {"x7", "qz318"}) {
        QTest::addRow("%s entry", variant) << variant << "Text1_9";
        QTest::addRow("%s option", variant) << variant << "Option1_4";
    }
}

// A message box or another program takes the active window, and the user comes back: the
// control that had the focus gets it again, and nothing is committed or written.
void WindowFrameTest::comingBackToTheProgramWritesNothing() {
    QFETCH(QString, variant);
    QFETCH(QString, control);
    ParamsRig rig(variant);
    QVERIFY(rig.open());
    QWidget* focused = rig.widget(control);
    focused->setFocus(Qt::MouseFocusReason);
    if (auto* entry = qobject_cast<QLineEdit*>(focused))
        QTest::keyClicks(entry, QStringLiteral("1"));
    QVERIFY(rig.settle());
    rig.drive.clearRequests();

    QWidget elsewhere;
    elsewhere.resize(200, 100);
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    QVERIFY(!focused->hasFocus());
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    QVERIFY(rig.settle());
    QCOMPARE(QApplication::focusWidget(), focused);
    QVERIFY2(rig.drive.requests().isEmpty(), qPrintable(rig.traffic().join(' ')));
}

QTEST_MAIN(WindowFrameTest)
#include "tst_windowframe.moc"
