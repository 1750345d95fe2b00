// The archive window of qztune-x7 and the parameter table window of QZ318 in a real main window,
// handled as a user handles them: clicks on their frames' title bars and close buttons and
// Ctrl+F4 with the focus on each kind of control, a close while their work runs, and their work
// and the fault window's taking turns at the drive.

#include "faults/FaultWindowInstall.h"
#include "shell/ToolWindows.h"
#include "storage/ArchiveWindow.h"
#include "storage/ParameterFileDialogs.h"
#include "storage/ParameterTableWindow.h"
#include "tests/support/MdiFrameClicks.h"
#include "tests/support/TunerOnVirtualClock.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

using namespace kiro;

namespace {

const QString kReadDone = QStringLiteral("数据返回成功！");
const QString kSaved = QStringLiteral("成功写入硬盘！");
const QList<int> kTableRegisters{0, 1, 31, 32, 64, 65, 68, 69, 72, 73, 78, 79, 80, 153, 255};

class AnsweringDialogs : public ParameterFileDialogs {
public:
    QString openFileName(QWidget*, const QString&) override { return answer; }
    QString saveFileName(QWidget*, const QString&) override { return answer; }
    QString answer;
};

// A request as the drive received it: function, first register, and count or value.
struct Request {
    int function;
    int address;
    int word;
    bool operator==(const Request&) const = default;
};

QList<Request> requestsOf(const sim::DriveModel& drive) {
    QList<Request> list;
    for (const QByteArray& frame : drive.requests()) {
        const auto byte = [&frame](int index) { return int(quint8(frame[index])); };
        list.append({byte(1), byte(2) << 8 | byte(3), byte(4) << 8 | byte(5)});
    }
    return list;
}

// A tuner with the storage window of its kind and the fault window, the in-process drive on its
// port, on the virtual clock. The storage windows keep their files in a folder of the test's own.
struct StorageTuner : test::TunerOnVirtualClock {
    explicit StorageTuner(const QString& variantName)
        : TunerOnVirtualClock(variantName, installFaultWindow, QSize(1100, 800)) {
        window->setToolWindowFactory(ToolWindow::Archive, [this](ShellState& shared) {
            // The lists start in the current folder: the test's, not the build's.
            const QString before = QDir::currentPath();
            QDir::setCurrent(folder.path());
            auto* archive = new ArchiveWindow(shared);
            QDir::setCurrent(before);
            return archive;
        });
        window->setToolWindowFactory(
            ToolWindow::ParameterTable, [this](ShellState& shared) -> QWidget* {
                return new ParameterTableWindow(shared, dialogs, path(QStringLiteral("QZ318.db")));
            });
        // Only QZ318 has a toolbar.
        if (auto* toolbar = window->findChild<QToolBar*>(QStringLiteral("Toolbar1")))
            mainToolbarButton2 = toolbar->findChild<QAbstractButton*>(QStringLiteral("Toolbar1_2"));
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    template <typename T = QWidget> T* control(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QMdiSubWindow* frameOf(const QString& name) const {
        QWidget* content = control(name);
        return content ? qobject_cast<QMdiSubWindow*>(content->parentWidget()) : nullptr;
    }
    bool trigger(const QString& name) {
        auto* command = control<QAction>(name);
        if (!command || !command->isEnabled())
            return false;
        command->trigger();
        return true;
    }
    // The storage window of the tuner, as the user opens it: 存档参数 in qztune-x7, the toolbar
    // button of the parameter table in QZ318.
    QMdiSubWindow* openStorageWindow() {
        if (&variant == &Variant::x7()) {
            trigger(QStringLiteral("ParaDataLib"));
            return frameOf(QStringLiteral("Form7"));
        }
        mainToolbarButton2->click();
        return frameOf(QStringLiteral("Form5"));
    }

    // The event loop after a handler has returned: the queued drive work runs, one job after
    // the other, until none is left, and closed windows are deleted. Qt's timers do not fire.
    bool runWork() {
        for (int turn = 0; turn < 100 && !state.work().idle(); ++turn)
            QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return state.work().idle();
    }

    QTemporaryDir folder;
    AnsweringDialogs dialogs;
    QAbstractButton* mainToolbarButton2 = nullptr;
};

enum CloseBy { CloseButton, CtrlF4 };

void askToClose(QMdiSubWindow* frame, int closeBy) {
    if (closeBy == CtrlF4)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    else
        test::clickCloseButton(frame);
}

} // namespace

class StorageFramesTest : public QObject {
    Q_OBJECT
private slots:
    void oneCloseClosesWhateverHasTheFocus_data();
    void oneCloseClosesWhateverHasTheFocus();
    void closeWhileTheWindowWorksTakesEffectAfterIt_data();
    void closeWhileTheWindowWorksTakesEffectAfterIt();
    void faultWindowAndTableReadTakeTurns();
};

void StorageFramesTest::oneCloseClosesWhateverHasTheFocus_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("closeBy");
    const QList<QPair<const char*, QStringList>> windows{
        // The path box, the drive box, the folder and file lists, a button.
        {"x7", {"Text1", "Drive1", "Dir1", "File1", "Command1"}},
        // The table, and the buttons beside it.
        {"qz318", {"MSHFlexGrid1", "readdata", "reset"}},
    };
    const QList<QPair<int, const char*>> closes{{CloseButton, "close button"}, {CtrlF4, "Ctrl+F4"}};
    for (const auto& [variant, controls] : windows) {
        for (const QString& focus : controls) {
            for (const auto& [closeBy, how] : closes)
                QTest::addRow("%s, %s, focus on %s", variant, how, qPrintable(focus))
                    << variant << focus << closeBy;
        }
    }
}

void StorageFramesTest::oneCloseClosesWhateverHasTheFocus() {
    QFETCH(QString, variant);
    QFETCH(QString, focus);
    QFETCH(int, closeBy);
    StorageTuner rig(variant);
    QVERIFY(QFile(rig.path(QStringLiteral("a.txt"))).open(QIODevice::WriteOnly));
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    const QPointer<QMdiSubWindow> frame = rig.openStorageWindow();
    QVERIFY(frame);
    QVERIFY(rig.runWork());
    // Were anything to be saved, it would land here.
    if (auto* box = rig.control<QLineEdit>(QStringLiteral("Text1")))
        box->setText(rig.path(QStringLiteral("archive.txt")));
    rig.dialogs.answer = rig.path(QStringLiteral("set.kvx"));
    const QStringList filesBefore = QDir(rig.folder.path()).entryList(QDir::Files);

    QWidget* control = rig.control(focus);
    QVERIFY(control);
    control->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), control);

    // A click on the title bar only brings the window forward; the control keeps the focus.
    test::clickTitleBar(frame);
    QVERIFY(rig.runWork());
    QVERIFY(frame && frame->isVisible());
    QCOMPARE(QApplication::focusWidget(), control);

    askToClose(frame, closeBy);
    QVERIFY(rig.runWork());
    QVERIFY(!frame);
    QVERIFY(rig.window->isVisible());
    // Nothing reached the drive, nothing was asked or told, no file was written.
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QCOMPARE(QDir(rig.folder.path()).entryList(QDir::Files), filesBefore);
}

