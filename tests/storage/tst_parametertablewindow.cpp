// The QZ318 parameter table window (Form5) as a user drives it through its controls, against the
// in-process drive on a virtual clock, with the file dialogs answered by the test.

#include "ParameterTableRig.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "storage/ParameterDatabase.h"
#include "storage/ParameterFileDialogs.h"
#include "storage/ParameterTableWindow.h"
#include "storage/StorageWindowInstall.h"
#include "tests/shell/ShellRig.h"
#include "tests/support/DriveWorkWait.h"
#include "tests/support/FileSizeLimit.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <optional>

using namespace kiro;
using kiro::test::kvxBytes;
using kiro::test::kvxLines;
using kiro::test::ParameterTableRig;
using kiro::test::sampleValues;

namespace {

const QString kLinkFailure = QStringLiteral(
    "Communication Error. Please check the RS232 cable connection and restart Kirotune.");
const QString kLinkFailureTitle = QStringLiteral("Communication Error");
const QString kPrompt = QStringLiteral("Prompt！");
const QList<int> kTableRegisters{0, 1, 31, 32, 64, 65, 68, 69, 72, 73, 78, 79, 80, 153, 255};

class AnsweringDialogs : public ParameterFileDialogs {
public:
    QString openFileName(QWidget*, const QString& filter) override {
        filters << filter;
        return openAnswer;
    }
    QString saveFileName(QWidget*, const QString& filter) override {
        filters << filter;
        return saveAnswer;
    }
    QString openAnswer;
    QString saveAnswer;
    QStringList filters;
};

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The window on a QZ318 drive, with its database in a folder of its own.
struct WindowRig : ParameterTableRig {
    explicit WindowRig(const QString& databasePath = {}) {
        window = std::make_unique<ParameterTableWindow>(
            state, dialogs, databasePath.isEmpty() ? this->databasePath() : databasePath);
        window->show();
    }
    QString databasePath() const { return folder.filePath(QStringLiteral("QZ318.db")); }
    QString path(const QString& name) const { return folder.filePath(name); }

    template <typename T = QWidget> T* widget(const QString& name) const {
        return window->findChild<T*>(name);
    }
    // Presses a button or a toolbar button as the user would (nothing happens when it is
    // disabled), then lets the program run until the drive work it queued has ended.
    bool press(const QString& name) {
        auto* button = widget<QAbstractButton>(name);
        if (!button || !button->isEnabled() || !window->isEnabled())
            return false;
        button->click();
        return test::driveWorkEnded(state.work());
    }
    QAction* toolbarAction(int index) const {
        return widget<QAction>(QStringLiteral("Toolbar1_%1").arg(index));
    }

    QStringList headings() const {
        QStringList list;
        const QAbstractItemModel* model = widget<QTableView>("MSHFlexGrid1")->model();
        for (int column = 0; column < model->columnCount(); ++column)
            list << model->headerData(column, Qt::Horizontal).toString();
        return list;
    }
    QList<QStringList> gridRows() const {
        QList<QStringList> rows;
        const QAbstractItemModel* model = widget<QTableView>("MSHFlexGrid1")->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->index(row, column).data().toString();
            rows << cells;
        }
        return rows;
    }
    QList<QStringList> databaseRows() const {
        QList<QStringList> rows;
        ParameterDatabase database;
        if (!database.open(databasePath()))
            return rows;
        QSqlQuery query(database.connection());
        query.exec(ParameterDatabase::kSelectAll);
        while (query.next())
            rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                query.value(2).toString(), query.value(3).toString()};
        return rows;
    }
    // Whether the window is as a finished operation leaves it.
    bool unlocked() const {
        auto* label = widget<QLabel>("Label1");
        return window->isEnabled() && label->isHidden() && label->text().isEmpty() &&
               widget("readdata")->isEnabled() && widget("writedata")->isEnabled() &&
               widget("EEProm")->isEnabled() && widget("reset")->isEnabled();
    }
    bool openFile(const QByteArray& bytes) {
        const QString file = path(QStringLiteral("open.kvx"));
        dialogs.openAnswer = file;
        return writeFile(file, bytes) && press("Toolbar1_1");
    }

    QTemporaryDir folder;
    ShellState state{link, prompts, Variant::qz318()};
    AnsweringDialogs dialogs;
    std::unique_ptr<ParameterTableWindow> window;
};

