#pragma once

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <modbus.h>

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// libmodbus, an independent Modbus RTU implementation, serving station 1 with 300 holding
// registers on the master side of a pseudo-terminal, so that our frames are checked by code that
// is not ours. The terminal's other side is slavePath(), or COMn once published.
class LibmodbusStation {
public:
    LibmodbusStation() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Held open so the master never sees a hang-up, and raw so nothing is echoed.
        keeper_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
        termios line{};
        if (keeper_ < 0 || ::tcgetattr(keeper_, &line) != 0)
            return;
        ::cfmakeraw(&line);
        ::tcsetattr(keeper_, TCSANOW, &line);

        ctx_ = modbus_new_rtu("/dev/null", 38400, 'N', 8, 1);
        mapping_ = modbus_mapping_new(0, 0, 300, 0);
        if (!ctx_ || !mapping_)
            return;
        modbus_set_slave(ctx_, 1);
        modbus_set_socket(ctx_, master_);
        modbus_set_indication_timeout(ctx_, 0, 200000); // wake up to notice the end of the test
        thread_ = std::thread([this] { serve(); });
    }
    ~LibmodbusStation() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (ctx_) {
            modbus_set_socket(ctx_, -1);
            modbus_free(ctx_);
        }
        if (mapping_)
            modbus_mapping_free(mapping_);
        if (keeper_ >= 0)
            ::close(keeper_);
        if (master_ >= 0)
            ::close(master_);
    }

    bool ready() const { return thread_.joinable(); }
    const QString& slavePath() const { return slavePath_; }

    // Links COMn of the port map (in the configuration folder the test runs with) to the station.
    bool publishAs(const QString& portName) const {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Kirotune/dosdevices");
        QDir().mkpath(folder);
        QFile::remove(folder + QLatin1Char('/') + portName);
        return QFile::link(slavePath_, folder + QLatin1Char('/') + portName);
    }

    quint16 reg(int address) {
        std::lock_guard lock(mutex_);
        return mapping_->tab_registers[address];
    }
    void setReg(int address, quint16 value) {
        std::lock_guard lock(mutex_);
        mapping_->tab_registers[address] = value;
    }

private:
    void serve() {
        quint8 query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int size = modbus_receive(ctx_, query);
            if (size > 0) {
                std::lock_guard lock(mutex_);
                modbus_reply(ctx_, query, size, mapping_);
            }
        }
    }

    int master_ = -1;
    int keeper_ = -1;
    QString slavePath_;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* mapping_ = nullptr;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
