// The step history on disk: the CSV form of a run, file names, runs of the same millisecond, the
// newest 500 kept, and a folder that cannot be written.

#include "currentloop/StepCsv.h"
#include "currentloop/StepHistory.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Unwritable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using kiro::StepHistory;
using kiro::StepRun;

namespace {

StepRun runAt(const QDateTime& time, std::optional<int> kp = 1000, std::optional<int> ki = 300) {
    return {{0.0f, 0.5f, -0.0009765625f, 1.5f}, kp, ki, 1.5, QStringLiteral("x7"), time};
}

const QDateTime kTime(QDate(2026, 12, 11), QTime(3, 25, 13, 123), Qt::UTC);

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

class StepHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void csvCarriesTheRunAndItsSettings_data() {
        QTest::addColumn<std::optional<int>>("kp");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("name");
        QTest::newRow("gains known") << std::optional<int>(1000) << QByteArray("# kp=1000\n")
                                     << "20261211-032513-123_x7_kp1000_ki300.csv";
        QTest::newRow("Kp left as the drive had it")
            << std::optional<int>() << QByteArray("# kp=\n") << "20261211-032513-123_x7_ki300.csv";
    }
    void csvCarriesTheRunAndItsSettings() {
        QFETCH(std::optional<int>, kp);
        QFETCH(QByteArray, head);
        QFETCH(QString, name);
        const StepRun run = runAt(kTime, kp);
        QCOMPARE(kiro::FormatStepCsv(run), head + "# ki=300\n"
                                                  "# i_test=1.5\n"
                                                  "# variant=x7\n"
                                                  "# time=2026-12-11T03:25:13.123Z\n"
                                                  "sample,amperes\n"
                                                  "0,0\n"
                                                  "1,0.5\n"
                                                  "2,-0.0009765625\n"
                                                  "3,1.5\n");
        QCOMPARE(StepHistory::fileNameOf(run), name);
    }

    void runsOfTheSameMomentAreAllKept() {
        QTemporaryDir folder;
        const StepHistory history(folder.filePath(QStringLiteral("steps")));
        QVERIFY(!history.keep(runAt(kTime)));
        QVERIFY(!history.keep(runAt(kTime)));
        QCOMPARE(filesIn(history.folder()),
                 (QStringList{"20261211-032513-123_x7_kp1000_ki300-2.csv",
                              "20261211-032513-123_x7_kp1000_ki300.csv"}));
    }

    void theNewestRunsAreKept() {
        QTemporaryDir folder;
        const StepHistory history(folder.path());
        // A year of runs, one a day, older than the one kept now; and a file of the user's own.
        for (int day = 0; day < StepHistory::kKeptRuns + 5; ++day) {
            QFile file(QDir(folder.path())
                           .filePath(StepHistory::fileNameOf(runAt(kTime.addDays(-600 + day)))));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile own(folder.filePath(QStringLiteral("notes.csv")));
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.close();

        QVERIFY(!history.keep(runAt(kTime)));
        const QStringList files = filesIn(folder.path());
        QCOMPARE(files.size(), StepHistory::kKeptRuns + 1);
        QVERIFY(files.contains(QStringLiteral("notes.csv")));
        QVERIFY(files.contains(StepHistory::fileNameOf(runAt(kTime))));
        // The six oldest went: the first kept is the seventh day.
        QCOMPARE(files.first(), StepHistory::fileNameOf(runAt(kTime.addDays(-600 + 6))));
    }

    void unwritableFolderIsReported() {
        QTemporaryDir folder;
        kiro::test::Unwritable readOnly(folder.path());
        if (!readOnly.ok())
            QSKIP("the folder cannot be made read-only here");
        const StepHistory inside(folder.filePath(QStringLiteral("steps")));
        const StepHistory at(folder.path());
        QVERIFY(inside.keep(runAt(kTime)).has_value());
        QVERIFY(at.keep(runAt(kTime)).has_value());
        QVERIFY(filesIn(folder.path()).isEmpty());
    }

    // A disk that runs full in the middle of the file leaves nothing behind, not even a part.
    void fullDiskLeavesNoPartOfTheRun() {
        QTemporaryDir folder;
        const StepHistory history(folder.path());
        StepRun run = runAt(kTime);
        run.samples.fill(0.5f, 200);
        const kiro::test::FileSizeLimit full(1000);
        if (!full.ok())
            QSKIP("no file size limit here");
        QVERIFY(history.keep(run).has_value());
        QVERIFY(filesIn(folder.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(StepHistoryTest)
#include "tst_stephistory.moc"