void setDriveRegisters(sim::DriveModel& drive, const QList<int>& values) {
    for (int i = 0; i < kTableRegisters.size(); ++i)
        drive.setReg(kTableRegisters[i], quint16(values[i]));
}

} // namespace

class ParameterTableWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithHeadingsOnly();
    void refusedUntilASetIsHeld_data();
    void refusedUntilASetIsHeld();
    void readFillsTableAndDatabase();
    void failedReadLeavesTheTableAsItWas();
    void fileToDriveToFile();
    void filesThatDoNotOpenChangeNothing_data();
    void filesThatDoNotOpenChangeNothing();
    void writeAsksFirst();
    void writeWithAFailedRegisterSaysSo();
    void eepromCommit_data();
    void eepromCommit();
    void factoryReset_data();
    void factoryReset();
    void lockedWhileTheDriveWorks();
    void savingThatFailsKeepsTheOldFile_data();
    void savingThatFailsKeepsTheOldFile();
    void worksWithoutItsDatabase();
    void tableThatCannotBeWritten();
    void opensFromTheTunersToolbar();
};

void ParameterTableWindowTest::opensWithHeadingsOnly() {
    WindowRig rig;
    QCOMPARE(rig.window->objectName(), QStringLiteral("Form5"));
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("QZ318配置参数"));
    QCOMPARE(rig.window->pos(), QPoint(133, 33));
    QCOMPARE(rig.widget<QLabel>("Label1")->text(), QStringLiteral("QZ318配置参数"));
    QVERIFY(rig.widget<QLabel>("Label1")->isVisible());
    QCOMPARE(rig.headings(), QStringList({"参数名称", "实际参数值", "参数有效范围", "默认值"}));
    QVERIFY(rig.gridRows().isEmpty());
    const QStringList captions{
        rig.widget<QPushButton>("readdata")->text(), rig.widget<QPushButton>("writedata")->text(),
        rig.widget<QPushButton>("EEProm")->text(), rig.widget<QPushButton>("reset")->text()};
    QCOMPARE(captions, QStringList({"读取器参数", "下发参数", "保存设置", "恢复出厂"}));
    QStringList toolbar;
    for (int index = 1; index <= 4; ++index) {
        toolbar << rig.toolbarAction(index)->text();
        QVERIFY(!rig.toolbarAction(index)->icon().isNull());
    }
    QCOMPARE(toolbar, QStringList({"读出已存文件", "保存参数至硬盘", "写入参数到芯片", "退出"}));
    auto* grid = rig.widget<QTableView>("MSHFlexGrid1");
    QCOMPARE(grid->columnWidth(0), 120);
    QCOMPARE(grid->columnWidth(1), 80);
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(QFile::exists(rig.databasePath()));
    QVERIFY(!rig.window->DataLoaded());
}

void ParameterTableWindowTest::refusedUntilASetIsHeld_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    const QString readFirst = QStringLiteral("请先从驱动器读回数据或打开已保存的参数！");
    const QString loadFirst = QStringLiteral("请先读驱动器参数或打开已保存文件！");
    QTest::newRow("下发参数") << "writedata" << readFirst << "写入芯片Prompt";
    QTest::newRow("保存设置") << "EEProm" << readFirst << "写入芯片Prompt";
    QTest::newRow("保存参数至硬盘") << "Toolbar1_2" << loadFirst << "保存Prompt";
    QTest::newRow("写入参数到芯片") << "Toolbar1_3" << loadFirst << "写入Prompt";
}

void ParameterTableWindowTest::refusedUntilASetIsHeld() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, title);
    WindowRig rig;
    rig.dialogs.saveAnswer = rig.path("never.kvx");
    QVERIFY(rig.press(control));
    QCOMPARE(rig.prompts.texts(), QStringList{text});
    QCOMPARE(rig.prompts.titles(), QStringList{title});
    QCOMPARE(rig.prompts.prompts[0].icon, Prompt::Icon::Information);
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.dialogs.filters.isEmpty());
}

