#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// The programs as a bench script meets them: qzdrive-sim in a process of its own, published in
// the port map of the configuration folder the test runs with (XDG_CONFIG_HOME), and a command
// run to its end with what it printed and its exit code.

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline ProgramRun RunProgram(const QString& program, const QStringList& args,
                             int timeoutMs = 60000) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(timeoutMs);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class DriveProcess {
public:
    explicit DriveProcess(QString program, QString port = QStringLiteral("COM1"))
        : program_(std::move(program)), port_(std::move(port)) {}
    ~DriveProcess() { stop(); }
    DriveProcess(const DriveProcess&) = delete;
    DriveProcess& operator=(const DriveProcess&) = delete;

    const QString& port() const { return port_; }
    // Where the port map links the drive's COM port.
    QString portLink() const {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/Kirotune/dosdevices/") + port_;
    }

    // Starts the drive with the given options (--variant ... and the rest) and waits until its
    // port is published. False when it did not come up.
    bool start(const QStringList& options) {
        stop();
        const QString link = portLink();
        QFile::remove(link);
        process_.start(program_, QStringList{"--port", port_} + options);
        if (!process_.waitForStarted())
            return false;
        return QTest::qWaitFor([&link] { return QFileInfo(link).isSymLink(); }, 10000);
    }

    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

    QProcess& process() { return process_; }

private:
    QString program_;
    QString port_;
    QProcess process_;
};
