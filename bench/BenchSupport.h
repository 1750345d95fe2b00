#pragma once

#include "link/Prompts.h"
#include "link/SerialPort.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>
#include <cstdio>
#include <ctime>

// What every benchmark needs around the drive: messages counted on standard error, the CPU time
// of the process, and qzdrive-sim serving COM1 in the port map of the configuration folder the
// benchmark runs with (XDG_CONFIG_HOME).

class CountingPrompter : public kiro::Prompter {
public:
    kiro::PromptAnswer ask(const kiro::Prompt& prompt) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt.text));
        ++shown;
        return kiro::PromptAnswer::Ok;
    }
    int shown = 0;
};

inline double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Starts the drive of the variant on COM1 and waits until it is published; says why on standard
// error when it is not.
inline bool startDriveOnCom1(QProcess& drive, const QString& variant) {
    drive.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    drive.start(
        QStringLiteral(KIROTUNE_SIM_PATH),
        {QStringLiteral("--variant"), variant, QStringLiteral("--port"), QStringLiteral("COM1")});
    const QString link = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Kirotune/dosdevices/COM1");
    for (int i = 0; i < 100 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(50);
    if (!QFileInfo(link).isSymLink()) {
        std::fprintf(stderr, "qzdrive-sim did not publish COM1\n");
        return false;
    }
    return true;
}

// The waits of one transaction at 38400 baud, in whole milliseconds as the link counts them: T
// before the reply is read, the wait after reading it, and the settle wait T when asked for.
inline double waitsOf(int length, bool settle) {
    const int t = length * 10 / 38 + 30;
    const int afterReading = length / 38 + 30;
    return t + afterReading + (settle ? t : 0);
}

// Opens the port at 38400 baud as the communication window does; says why when it cannot.
inline bool openCom1(kiro::SerialPort& port) {
    port.setPortNumber(1);
    port.setSettings(QStringLiteral("38400,n,8,1"));
    port.setBinaryInput(true);
    if (!port.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(port.errorString()));
        return false;
    }
    return true;
}