void StorageFramesTest::closeWhileTheWindowWorksTakesEffectAfterIt_data() {
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("closeBy");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("told");
    QTest::newRow("archive save, close button") << "x7"
                                                << "Command1" << int(CloseButton) << 19 << kSaved;
    QTest::newRow("archive save, Ctrl+F4") << "x7"
                                           << "Command1" << int(CtrlF4) << 19 << kSaved;
    QTest::newRow("table read, close button") << "qz318"
                                              << "readdata" << int(CloseButton) << 15 << kReadDone;
    QTest::newRow("table read, Ctrl+F4") << "qz318"
                                         << "readdata" << int(CtrlF4) << 15 << kReadDone;
}

void StorageFramesTest::closeWhileTheWindowWorksTakesEffectAfterIt() {
    QFETCH(QString, variant);
    QFETCH(QString, button);
    QFETCH(int, closeBy);
    QFETCH(int, requests);
    QFETCH(QString, told);
    StorageTuner rig(variant);
    rig.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    const QPointer<QMdiSubWindow> frame = rig.openStorageWindow();
    QVERIFY(frame);
    const QString archive = rig.path(QStringLiteral("archive.txt"));
    if (auto* box = rig.control<QLineEdit>(QStringLiteral("Text1")))
        box->setText(archive);
    auto* start = rig.control<QAbstractButton>(button);
    start->setFocus(Qt::TabFocusReason);

    bool closedAtOnce = true;
    rig.clock.onEvents = [&] {
        if (rig.drive.requests().size() != 3 || !closedAtOnce)
            return;
        askToClose(frame, closeBy);
        closedAtOnce = !frame || !frame->isVisible();
        rig.clock.onEvents = nullptr;
    };
    start->click();
    QVERIFY(rig.runWork());
    QVERIFY(!closedAtOnce);
    // The work ran to its end, told its outcome, and the one close took effect after it.
    QCOMPARE(rig.drive.requests().size(), requests);
    QCOMPARE(rig.prompts.texts(), QStringList{told});
    QVERIFY(!frame);
    if (variant == QLatin1String("x7"))
        QVERIFY(QFile::exists(archive));
}

void StorageFramesTest::faultWindowAndTableReadTakeTurns() {
    StorageTuner rig(QStringLiteral("qz318"));
    rig.drive.faults().setWords({0x09, 0x02});
    QVERIFY(rig.openStorageWindow());
    QVERIFY(rig.runWork());
    QVERIFY(rig.trigger(QStringLiteral("ErrCheck"))); // its reading of the fault words waits
    QVERIFY(rig.frameOf(QStringLiteral("Form4")));

    // The table's read is asked for while the fault window reads the drive, and the fault
    // window's clear while the table reads it: each waits for its turn, none is dropped.
    auto* read = rig.control<QAbstractButton>(QStringLiteral("readdata"));
    auto* clear = rig.control<QAbstractButton>(QStringLiteral("Command1_0"));
    bool readAsked = false;
    bool clearAsked = false;
    rig.clock.onEvents = [&] {
        const qsizetype sent = rig.drive.requests().size();
        if (sent == 1 && !readAsked) {
            readAsked = true;
            read->click();
        } else if (sent == 6 && !clearAsked) {
            clearAsked = true;
            clear->click();
        }
    };
    QVERIFY(rig.runWork());
    rig.clock.onEvents = nullptr;
    QVERIFY(readAsked && clearAsked);

    QList<Request> expected{{3, 16, 10}};
    for (int address : kTableRegisters)
        expected.append({3, address, 1});
    expected.append({6, 16, 0});
    expected.append({3, 16, 10});
    QCOMPARE(requestsOf(rig.drive), expected);
    QCOMPARE(rig.prompts.texts(), QStringList{kReadDone});
    QVERIFY(rig.control(QStringLiteral("Form5"))->isEnabled());
    QVERIFY(rig.control(QStringLiteral("Form4"))->isEnabled());
}

QTEST_MAIN(StorageFramesTest)
#include "tst_storageframes.moc"