void ParameterTableWindowTest::readFillsTableAndDatabase() {
    WindowRig rig;
    setDriveRegisters(
        rig.drive, {1200, 300, 1024, 16, 2600, 800, 1800, 640, 64, 128, 50, 1000, 1, 1500, 65535});
    QVERIFY(rig.press("readdata"));
    QCOMPARE(rig.reads(), kTableRegisters);
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("数据返回成功！")});
    QCOMPARE(rig.prompts.titles(), QStringList{QStringLiteral("下载Prompt")});
    QCOMPARE(rig.prompts.prompts[0].icon, Prompt::Icon::Information);
    QVERIFY(rig.unlocked());
    QVERIFY(rig.window->DataLoaded());

    QCOMPARE(rig.headings(), QStringList({"参数名称", "实际参数值", "参数有效范围", "默认参数值"}));
    const QList<QStringList> rows = rig.gridRows();
    QCOMPARE(rows.size(), 15);
    QCOMPARE(rows[2], QStringList({"用户设置电流值", "1", "0.1--5.6 单位0.1A", "1"}));
    QCOMPARE(rows[14], QStringList({"脉冲输入模式选择", "65535", "0--7", "0"}));
    QCOMPARE(rig.databaseRows(), rows);
}

void ParameterTableWindowTest::failedReadLeavesTheTableAsItWas() {
    WindowRig rig;
    QVERIFY(rig.press("readdata"));
    const QList<QStringList> before = rig.databaseRows();
    QCOMPARE(before.size(), 15);
    rig.prompts.clear();
    rig.drive.setReg(32, 9999);
    rig.clock.onEvents = nullptr; // the drive stays silent from now on
    rig.drive.injectFault({sim::Misbehaviour::Silent, 0, -1});

    QVERIFY(rig.press("readdata"));
    QCOMPARE(rig.prompts.texts(), QStringList{kLinkFailure});
    QCOMPARE(rig.prompts.titles(), QStringList{kLinkFailureTitle});
    QVERIFY(rig.state.TuningIdle());
    QCOMPARE(rig.databaseRows(), before);
    QCOMPARE(rig.gridRows(), before);
    QVERIFY(!rig.window->isEnabled()); // the window gives up on the link for good
    QVERIFY(!rig.press("readdata"));
}

void ParameterTableWindowTest::fileToDriveToFile() {
    WindowRig rig;
    QStringList values = sampleValues();
    values[2] = " .5 ";
    const QByteArray file = kvxBytes(kvxLines(values));
    QVERIFY(rig.openFile(file));
    QCOMPARE(rig.dialogs.filters, QStringList{QStringLiteral("kvx(*.kvx)")});
    QVERIFY(rig.window->DataLoaded());
    QVERIFY(rig.prompts.prompts.isEmpty());
    QVERIFY(rig.drive.requests().isEmpty());
    const QList<QStringList> rows = rig.gridRows();
    QCOMPARE(rows.size(), 15);
    QCOMPARE(rows[2], QStringList({"用户设置电流值", "0.5", "0.1--5.6 单位0.1A", "1"}));
    QCOMPARE(rig.databaseRows(), rows);

    QVERIFY(rig.press("writedata"));
    QCOMPARE(rig.prompts.texts(),
             QStringList({"请先确认当前参数为驱动器现存参数!是否继续?", "写入驱动器动作完成!"}));
    QCOMPARE(rig.prompts.titles(), QStringList({"下发参数Prompt ", kPrompt}));
    QCOMPARE(rig.prompts.prompts[0].buttons, Prompt::Buttons::YesNo);
    const QList<int> raw{1200, 300, 512, 16, 2600, 800, 1800, 640, 64, 128, 50, 1000, 1, 1500, 6};
    QList<QPair<int, int>> expected;
    for (int i = 0; i < 15; ++i)
        expected.append({kTableRegisters[i], raw[i]});
    QCOMPARE(rig.writes(), expected);
    QVERIFY(rig.unlocked());

    // Read back and save: the same bytes as the file the set came from.
    QVERIFY(rig.press("readdata"));
    rig.dialogs.saveAnswer = rig.path("saved.kvx");
    QVERIFY(rig.press("Toolbar1_2"));
    QCOMPARE(fileBytes(rig.path("saved.kvx")), file);
}

