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

// Registers and values, in file order.
using Changes = QList<QPair<int, int>>;

// The archive text with the line of each given register holding another value.
QByteArray withValues(QByteArray archive, const Changes& changes) {
    for (const auto& [address, value] : changes) {
        const QByteArray head = QByteArray::number(address) + '&';
        const qsizetype at = archive.startsWith(head) ? 0 : archive.indexOf("\n" + head) + 1;
        const qsizetype end = archive.indexOf("\r\n", at);
        archive.replace(at, end - at, head + QByteArray::number(value));
    }
    return archive;
}

// The value the archive text gives the register.
int valueIn(const QByteArray& archive, int address) {
    for (const QByteArray& line : archive.split('\n'))
        if (line.startsWith(QByteArray::number(address) + '&'))
            return line.mid(line.indexOf('&') + 1).trimmed().toInt();
    return -1;
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

    void verify_data() {
        // Registers whose line the file changes (in file order), with their names.
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("the drive holds the file") << Changes{} << QStringList{} << 0;
        QTest::newRow("one register") << Changes{{66, 7}} << QStringList{"Resonance1Lower"} << 4;
        QTest::newRow("the last register")
            << Changes{{255, 7}} << QStringList{"InputConfiguration"} << 4;
        QTest::newRow("first and last") << Changes{{0, 65535}, {255, 7}}
                                        << QStringList{"CurrentLoopKp", "InputConfiguration"} << 4;
    }
    void verify() {
        QFETCH(Changes, changes);
        QFETCH(QStringList, names);
        QFETCH(int, exitCode);
        const QString archive = file(QStringLiteral("verify.txt"));
        QCOMPARE(qzcli(on() + QStringList{"archive", "save", archive}).exitCode, 0);
        const QByteArray saved = readFile(archive);
        const QByteArray edited = withValues(saved, changes);
        writeFile(archive, edited);

        const Run run = qzcli(on() + QStringList{"archive", "verify", archive});
        QCOMPARE(run.exitCode, exitCode);
        QString expected = QStringLiteral("register,name,file,drive\n");
        for (int i = 0; i < changes.size(); ++i)
            expected += QStringLiteral("%1,%2,%3,%4\n")
                            .arg(changes[i].first)
                            .arg(names[i])
                            .arg(changes[i].second)
                            .arg(valueIn(saved, changes[i].first));
        QCOMPARE(run.out, expected);
        QVERIFY2(run.err.contains(QStringLiteral("read 255 = %1 (19/19)").arg(valueIn(saved, 255))),
                 qPrintable(run.err));
        QCOMPARE(readFile(archive), edited);
    }

    // The drive keeps what the last of two lines for one register writes; the earlier line is no
    // difference.
    void restoreVerifyComparesWhatTheFileLeaves() {
        const QString archive = file(QStringLiteral("twice.txt"));
        writeFile(archive, "31&1024\r\n78&40\r\n31&2048\r\n");
        const Run run = qzcli(on() + QStringList{"archive", "restore", "--verify", archive});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("register,name,file,drive\n"));
        QVERIFY2(run.err.contains(QStringLiteral("read 78 = 40 (2/2)")), qPrintable(run.err));
        QCOMPARE(qzcli(on() + QStringList{"read", "31"}).out, QStringLiteral("31 2048 2048\n"));
    }

    void stuckRegisterShowsAfterRestoreVerify() {
        const QString archive = file(QStringLiteral("stuck.txt"));
        writeFile(archive, "31&2048\r\n255&2\r\n");
        startDrive({"--stuck", "255=5", "--stuck", "0x1F=3000"});
        const Run plain = qzcli(on() + QStringList{"archive", "restore", archive});
        const Run verified = qzcli(on() + QStringList{"archive", "restore", archive, "--verify"});
        startDrive();

        // Every write is acknowledged: without reading back, the restore looks complete.
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(plain.out, QString());
        QCOMPARE(verified.exitCode, 4);
        QVERIFY2(verified.err.contains(QStringLiteral("wrote 255 := 2 (2/2)")),
                 qPrintable(verified.err));
        QCOMPARE(verified.out, QStringLiteral("register,name,file,drive\n"
                                              "31,PeakCurrent,2048,3000\n"
                                              "255,InputConfiguration,2,5\n"));
        QVERIFY2(verified.err.contains(QStringLiteral("2 of 2 registers differ from")),
                 qPrintable(verified.err));
    }

    void refusedBeforeTheDriveIsAsked_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("complaint");
        // COM9 does not exist: reaching for the port would end with exit code 3.
        const QStringList x7 = on(QStringLiteral("x7"), QStringLiteral("COM9"));
        QTest::newRow("malformed file") << x7 + QStringList{"archive", "restore", "bad.txt"}
                                        << QStringLiteral("line 2 is not \"address&value\"");
        QTest::newRow("missing file") << x7 + QStringList{"archive", "restore", "none.txt"}
                                      << QStringLiteral("cannot be read (");
        QTest::newRow("QZ318 drive") << on(QStringLiteral("qz318"), QStringLiteral("COM9")) +
                                            QStringList{"archive", "save", "a.txt"}
                                     << QStringLiteral("usage:");
        QTest::newRow("no file") << x7 + QStringList{"archive", "save"} << QStringLiteral("usage:");
        QTest::newRow("unknown verb")
            << x7 + QStringList{"archive", "load", "a.txt"} << QStringLiteral("usage:");
        QTest::newRow("verify a malformed file")
            << x7 + QStringList{"archive", "verify", "bad.txt"}
            << QStringLiteral("line 2 is not \"address&value\"");
        QTest::newRow("verify a missing file") << x7 + QStringList{"archive", "verify", "none.txt"}
                                               << QStringLiteral("cannot be read (");
        QTest::newRow("restore --verify a malformed file")
            << x7 + QStringList{"archive", "restore", "--verify", "bad.txt"}
            << QStringLiteral("line 2 is not \"address&value\"");
        QTest::newRow("verify an empty file") << x7 + QStringList{"archive", "verify", "empty.txt"}
                                              << QStringLiteral("holds no parameters");
        QTest::newRow("--verify with save")
            << x7 + QStringList{"archive", "save", "--verify", "a.txt"} << QStringLiteral("usage:");
    }
    void refusedBeforeTheDriveIsAsked() {
        QFETCH(QStringList, args);
        QFETCH(QString, complaint);
        writeFile(file(QStringLiteral("bad.txt")), "31&100\r\n31&\r\n");
        writeFile(file(QStringLiteral("empty.txt")), "\r\n");
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
        QVERIFY2(run.err.contains(QStringLiteral("cannot be written")), qPrintable(run.err));
        QVERIFY(!run.err.contains(QStringLiteral("read ")));
    }

    void silentDrive() {
        QVERIFY(QDir(files_.path()).mkpath(QStringLiteral("silent")));
        const QString archive = file(QStringLiteral("silent/kept.txt"));
        writeFile(archive, "31&1024\r\n");
        startDrive({"--fault", "silent"});
        const Run saving = qzcli(on() + QStringList{"archive", "save", archive});
        const Run writing = qzcli(on() + QStringList{"archive", "restore", archive});
        const Run verifying = qzcli(on() + QStringList{"archive", "verify", archive});
        startDrive();

        QCOMPARE(saving.exitCode, 1);
        const QString linkFailure = QStringLiteral(
            "communication error: the drive did not answer correctly; check the connection\n");
        QCOMPARE(
            saving.err,
            linkFailure +
                QStringLiteral("qzcli: the drive did not answer; %1 is unchanged\n").arg(archive));
        QCOMPARE(readFile(archive), QByteArray("31&1024\r\n"));
        QCOMPARE(QDir(file(QStringLiteral("silent"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("kept.txt")});
        QCOMPARE(writing.exitCode, 1);
        QCOMPARE(
            writing.err,
            linkFailure +
                QStringLiteral("qzcli: not every register of %1 reached the drive\n").arg(archive));
        QCOMPARE(verifying.exitCode, 1);
        QCOMPARE(verifying.out, QString());
        QCOMPARE(verifying.err, linkFailure + QStringLiteral("qzcli: the drive did not answer; it "
                                                             "was not compared with %1\n")
                                                  .arg(archive));
    }
};

QTEST_GUILESS_MAIN(ArchiveCliTest)
#include "tst_archive_cli.moc"
