#pragma once

#include "sim/DriveModel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <cstdio>

class QSocketNotifier;
class QTimer;

namespace kiro::sim {

// Serves a simulated drive on a real pseudo-terminal, so that a program opens it like a serial
// port. The terminal's slave side is published in the port map under a COM name.
class PtyDriveServer : public QObject {
    Q_OBJECT
public:
    explicit PtyDriveServer(DriveModel& drive, QObject* parent = nullptr);
    ~PtyDriveServer() override;

    // Opens the pseudo-terminal; false with a reason when the system has none to give.
    bool start(QString* error);
    // Makes portName ("COM1") lead to the terminal until stop().
    bool publish(const QString& portName, QString* error);
    // Withdraws the port-map link and closes the terminal.
    void stop();

    bool isRunning() const { return master_ >= 0; }
    const QString& slavePath() const { return slavePath_; }

    // Where each answered request is logged; nullptr for no log. Standard output by default.
    void setLogOutput(std::FILE* out) { log_ = out; }

signals:
    // One line per request: the request in hex, then the reply in hex or "silent".
    void requestHandled(const QString& line);

private:
    void readMaster();
    void frameRequests();
    void dropStalePartial();
    void handle(const QByteArray& request);
    void send(const QByteArray& bytes);
    void flushOutput();

    DriveModel& drive_;
    int master_ = -1;
    int slave_ = -1; // kept open so the master never sees a hang-up when a client closes
    QString slavePath_;
    QString publishedName_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer* staleTimer_ = nullptr;
    QByteArray inbox_;
    QByteArray outbox_;
    QElapsedTimer partialAge_;
    std::FILE* log_ = stdout;
};

} // namespace kiro::sim
