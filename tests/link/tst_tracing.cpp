// The trace of the tuners (--trace FILE) when its file stops taking lines: the record ends with
// the last whole line, the program is told once why, and the exchange it records goes on.

#include "link/TracingSerialPort.h"
#include "tests/support/FileSizeLimit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A port that takes every write and has nothing to read: only the trace is looked at here.
class QuietPort : public kiro::SerialPort {
public:
    void setPortNumber(int) override {}
    void setSettings(const QString&) override {}
    void setBinaryInput(bool) override {}
    bool open() override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool discardOutput() override { return true; }
    bool discardInput() override { return true; }
    int bytesWaiting() override { return 0; }
    bool readAll(QByteArray& bytes) override { return bytes.clear(), true; }
    bool write(const QByteArray& bytes) override { return written += bytes.size(), true; }
    QString errorString() const override { return {}; }

    qint64 written = 0;

private:
    bool open_ = false;
};

const QByteArray kFrame = QByteArray::fromHex("010300000001840A");

} // namespace

class TracingTest : public QObject {
    Q_OBJECT

private slots:
    void fullDiskStopsTheTraceAtAWholeLine_data() {
        QTest::addColumn<qint64>("room"); // bytes the file may grow by
        QTest::newRow("no room at all") << qint64(0);
        QTest::newRow("room for half a line") << qint64(20);
        QTest::newRow("room for two lines and a half") << qint64(90);
    }
    void fullDiskStopsTheTraceAtAWholeLine() {
        QFETCH(qint64, room);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("session.trace"));
        const QByteArray earlier = "an earlier session\n";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        }
        QuietPort port;
        QString error;
        const auto trace = kiro::TracingSerialPort::appendingTo(port, path, error);
        QVERIFY2(trace, qPrintable(error));
        QStringList told;
        trace->onFailure([&told](const QString& why) { told << why; });
        QVERIFY(trace->open());

        constexpr int kFrames = 10;
        {
            kiro::test::FileSizeLimit limit(earlier.size() + room);
            QVERIFY(limit.ok());
            for (int k = 0; k < kFrames; ++k)
                QVERIFY(trace->write(kFrame)); // the exchange itself goes on
        }
        QCOMPARE(port.written, qint64(kFrames * kFrame.size()));
        QCOMPARE(told.size(), 1);
        QVERIFY(!told.first().isEmpty());
        QVERIFY(trace->stopped());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray kept = file.readAll();
        QVERIFY(kept.startsWith(earlier));
        QVERIFY2(kept.endsWith('\n'), kept.constData());
        QVERIFY(kept.size() <= earlier.size() + room);
        const QList<QByteArray> lines = kept.mid(earlier.size()).split('\n');
        for (const QByteArray& line : lines.first(lines.size() - 1))
            QVERIFY2(line.endsWith("> 01 03 00 00 00 01 84 0A"), line.constData());
    }
};

QTEST_GUILESS_MAIN(TracingTest)
#include "tst_tracing.moc"
