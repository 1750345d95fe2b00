// The archive file of qztune-x7 and its window "存档参数", against the in-process drive on a
// virtual clock: the file's bytes, the frames on the wire, the registers in the drive, the
// messages and the window's controls.

#include "link/DriveLink.h"
#include "link/DriveWorkQueue.h"
#include "link/RegisterMap.h"
#include "shell/ShellState.h"
#include "shell/Variant.h"
#include "sim/DriveModel.h"
#include "sim/SimulatedSerialPort.h"
#include "storage/ArchiveFile.h"
#include "storage/ArchiveTransfer.h"
#include "storage/ArchiveWindow.h"
#include "storage/FileSystemLists.h"
#include "storage/StorageWindowInstall.h"
#include "tests/shell/ShellRig.h"
#include "tests/support/DriveWorkWait.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/PromptRecorder.h"
#include "tests/support/VirtualClock.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace kiro;

namespace {

const QString kTitle = QStringLiteral("下载提示");
const QString kSaved = QStringLiteral("成功写入硬盘！");
const QString kSaveFailed = QStringLiteral("写入硬盘失败！");
const QString kWritten = QStringLiteral("成功写入芯片！");
const QString kWriteFailed = QStringLiteral("写入芯片失败！");
const QString kLinkFailure = QStringLiteral("请检查连接后重新开启软件！");

// The archive as the program writes it for the registers the drive holds below.
const QByteArray kArchive = "0&120\r\n1&35\r\n31&2048\r\n32&600\r\n153&3000\r\n78&50\r\n"
                            "64&13000\r\n65&1608\r\n66&40000\r\n67&5000\r\n68&1\r\n69&0\r\n"
                            "70&32767\r\n71&32768\r\n72&256\r\n73&255\r\n74&7\r\n75&8\r\n"
                            "255&65535\r\n";

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A request on the wire, as the drive received it.
struct Request {
    int function;
    int address;
    int value;
};

QVector<Request> requestsOf(const sim::DriveModel& drive) {
    QVector<Request> list;
    for (const QByteArray& frame : drive.requests()) {
        const auto byte = [&frame](int index) { return int(quint8(frame[index])); };
        list.append({byte(1), byte(2) << 8 | byte(3), byte(4) << 8 | byte(5)});
    }
    return list;
}

QString describe(const QVector<ArchiveEntry>& entries) {
    QStringList lines;
    for (const ArchiveEntry& entry : entries)
        lines << QStringLiteral("%1&%2").arg(entry.address).arg(entry.value);
    return lines.join(QLatin1Char(' '));
}

// A qztune-x7 with the link open, on a clock that moves only when the link waits.
struct Rig {
    Rig() {
        port.open();
        link.setBaudKilo(38);
        const QByteArray archive = kArchive;
        const ArchiveReading reading = ParseArchive(archive);
        for (const ArchiveEntry& entry : reading.entries)
            drive.setReg(entry.address, entry.value);
    }

    // The window, opened as the main window opens it.
    ArchiveWindow& window() {
        if (!window_) {
            window_ = std::make_unique<ArchiveWindow>(state);
            window_->show();
        }
        return *window_;
    }
    template <typename T = QWidget> T* control(const QString& name) {
        return window().findChild<T*>(name);
    }
    void setPath(const QString& path) {
        control<QLineEdit>(QStringLiteral("Text1"))->setText(path);
    }
    // Clicks a button, then lets the program run until the drive work it queued has ended.
    bool click(const QString& button) {
        control<QPushButton>(button)->click();
        return test::driveWorkEnded(state.work());
    }

    // The drive stops answering from the given request on (1 = the first).
    void silenceFrom(int request) {
        if (request == 1) {
            drive.injectFault({sim::Misbehaviour::Silent, 0, -1});
            return;
        }
        clock.onEvents = [this, request] {
            if (drive.requests().size() == request - 1 &&
                drive.fault().kind == sim::Misbehaviour::None)
                drive.injectFault({sim::Misbehaviour::Silent, 0, -1});
        };
    }

