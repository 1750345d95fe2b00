#pragma once

// A drive on the far side of a real pseudo-terminal, written for the probe's tests so that they
// depend on nothing but the kernel: it answers Modbus reads and writes of one station from a small
// register table, and can be told to stay silent, answer from another station, add stray bytes,
// send an exception reply, read more registers than asked, spoil the CRC, cut the last byte off,
// or hold the reply back until the test lets it go.

#include "probe/ProbeCrc16.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStandardPaths>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace probetest {

inline QByteArray withCrc(QByteArray bytes) {
    const auto crc = regprobe::ProbeCrc16(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          int(bytes.size()));
    bytes.append(char(crc & 0xFF));
    bytes.append(char(crc >> 8));
    return bytes;
}

class PtyDrive {
public:
    enum class Behaviour {
        Normal,
        Silent,
        StrayBeforeReply,
        Exception,
        OtherStation,
        ExtraRegister,
        BadCrc,
        CutReply,
        Held
    };

    PtyDrive() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
        // Holding the terminal open ourselves keeps the master from seeing a hang-up whenever the
        // probe closes its side.
        slave_ = ::open(slavePath_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { serve(); });
    }

    ~PtyDrive() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }

    bool valid() const { return master_ >= 0 && slave_ >= 0; }
    QString path() const { return slavePath_; }
    int slaveFd() const { return slave_; }

    // Makes portName ("COM3") lead to this terminal through the port map of the configuration
    // folder the tests point XDG_CONFIG_HOME at.
    bool publishAs(const QString& portName) const {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Kirotune/dosdevices");
        QDir().mkpath(folder);
        QFile::remove(folder + QLatin1Char('/') + portName);
        return QFile::link(slavePath_, folder + QLatin1Char('/') + portName);
    }

    void setBehaviour(Behaviour behaviour) {
        std::lock_guard lock(mutex_);
        behaviour_ = behaviour;
    }
    void setStation(int station) {
        std::lock_guard lock(mutex_);
        station_ = station;
    }
    void setRegister(int address, int value) {
        std::lock_guard lock(mutex_);
        registers_[address] = value;
    }
    int registerValue(int address) {
        std::lock_guard lock(mutex_);
        return registers_[address];
    }

    // Every byte the probe has written so far.
    QByteArray received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    void clearReceived() {
        std::lock_guard lock(mutex_);
        received_.clear();
        pending_.clear();
    }

    // Sends the replies held back so far, however late that is for the probe.
    void releaseHeld() {
        QByteArray held;
        {
            std::lock_guard lock(mutex_);
            held.swap(held_);
        }
        inject(held);
    }

    // Bytes on the line that answer nothing.
    void inject(const QByteArray& bytes) {
        [[maybe_unused]] const auto put = ::write(master_, bytes.constData(), bytes.size());
    }

private:
    void serve() {
        char buffer[512];
        while (!stop_) {
            pollfd pfd{master_, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0)
                continue;
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            QByteArray reply;
            bool holding = false;
            {
                std::lock_guard lock(mutex_);
                received_.append(buffer, got);
                pending_.append(buffer, got);
                while (pending_.size() >= 8) {
                    reply += answer(pending_.left(8));
                    pending_.remove(0, 8);
                }
                holding = behaviour_ == Behaviour::Held;
                if (holding)
                    held_ += reply;
            }
            if (!reply.isEmpty() && !holding)
                inject(reply);
        }
    }

    QByteArray answer(const QByteArray& request) {
        const auto byte = [&](int i) { return std::uint8_t(request[i]); };
        if (request != withCrc(request.left(6)) || byte(0) != station_ ||
            behaviour_ == Behaviour::Silent)
            return {};
        const int function = byte(1);
        const int address = byte(2) * 256 + byte(3);
        const int value = byte(4) * 256 + byte(5);
        const char from = char(behaviour_ == Behaviour::OtherStation ? station_ + 1 : station_);
        if (behaviour_ == Behaviour::Exception) {
            QByteArray exception;
            exception.append(from).append(char(function | 0x80)).append(char(0x02));
            return withCrc(exception);
        }

        QByteArray reply;
        if (function == 3) {
            const int count = value + (behaviour_ == Behaviour::ExtraRegister ? 1 : 0);
            reply.append(from).append(char(3)).append(char(2 * count));
            for (int i = 0; i < count; ++i) {
                const int word = registers_[address + i];
                reply.append(char(word >> 8));
                reply.append(char(word & 0xFF));
            }
            reply = withCrc(reply);
        } else if (function == 6) {
            registers_[address] = value;
            reply = request;
            reply[0] = from;
            reply = withCrc(reply.left(6));
        }
        if (behaviour_ == Behaviour::StrayBeforeReply)
            reply.prepend(QByteArray::fromHex("FF0011"));
        else if (behaviour_ == Behaviour::BadCrc)
            reply[reply.size() - 1] = char(reply[reply.size() - 1] ^ 0x01);
        else if (behaviour_ == Behaviour::CutReply)
            reply.chop(1);
        return reply;
    }

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};

    std::mutex mutex_;
    Behaviour behaviour_ = Behaviour::Normal;
    int station_ = 1;
    std::map<int, int> registers_;
    QByteArray received_;
    QByteArray pending_;
    QByteArray held_;
};

} // namespace probetest
