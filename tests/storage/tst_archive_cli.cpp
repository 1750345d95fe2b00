// qzcli's archive command as a script sees it: files, messages and exit codes, against
// qzdrive-sim on a real pseudo-terminal.

#include "tests/support/DriveProcess.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = ProgramRun;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList on(const QString& variant = QStringLiteral("x7"),
               const QString& port = QStringLiteral("COM1")) {
    return {"--variant", variant, "--port", port};
}

} // namespace

class ArchiveCliTest : public QObject {
    Q_OBJECT

    QTemporaryDir config_;
    QTemporaryDir files_;
    DriveProcess drive_{QStringLiteral(KIROTUNE_SIM_PATH)};

    QString file(const QString& name) const { return files_.filePath(name); }

    void startDrive(const QStringList& extra = {}) {
        QVERIFY(drive_.start(QStringList{"--variant", "x7"} + extra));
    }

    void stopDrive() { drive_.stop(); }

    Run qzcli(const QStringList& args) {
        return RunProgram(QStringLiteral(KIROTUNE_QZCLI_PATH), args);
    }

private slots:
    void initTestCase() {
        QVERIFY(config_.isValid());
        QVERIFY(files_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        startDrive();
    }
    void cleanupTestCase() { stopDrive(); }

    void saveAndRestore() {
        QVERIFY(qzcli(on() + QStringList{"write", "66", "40000"}).exitCode == 0);
        const QString archive = file(QStringLiteral("drive.txt"));
        Run run = qzcli(on() + QStringList{"archive", "save", archive});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.contains(QStringLiteral("read 66 = 40000 (9/19)")), qPrintable(run.err));
        const QByteArray saved = readFile(archive);
        QCOMPARE(saved.count("\r\n"), 19);
        QVERIFY(saved.startsWith("0&"));
        QVERIFY(saved.endsWith("\r\n"));
        QVERIFY(saved.contains("\r\n66&40000\r\n"));

        QVERIFY(qzcli(on() + QStringList{"write", "66", "1"}).exitCode == 0);
        run = qzcli(on() + QStringList{"archive", "restore", archive});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QStringLiteral("wrote 255 := ")), qPrintable(run.err));
        QCOMPARE(qzcli(on() + QStringList{"read", "66"}).out, QStringLiteral("66 40000 -25536\n"));
    }

    void refusedBeforeTheDriveIsAsked_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("complaint");
        // COM9 does not exist: reaching for the port would end with exit code 3.
        const QStringList x7 = on(QStringLiteral("x7"), QStringLiteral("COM9"));
        QTest::newRow("malformed file")
            << x7 + QStringList{"archive", "restore", "bad.txt"} << QStringLiteral("第2行格式有误");
        QTest::newRow("missing file") << x7 + QStringList{"archive", "restore", "none.txt"}
                                      << QStringLiteral("无法读取存档文件");
        QTest::newRow("QZ318 drive") << on(QStringLiteral("qz318"), QStringLiteral("COM9")) +
                                            QStringList{"archive", "save", "a.txt"}
                                     << QStringLiteral("usage:");
        QTest::newRow("no file") << x7 + QStringList{"archive", "save"} << QStringLiteral("usage:");
        QTest::newRow("unknown verb")
            << x7 + QStringList{"archive", "load", "a.txt"} << QStringLiteral("usage:");
    }
    void refusedBeforeTheDriveIsAsked() {
        QFETCH(QStringList, args);
        QFETCH(QString, complaint);
        writeFile(file(QStringLiteral("bad.txt")), "31&100\r\n31&\r\n");
        for (QString& word : args) {
            if (word.endsWith(QLatin1String(".txt")))
                word = file(word);
        }
        const Run run = qzcli(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(complaint), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void unwritableFileAsksNothing() {
        const Run run =
            qzcli(on() + QStringList{"archive", "save", file(QStringLiteral("no/such/a.txt"))});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("写入硬盘失败！")), qPrintable(run.err));
        QVERIFY(!run.err.contains(QStringLiteral("read ")));
    }

    void silentDrive() {
        QVERIFY(QDir(files_.path()).mkpath(QStringLiteral("silent")));
        const QString archive = file(QStringLiteral("silent/kept.txt"));
        writeFile(archive, "31&1024\r\n");
        startDrive({"--fault", "silent"});
        const Run saving = qzcli(on() + QStringList{"archive", "save", archive});
        const Run writing = qzcli(on() + QStringList{"archive", "restore", archive});
        startDrive();

        QCOMPARE(saving.exitCode, 1);
        QCOMPARE(saving.err, QStringLiteral("通讯故障！: 请检查连接后重新开启软件！\n"
                                            "下载提示: 写入硬盘失败！\n"));
        QCOMPARE(readFile(archive), QByteArray("31&1024\r\n"));
        QCOMPARE(QDir(file(QStringLiteral("silent"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("kept.txt")});
        QCOMPARE(writing.exitCode, 1);
        QCOMPARE(writing.err, QStringLiteral("通讯故障！: 请检查连接后重新开启软件！\n"
                                             "下载提示: 写入芯片失败！\n"));
    }
};

QTEST_GUILESS_MAIN(ArchiveCliTest)
#include "tst_archive_cli.moc"
