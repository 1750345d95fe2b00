// PtyDriveServer as a client on the terminal's slave side sees it: requests found in a noisy
// line, frames that went quiet forgotten, replies and their log lines, the port-map link.

#include "link/PortMap.h"
#include "link/RegisterMap.h"
#include "link/RequestFrame.h"
#include "sim/DriveModel.h"
#include "sim/PtyDriveServer.h"
#include "tests/support/PrivateConfigMain.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace kiro;
using namespace kiro::sim;

namespace {

QByteArray request(quint8 station, quint8 function, quint16 address, quint16 value) {
    return BuildRequestFrame(station, function, address, value)->bytes();
}

// The client end of the terminal, raw like a serial port opened by a program.
class Client {
public:
    explicit Client(const QString& path) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios line{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &line) == 0) {
            ::cfmakeraw(&line);
            ::tcsetattr(fd_, TCSANOW, &line);
        }
    }
    ~Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    bool send(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Lets the server run for the given time and collects what it sends back.
    QByteArray receiveFor(int ms) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            else
                QThread::msleep(2);
        }
        return got;
    }
    // Waits until n bytes have come back (or a generous deadline has passed).
    QByteArray receive(int n) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < n && timer.elapsed() < 10000)
            got.append(receiveFor(10));
        return got;
    }

private:
    int fd_ = -1;
};

} // namespace

class TstPtyDriveServer : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void requestFoundInNoise_data();
    void requestFoundInNoise();
    void quietPartialFrameIsForgotten();
    void logSaysWhatWasAnswered();
    void replyInPiecesArrivesWhole();
    void portMapLinkLivesWithTheServer();

private:
    std::unique_ptr<DriveModel> drive_;
    std::unique_ptr<PtyDriveServer> server_;
};

void TstPtyDriveServer::init() {
    drive_ = std::make_unique<DriveModel>(ReplyLayout::NarrowByteCount);
    server_ = std::make_unique<PtyDriveServer>(*drive_);
    server_->setLogOutput(nullptr);
    QString error;
    QVERIFY2(server_->start(&error), qPrintable(error));
}

void TstPtyDriveServer::cleanup() {
    server_.reset();
    drive_.reset();
}

void TstPtyDriveServer::requestFoundInNoise_data() {
    QTest::addColumn<QByteArray>("noise");
    QTest::newRow("none") << QByteArray();
    QTest::newRow("one byte") << QByteArray::fromHex("FF");
    QTest::newRow("zeros") << QByteArray(11, '\0');
    QTest::newRow("broken request") << request(1, 3, 0, 1).left(5);
}

void TstPtyDriveServer::requestFoundInNoise() {
    QFETCH(QByteArray, noise);
    Client client(server_->slavePath());
    QVERIFY(client.isOpen());
    QVERIFY(client.send(noise + request(1, 3, reg::PeakCurrent, 1)));
    QCOMPARE(client.receive(7).toHex(' '), QByteArray("01 03 02 0c 00 bd 44"));
}

void TstPtyDriveServer::quietPartialFrameIsForgotten() {
    Client client(server_->slavePath());
    const QByteArray write = request(1, 6, reg::PeakCurrent, 1000);
    QVERIFY(client.send(write.left(6)));
    QVERIFY(client.receiveFor(300).isEmpty());
    QVERIFY(client.send(write.mid(6)));
    QVERIFY(client.receiveFor(300).isEmpty());
    QCOMPARE(drive_->reg(reg::PeakCurrent), quint16(3072));

    // A frame that arrives in two quick pieces is one request.
    QVERIFY(client.send(write.left(6) + write.mid(6)));
    QCOMPARE(client.receive(8), write);
    QCOMPARE(drive_->reg(reg::PeakCurrent), quint16(1000));
}

void TstPtyDriveServer::logSaysWhatWasAnswered() {
    QSignalSpy lines(server_.get(), &PtyDriveServer::requestHandled);
    Client client(server_->slavePath());
    QVERIFY(client.send(request(2, 3, 0, 1)));
    QVERIFY(client.send(request(1, 6, 12, 1)));
    QCOMPARE(client.receive(8), request(1, 6, 12, 1));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0][0].toString(), QStringLiteral("02 03 00 00 00 01 84 39 -> silent"));
    QCOMPARE(lines[1][0].toString(),
             QStringLiteral("01 06 00 0C 00 01 88 09 -> 01 06 00 0C 00 01 88 09"));
    QCOMPARE(drive_->eepromCommits(), 1);
}

void TstPtyDriveServer::replyInPiecesArrivesWhole() {
    drive_->injectFault({Misbehaviour::InPieces, 100, 1});
    Client client(server_->slavePath());
    QVERIFY(client.send(request(1, 3, reg::FaultWordsFirst, 10)));
    const QByteArray reply = client.receive(25);
    QCOMPARE(reply.size(), 25);
    QCOMPARE(reply.toHex(), drive_->answer(request(1, 3, reg::FaultWordsFirst, 10)).toHex());
}

void TstPtyDriveServer::portMapLinkLivesWithTheServer() {
    const QString link = PortMap::folder() + QStringLiteral("/COM9");
    QString error;
    QVERIFY2(server_->publish(QStringLiteral("COM9"), &error), qPrintable(error));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(PortMap::devicePath(QStringLiteral("COM9")), server_->slavePath());
    server_->stop();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!server_->isRunning());
}

KIRO_TEST_MAIN_WITH_PRIVATE_CONFIG(TstPtyDriveServer)

#include "tst_ptydriveserver.moc"