void ParameterTableWindowTest::filesThatDoNotOpenChangeNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cancel");
    QStringList values = sampleValues();
    QTest::newRow("cancelled") << kvxBytes(kvxLines(values)) << true;
    QTest::newRow("14 lines") << kvxBytes(kvxLines(values).mid(0, 14)) << false;
    values[2] = " 70 ";
    QTest::newRow("current beyond its register") << kvxBytes(kvxLines(values)) << false;
    values[2] = " abc ";
    QTest::newRow("no number") << kvxBytes(kvxLines(values)) << false;
    QTest::newRow("not a text file") << QByteArray(300, '\0') << false;
}

void ParameterTableWindowTest::filesThatDoNotOpenChangeNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cancel);
    WindowRig rig;
    QVERIFY(rig.press("readdata"));
    rig.prompts.clear();
    const ParameterSet held = rig.window->heldSet();
    const QList<QStringList> rows = rig.gridRows();

    if (cancel)
        QVERIFY(rig.press("Toolbar1_1")); // the dialog answers with no file
    else
        QVERIFY(rig.openFile(bytes));
    QVERIFY(rig.window->heldSet() == held);
    QCOMPARE(rig.gridRows(), rows);
    QCOMPARE(rig.databaseRows(), rows);
    QVERIFY(rig.prompts.prompts.isEmpty());
}

void ParameterTableWindowTest::writeAsksFirst() {
    WindowRig rig;
    QVERIFY(rig.openFile(kvxBytes(kvxLines(sampleValues()))));
    rig.prompts.answers = {PromptAnswer::No};
    QVERIFY(rig.press("writedata"));
    QCOMPARE(rig.prompts.prompts.size(), 1);
    QVERIFY(rig.drive.requests().isEmpty());
    QVERIFY(rig.window->isEnabled());
    QCOMPARE(rig.widget<QLabel>("Label1")->text(), QStringLiteral("QZ318配置参数"));
}

void ParameterTableWindowTest::writeWithAFailedRegisterSaysSo() {
    WindowRig rig;
    QVERIFY(rig.openFile(kvxBytes(kvxLines(sampleValues()))));
    rig.silence({5, 6, 7, 8}); // register 64: all four attempts of WriteRegister
    QVERIFY(rig.press("writedata"));
    QCOMPARE(rig.prompts.texts(), QStringList({"请先确认当前参数为驱动器现存参数!是否继续?",
                                               kLinkFailure, "写入驱动器动作失败!"}));
    QCOMPARE(rig.prompts.titles().last(), kPrompt);
    QCOMPARE(rig.writes().size(), 15 + 3); // every other register is still written
    QCOMPARE(rig.writes().last(), qMakePair(255, 6));
    QVERIFY(rig.unlocked());
}

void ParameterTableWindowTest::eepromCommit_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("texts");
    const QString confirm = QStringLiteral("请先确认当前参数是否为驱动器现存参数！");
    QTest::newRow("保存设置") << "EEProm" << false
                              << QStringList{confirm, QStringLiteral("写入EEprom动作完成!")};
    QTest::newRow("写入参数到芯片")
        << "Toolbar1_3" << false << QStringList{confirm, QStringLiteral("写入EEprom动作完成!")};
    QTest::newRow("silent drive") << "EEProm" << true << QStringList{confirm, kLinkFailure};
}