    test::VirtualClock clock;
    sim::DriveModel drive{ReplyLayout::WideByteCount};
    sim::SimulatedSerialPort port{drive, clock};
    test::PromptRecorder prompts;
    DriveLink link{port, clock, prompts, LinkVariant::x7()};
    ShellState state{link, prompts, Variant::x7()};

private:
    std::unique_ptr<ArchiveWindow> window_;
};

} // namespace

class ArchiveTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    QString path(const QString& name) const { return folder_.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }
    void cleanup() {
        for (const QString& name : QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(path(name));
    }

    // --- The file ---------------------------------------------------------------------------

    void formatIsUnsignedDecimalWithCrLfAfterEveryLine() {
        QCOMPARE(FormatArchive({{31, 2048}, {0, 0}, {255, 65535}, {66, 32768}}),
                 QByteArray("31&2048\r\n0&0\r\n255&65535\r\n66&32768\r\n"));
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<int>("badLine"); // 0: the file is good; -1: it holds no register line

        QTest::newRow("our own file") << kArchive
                                      << QStringLiteral("0&120 1&35 31&2048 32&600 153&3000 78&50 "
                                                        "64&13000 65&1608 66&40000 67&5000 68&1 "
                                                        "69&0 70&32767 71&32768 72&256 73&255 "
                                                        "74&7 75&8 255&65535")
                                      << 0;
        QTest::newRow("LF line ends") << QByteArray("31&2048\n71&0\n") << "31&2048 71&0" << 0;
        QTest::newRow("CR line ends") << QByteArray("31&2048\r71&0\r") << "31&2048 71&0" << 0;
        QTest::newRow("last line without end")
            << QByteArray("31&2048\r\n255&7") << "31&2048 255&7" << 0;
        QTest::newRow("blank lines and blanks skipped")
            << QByteArray("\r\n  31 & 2048 \r\n\t\r\n   \n255&7\r\n\r\n") << "31&2048 255&7" << 0;
        QTest::newRow("hand edit: any order, repeats")
            << QByteArray("255&1\r\n1&2\r\n255&3\r\n") << "255&1 1&2 255&3" << 0;
        QTest::newRow("leading zeros") << QByteArray("031&0007\r\n") << "31&7" << 0;
        QTest::newRow("editor's byte-order mark") << QByteArray("\xEF\xBB\xBF"
                                                                "31&2048\r\n")
                                                  << "31&2048" << 0;

        QTest::newRow("no separator") << QByteArray("31&2048\r\n322048\r\n") << "" << 2;
        QTest::newRow("no address") << QByteArray("&5\r\n") << "" << 1;
        QTest::newRow("no value") << QByteArray("31&\r\n") << "" << 1;
        QTest::newRow("value above 65535") << QByteArray("31&65536\r\n") << "" << 1;
        QTest::newRow("address above 65535") << QByteArray("65536&1\r\n") << "" << 1;
        QTest::newRow("endless number") << QByteArray("31&184467440737095516160\r\n") << "" << 1;
        QTest::newRow("negative value") << QByteArray("31&-1\r\n") << "" << 1;
        QTest::newRow("fraction") << QByteArray("31&2.5\r\n") << "" << 1;
        QTest::newRow("text after the value") << QByteArray("31&2048 A\r\n") << "" << 1;
        QTest::newRow("second separator") << QByteArray("31&20&48\r\n") << "" << 1;
        QTest::newRow("hexadecimal") << QByteArray("31&0x10\r\n") << "" << 1;
        QTest::newRow("NUL byte") << QByteArray("31&1\0", 5) << "" << 1;
        QTest::newRow("blank lines count") << QByteArray("1&1\r\n\r\n\n2&2\r\nbad\r\n") << "" << 5;
        QTest::newRow("bad line after good ones") << QByteArray("1&1\r\n2&2\r\n3&\r\n") << "" << 3;

        QTest::newRow("empty") << QByteArray() << "" << -1;
        QTest::newRow("blank lines only") << QByteArray("\r\n \r\n\t\n") << "" << -1;
    }
    void parse() {
        QFETCH(QByteArray, text);
        QFETCH(QString, entries);
        QFETCH(int, badLine);

        const ArchiveReading reading = ParseArchive(text);
        QCOMPARE(reading.ok, badLine == 0);
        QCOMPARE(describe(reading.entries), entries);
        if (badLine > 0) {
            QCOMPARE(reading.problem.kind, ArchiveProblem::Kind::MalformedLine);
            QCOMPARE(reading.problem.line, badLine);
        } else if (badLine < 0) {
            QCOMPARE(reading.problem.kind, ArchiveProblem::Kind::Empty);
        }
    }

    void filesThatCannotBeRead() {
        QCOMPARE(ReadArchiveFile(path(QStringLiteral("absent.txt"))).problem.kind,
                 ArchiveProblem::Kind::Unreadable);
        QCOMPARE(ReadArchiveFile(folder_.path()).problem.kind, ArchiveProblem::Kind::Unreadable);

        QFile big(path(QStringLiteral("big.txt")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(kMaxArchiveFileBytes + 1));
        big.close();
        QCOMPARE(ReadArchiveFile(big.fileName()).problem.kind, ArchiveProblem::Kind::TooLarge);
    }

    // --- Save and write against the drive ---------------------------------------------------

    void saveReadsTheNineteenRegistersInOrder() {
        Rig rig;
        const QString file = path(QStringLiteral("drive.txt"));
        writeFile(file, QByteArray(500, 'x')); // an older, longer file is replaced entirely
        QCOMPARE(SaveArchive(rig.link, file).outcome, ArchiveSaveResult::Outcome::Saved);
        QCOMPARE(readFile(file), kArchive);

        const QVector<Request> requests = requestsOf(rig.drive);
        QCOMPARE(requests.size(), 19);
        for (int line = 0; line < 19; ++line) {
            QCOMPARE(requests[line].function, 3);
            QCOMPARE(requests[line].address, int(reg::ArchiveRegisters[line]));
            QCOMPARE(requests[line].value, 1);
        }
        QVERIFY(!rig.link.busy());
    }

    void roundTripFileDriveFile() {
        // A hand-written file in its own order, with LF ends and values with the high bit set.
        Rig rig;
        const QString source = path(QStringLiteral("hand.txt"));
        writeFile(source, "255&6\n0&99\n1&98\n31&512\n32&1500\n153&6000\n78&100\n64&40001\n"
                          "65&65535\n66&0\n67&1\n68&2\n69&3\n70&4\n71&0\n72&256\n73&0\n74&9\n"
                          "75&32768\n");
        const ArchiveReading reading = ReadArchiveFile(source);
        QVERIFY(reading.ok);
        QVERIFY(WriteArchive(rig.link, reading.entries));

        const QVector<Request> writes = requestsOf(rig.drive);
        QCOMPARE(writes.size(), 19);
        for (int line = 0; line < 19; ++line) {
            QCOMPARE(writes[line].function, 6);
            QCOMPARE(writes[line].address, int(reading.entries[line].address));
            QCOMPARE(writes[line].value, int(reading.entries[line].value));
        }
        QCOMPARE(rig.drive.reg(64), quint16(40001));
        QCOMPARE(rig.drive.reg(65), quint16(65535));

        const QString saved = path(QStringLiteral("saved.txt"));
        QCOMPARE(SaveArchive(rig.link, saved).outcome, ArchiveSaveResult::Outcome::Saved);
        QCOMPARE(readFile(saved),
                 QByteArray("0&99\r\n1&98\r\n31&512\r\n32&1500\r\n153&6000\r\n78&100\r\n"
                            "64&40001\r\n65&65535\r\n66&0\r\n67&1\r\n68&2\r\n69&3\r\n70&4\r\n"
                            "71&0\r\n72&256\r\n73&0\r\n74&9\r\n75&32768\r\n255&6\r\n"));
    }

    // --- The window -------------------------------------------------------------------------

    void emptyPathAsksForALocation_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("save") << QStringLiteral("Command1");
        QTest::newRow("write") << QStringLiteral("Command2");
    }
    void emptyPathAsksForALocation() {
        QFETCH(QString, button);
        Rig rig;
        QVERIFY(rig.click(button));
        QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("请选择相应地址！")});
        QCOMPARE(rig.prompts.titles(), QStringList{QStringLiteral("提示")});
        QCOMPARE(rig.prompts.prompts.first().icon, Prompt::Icon::Information);
        QVERIFY(rig.drive.requests().isEmpty());
        QVERIFY(rig.control(QStringLiteral("Command1"))->isEnabled());
    }

    void saveAndWriteBackThroughTheWindow() {
        Rig rig;
        const QString file = path(QStringLiteral("window.txt"));
        rig.setPath(file);
        QCOMPARE(rig.window().ArchivePath(), file);
        QVERIFY(rig.click(QStringLiteral("Command1")));
        QCOMPARE(rig.prompts.texts(), QStringList{kSaved});
        QCOMPARE(rig.prompts.titles(), QStringList{kTitle});
        QCOMPARE(readFile(file), kArchive);

        rig.prompts.clear();
        rig.drive.clearRequests();
        for (const quint16 address : reg::ArchiveRegisters)
            rig.drive.setReg(address, 1);
        QVERIFY(rig.click(QStringLiteral("Command2")));
        QCOMPARE(rig.prompts.texts(), QStringList{kWritten});
        QCOMPARE(rig.prompts.titles(), QStringList{kTitle});
        QCOMPARE(rig.drive.requests().size(), 19);
        QCOMPARE(rig.drive.reg(66), quint16(40000));
        QCOMPARE(rig.drive.reg(255), quint16(65535));
    }

    void failedSaveLeavesTheFileAsItWas_data() {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("failingRead");
        QTest::newRow("existing file, first read fails") << true << 1;
        QTest::newRow("existing file, fifth read fails") << true << 5;
        QTest::newRow("no file yet, last read fails") << false << 19;
    }
    void failedSaveLeavesTheFileAsItWas() {
        QFETCH(bool, existing);
        QFETCH(int, failingRead);
        Rig rig;
        const QString file = path(QStringLiteral("kept.txt"));
        const QByteArray before("31&1024\r\n");
        if (existing)
            writeFile(file, before);
        rig.silenceFrom(failingRead);
        rig.setPath(file);
        QVERIFY(rig.click(QStringLiteral("Command1")));

        QCOMPARE(rig.prompts.texts(), (QStringList{kLinkFailure, kSaveFailed}));
        QCOMPARE(rig.prompts.titles(), (QStringList{QStringLiteral("通讯故障！"), kTitle}));
        QCOMPARE(readFile(file), existing ? before : QByteArray("<missing>"));
        // Nothing half-written is left lying about either.
        QCOMPARE(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 existing ? 1 : 0);
        // Four attempts at the failing register, none after it.
        QCOMPARE(rig.drive.requests().size(), failingRead - 1 + 4);
    }

    void saveThatFailsWhileWritingKeepsTheOldFile() {
        Rig rig;
        const QString file = path(QStringLiteral("full.txt"));
        const QByteArray before("31&1024\r\n");
        writeFile(file, before);
        rig.setPath(file);
        {
            // The disk runs full in the middle of writing the 19 lines.
            test::FileSizeLimit full(64);
            if (!full.ok())
                QSKIP("no way to fill the disk here");
            QVERIFY(rig.click(QStringLiteral("Command1")));
        }
        QCOMPARE(rig.prompts.texts(), QStringList{kSaveFailed});
        QCOMPARE(rig.prompts.titles(), QStringList{kTitle});
        QCOMPARE(rig.drive.requests().size(), 19);
        QCOMPARE(readFile(file), before);
        QCOMPARE(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("full.txt")});
        QVERIFY(rig.control(QStringLiteral("Command1"))->isEnabled());
    }

    void unwritablePathFailsBeforeAskingTheDrive_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/a.txt");
        QTest::newRow("a folder") << QString();
    }
    void unwritablePathFailsBeforeAskingTheDrive() {
        QFETCH(QString, target);
        Rig rig;
        rig.setPath(target.isEmpty() ? folder_.path() : path(target));
        QVERIFY(rig.click(QStringLiteral("Command1")));
        QCOMPARE(rig.prompts.texts(), QStringList{kSaveFailed});
        QCOMPARE(rig.prompts.titles(), QStringList{kTitle});
        QVERIFY(rig.drive.requests().isEmpty());
    }

    void writeStopsAtTheFirstFailedLine() {
        Rig rig;
        const QString file = path(QStringLiteral("five.txt"));
        writeFile(file, "31&1\r\n32&2\r\n153&3\r\n78&4\r\n64&5\r\n65&6\r\n66&7\r\n");
        rig.silenceFrom(5);
        rig.setPath(file);
        QVERIFY(rig.click(QStringLiteral("Command2")));

        QCOMPARE(rig.prompts.texts(), (QStringList{kLinkFailure, kWriteFailed}));
        QCOMPARE(rig.prompts.titles().last(), kTitle);
        QCOMPARE(rig.drive.reg(31), quint16(1));
        QCOMPARE(rig.drive.reg(78), quint16(4));
        // Line 5 was asked four times without an answer; nothing after it was sent.
        QCOMPARE(rig.drive.reg(65), quint16(1608));
        QCOMPARE(rig.drive.reg(66), quint16(40000));
        QCOMPARE(rig.drive.requests().size(), 4 + 4);
    }

    void refusedFileWritesNothing_data() {
        QTest::addColumn<QByteArray>("content"); // "<none>": no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file")
            << QByteArray("<none>") << QStringLiteral("无法读取存档文件，未写入任何参数！");
        QTest::newRow("empty file")
            << QByteArray() << QStringLiteral("存档文件中没有参数，未写入任何参数！");
        QTest::newRow("malformed third line")
            << QByteArray("31&100\r\n\r\n255&70000\r\n32&1\r\n")
            << QStringLiteral("存档文件第3行格式有误（应为“地址&数值”，均为 0 到 65535 的整数），"
                              "未写入任何参数！");
        QTest::newRow("line without separator")
            << QByteArray("31&100\r\n32\r\n")
            << QStringLiteral("存档文件第2行格式有误（应为“地址&数值”，均为 0 到 65535 的整数），"
                              "未写入任何参数！");
    }
    void refusedFileWritesNothing() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Rig rig;
        const QString file = path(QStringLiteral("refused.txt"));
        if (content != "<none>")
            writeFile(file, content);
        rig.setPath(file);
        QVERIFY(rig.click(QStringLiteral("Command2")));
        QCOMPARE(rig.prompts.texts(), QStringList{message});
        QCOMPARE(rig.prompts.titles(), QStringList{kTitle});
        QVERIFY(rig.drive.requests().isEmpty());
        QVERIFY(rig.control(QStringLiteral("Command2"))->isEnabled());
    }

    void windowIsLockedWhileATransferRuns_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::newRow("save") << QStringLiteral("Command1")
                              << QStringLiteral("写入硬盘中，请等待.. ");
        QTest::newRow("write") << QStringLiteral("Command2")
                               << QStringLiteral("写入芯片中，请等待..");
    }
    void windowIsLockedWhileATransferRuns() {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        Rig rig;
        const QString file = path(QStringLiteral("locked.txt"));
        writeFile(file, kArchive);
        rig.setPath(file);
        const QStringList lists{"Drive1", "Dir1", "File1"};
        const QStringList inputs{"Text1", "Command1", "Command2"};
        auto* label = rig.control<QLabel>(QStringLiteral("Label1"));
        QVERIFY(label->isHidden());

        int checks = 0;
        rig.clock.onEvents = [&] {
            if (checks++ > 0)
                return;
            QVERIFY(label->isVisible());
            QCOMPARE(label->text(), caption);
            QVERIFY(!rig.window().isEnabled());
            for (const QString& name : lists)
                QVERIFY2(rig.control(name)->isHidden(), qPrintable(name));
            for (const QString& name : inputs)
                QVERIFY2(!rig.control(name)->isEnabled(), qPrintable(name));
        };
        QVERIFY(rig.click(button));
        QVERIFY(checks > 0);
        rig.clock.onEvents = nullptr;

        QVERIFY(label->isHidden());
        QCOMPARE(label->text(), QString());
        QVERIFY(rig.window().isEnabled());
        for (const QString& name : lists)
            QVERIFY2(rig.control(name)->isVisible(), qPrintable(name));
        for (const QString& name : inputs)
            QVERIFY2(rig.control(name)->isEnabled(), qPrintable(name));
    }

    void closeDuringATransferWaitsForItsEnd() {
        Rig rig;
        rig.setPath(path(QStringLiteral("close.txt")));
        bool closedAtOnce = true;
        rig.clock.onEvents = [&] {
            if (rig.drive.requests().size() == 3 && closedAtOnce)
                closedAtOnce = rig.window().close();
        };
        QVERIFY(rig.click(QStringLiteral("Command1")));
        QVERIFY(!closedAtOnce);
        QCOMPARE(rig.drive.requests().size(), 19);
        QCOMPARE(rig.prompts.texts(), QStringList{kSaved});
        QVERIFY(!rig.window().isVisible());
    }

    void transferWaitsWhileAnotherWindowHoldsTheLink_data() {
        QTest::addColumn<bool>("portClosesMeanwhile");
        QTest::newRow("the other work ends") << false;
        QTest::newRow("port closed meanwhile") << true;
    }
    void transferWaitsWhileAnotherWindowHoldsTheLink() {
        QFETCH(bool, portClosesMeanwhile);
        Rig rig;
        const QString file = path(QStringLiteral("later.txt"));
        rig.setPath(file);
        // Another window's work holds the drive; the clicks land while it waits.
        DriveWork other(rig.state.work());
        bool waited = false;
        other.submit([&] {
            rig.clock.onEvents = [&] {
                rig.clock.onEvents = nullptr;
                rig.control<QPushButton>(QStringLiteral("Command1"))->click();
                waited = rig.drive.requests().isEmpty() &&
                         rig.control<QLabel>(QStringLiteral("Label1"))->isVisible();
                // The window is disabled: nothing more starts.
                rig.control<QPushButton>(QStringLiteral("Command2"))->click();
            };
            rig.link.WaitMs(100);
            if (portClosesMeanwhile)
                rig.port.close();
        });
        QVERIFY(test::driveWorkEnded(rig.state.work()));
        QVERIFY(waited);

        if (portClosesMeanwhile) {
            QCOMPARE(rig.prompts.texts(), QStringList{QStringLiteral("请先配置通讯端口！")});
            QVERIFY(rig.drive.requests().isEmpty());
            QVERIFY(!QFileInfo::exists(file));
        } else {
            QCOMPARE(rig.prompts.texts(), QStringList{kSaved});
            QCOMPARE(readFile(file), kArchive);
            QCOMPARE(rig.drive.requests().size(), 19);
        }
        QVERIFY(rig.control(QStringLiteral("Command1"))->isEnabled());
    }

    void pathJoin_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("joined");
        QTest::newRow("root folder") << QDir::toNativeSeparators(QDir::rootPath())
                                     << QDir::toNativeSeparators(QDir::rootPath() + "a.txt");
        QTest::newRow("subfolder") << QDir::toNativeSeparators(QStringLiteral("/data"))
                                   << QDir::toNativeSeparators(QStringLiteral("/data/a.txt"));
        QTest::newRow("nested subfolder")
            << QDir::toNativeSeparators(QStringLiteral("/home/user/archives"))
            << QDir::toNativeSeparators(QStringLiteral("/home/user/archives/a.txt"));
    }
    void pathJoin() {
        QFETCH(QString, folder);
        QFETCH(QString, joined);
        QCOMPARE(JoinFolderAndFile(folder, QStringLiteral("a.txt")), joined);
    }

    void listsStartInTheCurrentFolderAndPickAFile() {
        QDir(folder_.path()).mkpath(QStringLiteral("sub"));
        writeFile(path(QStringLiteral("a.txt")), "1&1\r\n");
        writeFile(path(QStringLiteral("sub/b.txt")), "1&1\r\n");
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        Rig rig;
        rig.window();
        QDir::setCurrent(before);
        auto* drives = rig.control<DriveList>(QStringLiteral("Drive1"));
        auto* folders = rig.control<FolderList>(QStringLiteral("Dir1"));
        auto* files = rig.control<FileList>(QStringLiteral("File1"));
        const QString here = QDir::toNativeSeparators(QDir(folder_.path()).canonicalPath());

        QVERIFY(here.startsWith(drives->drive()));
        QCOMPARE(QDir(folders->path()).canonicalPath(), QDir(here).canonicalPath());
        QCOMPARE(files->count(), 1);
        QCOMPARE(files->item(0)->text(), QStringLiteral("a.txt"));

        const QList<QListWidgetItem*> sub =
            folders->findItems(QStringLiteral("sub"), Qt::MatchEndsWith);
        QCOMPARE(sub.size(), 1);
        emit folders->itemActivated(sub.first());
        QCOMPARE(files->count(), 1);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                          files->visualItemRect(files->item(0)).center());
        const QString chosen = rig.control<QLineEdit>(QStringLiteral("Text1"))->text();
        QCOMPARE(chosen, JoinFolderAndFile(folders->path(), QStringLiteral("b.txt")));
        QCOMPARE(rig.window().ArchivePath(), chosen);
        QVERIFY(QFileInfo(chosen).isFile());
    }

    void clickingTheSelectedFileAgainPutsItsPathBack() {
        writeFile(path(QStringLiteral("a.txt")), "1&1\r\n");
        const QString before = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        Rig rig;
        rig.window();
        QDir::setCurrent(before);
        auto* files = rig.control<FileList>(QStringLiteral("File1"));
        auto* box = rig.control<QLineEdit>(QStringLiteral("Text1"));
        QCOMPARE(files->count(), 1);
        const QPoint onTheFile = files->visualItemRect(files->item(0)).center();
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, onTheFile);
        const QString chosen = box->text();
        QCOMPARE(chosen, JoinFolderAndFile(files->path(), QStringLiteral("a.txt")));

        // The path is typed over, then the same file, still selected, is clicked again.
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("other.txt"));
        QCOMPARE(rig.window().ArchivePath(), QStringLiteral("other.txt"));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, onTheFile);
        QCOMPARE(box->text(), chosen);
        QCOMPARE(rig.window().ArchivePath(), chosen);
    }

    void menuOpensTheWindowInTheTopLeftCorner() {
        test::ShellRig shell(QStringLiteral("x7"));
        installStorageWindow(*shell.window);
        QVERIFY(shell.openLink());
        QVERIFY(shell.trigger(QStringLiteral("ParaDataLib")));
        auto* window = shell.widget<ArchiveWindow>(QStringLiteral("Form7"));
        QVERIFY(window);
        QCOMPARE(shell.frameOf(QStringLiteral("Form7"))->pos(), QPoint(0, 0));
        QCOMPARE(shell.frameOf(QStringLiteral("Form7"))->windowTitle(), QStringLiteral("存档参数"));
    }
};

QTEST_MAIN(ArchiveTest)
#include "tst_archive.moc"