void ParameterTableWindowTest::eepromCommit() {
    QFETCH(QString, control);
    QFETCH(bool, silent);
    QFETCH(QStringList, texts);
    WindowRig rig;
    QVERIFY(rig.openFile(kvxBytes(kvxLines(sampleValues()))));
    if (silent)
        rig.silence({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    QVERIFY(rig.press(control));
    QCOMPARE(rig.prompts.texts(), texts);
    QCOMPARE(rig.prompts.prompts[0].title, QStringLiteral("保存参数Prompt"));
    QCOMPARE(rig.prompts.prompts[0].icon, Prompt::Icon::Information);
    QCOMPARE(rig.prompts.prompts[1].title, silent ? kLinkFailureTitle : kPrompt);
    const QList<QPair<int, int>> commits(silent ? 12 : 1, qMakePair(12, 1));
    QCOMPARE(rig.writes(), commits);
    QCOMPARE(rig.unlocked(), !silent);
}

void ParameterTableWindowTest::factoryReset_data() {
    QTest::addColumn<QList<int>>("silent");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("commits");
    QTest::addColumn<bool>("unlocked");
    const QString ask = QStringLiteral("是否恢复驱动器出厂值?");
    QTest::newRow("drive answers")
        << QList<int>{} << QStringList{ask, QStringLiteral("驱动器出厂参数设置已完成!")} << 1
        << true;
    QTest::newRow("a register fails: no commit")
        << QList<int>{2, 3, 4, 5}
        << QStringList{ask, kLinkFailure, QStringLiteral("驱动器出厂参数设置失败!")} << 0 << true;
    QList<int> commitSilent;
    for (int request = 16; request < 16 + 12; ++request)
        commitSilent << request;
    QTest::newRow("the commit fails")
        << commitSilent << QStringList{ask, kLinkFailure} << 12 << false;
}

void ParameterTableWindowTest::factoryReset() {
    QFETCH(QList<int>, silent);
    QFETCH(QStringList, texts);
    QFETCH(int, commits);
    QFETCH(bool, unlocked);
    WindowRig rig;
    QVERIFY(rig.openFile(kvxBytes(kvxLines(sampleValues()))));
    const ParameterSet held = rig.window->heldSet();
    const QList<QStringList> rows = rig.gridRows();
    rig.silence(silent);
    QVERIFY(rig.press("reset"));
    QCOMPARE(rig.prompts.texts(), texts);
    QCOMPARE(rig.prompts.prompts[0].title, QStringLiteral("恢复出厂参数"));
    QCOMPARE(rig.prompts.prompts[0].buttons, Prompt::Buttons::YesNo);
    QCOMPARE(rig.prompts.prompts.last().title, unlocked ? kPrompt : kLinkFailureTitle);
    int commitRequests = 0;
    for (const auto& write : rig.writes())
        commitRequests += write.first == 12;
    QCOMPARE(commitRequests, commits);
    QCOMPARE(rig.writes().first(), qMakePair(0, 1000));
    QCOMPARE(rig.unlocked(), unlocked);
    // A reset changes neither the held set nor the table.
    QVERIFY(rig.window->heldSet() == held);
    QCOMPARE(rig.gridRows(), rows);
    QCOMPARE(rig.databaseRows(), rows);
}

void ParameterTableWindowTest::lockedWhileTheDriveWorks() {
    WindowRig rig;
    rig.dialogs.openAnswer = rig.path("open.kvx");
    QVERIFY(writeFile(rig.dialogs.openAnswer, kvxBytes(kvxLines(sampleValues()))));
    bool checked = false;
    rig.clock.onEvents = [&] {
        if (checked || rig.reads().size() != 3)
            return;
        checked = true;
        auto* label = rig.widget<QLabel>("Label1");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("正在从驱动器返回数据，请等待.. "));
        QVERIFY(!rig.window->isEnabled());
        QVERIFY(!rig.widget("readdata")->isEnabled());
        QVERIFY(!rig.widget("reset")->isEnabled());
        // Whatever still reaches the window waits or is held off.
        rig.toolbarAction(1)->trigger();
        rig.toolbarAction(3)->trigger();
        QMetaObject::invokeMethod(rig.widget("reset"), "click");
        rig.window->close();
        QVERIFY(rig.window->isVisible());
    };
    QVERIFY(rig.press("readdata"));
    QVERIFY(checked);
    QCOMPARE(rig.drive.requests().size(), 15);
    QVERIFY(rig.dialogs.filters.isEmpty()); // no file dialog came up during the read
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("数据返回成功！")});
    QCOMPARE(rig.gridRows()[2][1], QStringLiteral("3")); // the drive's 3 A, not the file's
    // The close asked for during the read takes effect afterwards.
    QTRY_VERIFY(!rig.window->isVisible());
}

void ParameterTableWindowTest::savingThatFailsKeepsTheOldFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("folder not there") << "missing/set.kvx" << false;
    QTest::newRow("disk full while writing") << "set.kvx" << true;
}

void ParameterTableWindowTest::savingThatFailsKeepsTheOldFile() {
    QFETCH(QString, name);
    QFETCH(bool, diskFull);
    WindowRig rig;
    QVERIFY(rig.press("readdata"));
    rig.prompts.clear();
    rig.dialogs.saveAnswer = rig.path(name);
    const QByteArray before = diskFull ? QByteArray("the old set\r\n") : QByteArray();
    if (diskFull)
        QVERIFY(writeFile(rig.dialogs.saveAnswer, before));
    {
        // The 15 lines need several hundred bytes; the disk has room for far fewer.
        std::optional<test::FileSizeLimit> full;
        if (diskFull && !full.emplace(64).ok())
            QSKIP("no way to fill the disk here");
        QVERIFY(rig.press("Toolbar1_2"));
    }
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("参数文件保存失败！")});
    QCOMPARE(rig.prompts.titles(), QStringList{QStringLiteral("保存Prompt")});
    QCOMPARE(fileBytes(rig.dialogs.saveAnswer), before);
    // Nothing half-written is left beside it either.
    const QStringList kept = QDir(rig.folder.path()).entryList({QStringLiteral("set.kvx*")});
    QCOMPARE(kept, diskFull ? QStringList{QStringLiteral("set.kvx")} : QStringList());
}

void ParameterTableWindowTest::worksWithoutItsDatabase() {
    QTemporaryDir elsewhere;
    WindowRig rig(elsewhere.filePath("missing/QZ318.db"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("数据库连接失败！")});
    QCOMPARE(rig.prompts.titles(), QStringList{QString()}); // the program's own title
    rig.prompts.clear();

    QVERIFY(rig.press("readdata"));
    QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("数据返回成功！")});
    const QList<QStringList> rows = rig.gridRows();
    QCOMPARE(rows.size(), 15);
    QCOMPARE(rows[3], QStringList({"细分数", "1600", "1--512", "1"}));
    rig.dialogs.saveAnswer = rig.path("set.kvx");
    QVERIFY(rig.press("Toolbar1_2"));
    QVERIFY(QFile::exists(rig.path("set.kvx")));
}

void ParameterTableWindowTest::tableThatCannotBeWritten() {
    WindowRig rig;
    {
        ParameterDatabase other;
        QVERIFY(other.open(rig.databasePath()));
        QVERIFY(QSqlQuery(other.connection()).exec(QStringLiteral("DROP TABLE QZ318")));
    }
    QVERIFY(rig.press("readdata"));
    QCOMPARE(rig.prompts.texts(),
             QStringList({QStringLiteral("数据库写入失败！"), QStringLiteral("数据返回成功！")}));
    // The grid still shows what the drive holds.
    QCOMPARE(rig.gridRows().size(), 15);
    QCOMPARE(rig.gridRows()[3][1], QStringLiteral("1600"));
}

void ParameterTableWindowTest::opensFromTheTunersToolbar() {
    kiro::test::ShellRig rig(QStringLiteral("qz318"));
    installStorageWindow(*rig.window);
    QVERIFY(rig.openLink());
    rig.prompts.clear();
    QVERIFY(rig.click(QStringLiteral("Toolbar1_2")));
    QVERIFY(rig.isShown(QStringLiteral("Form5")));
    QVERIFY(rig.widget(QStringLiteral("MSHFlexGrid1")));
    // The parameter table does not take part in the exclusivity of the tool windows.
    QVERIFY(!rig.state.ToolWindowOpen);
    // The close button of its toolbar closes it.
    auto* exit = rig.frameOf(QStringLiteral("Form5"))->findChild<QAction*>("Toolbar1_4");
    exit->trigger();
    QTRY_VERIFY(!rig.widget(QStringLiteral("Form5")));
}

QTEST_MAIN(ParameterTableWindowTest)
#include "tst_parametertablewindow.moc"
