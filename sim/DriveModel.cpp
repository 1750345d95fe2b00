#include "DriveModel.h"

#include "GeneratorRegisters.h"
#include "link/Crc16.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"

#include <algorithm>
#include <cmath>

namespace kiro::sim {

namespace {

constexpr quint8 kRead = modbus::kReadHolding;
constexpr quint8 kWrite = modbus::kWriteSingle;
constexpr quint8 kIllegalFunction = 1;
constexpr quint8 kIllegalAddress = 2;
constexpr quint8 kIllegalValue = 3;

quint16 wordAt(const QByteArray& frame, int offset) {
    return quint16(quint8(frame[offset]) << 8 | quint8(frame[offset + 1]));
}

void appendWord(QByteArray& frame, quint16 word) {
    frame.append(char(word >> 8));
    frame.append(char(word & 0xFF));
}

void appendCrc(QByteArray& frame) {
    const Crc16 crc = ComputeCrc16(frame);
    frame.append(char(crc.low));
    frame.append(char(crc.high));
}

bool crcMatches(const QByteArray& frame) {
    if (frame.size() < 4)
        return false;
    const Crc16 crc = ComputeCrc16(frame.left(frame.size() - 2));
    return quint8(frame[frame.size() - 2]) == crc.low &&
           quint8(frame[frame.size() - 1]) == crc.high;
}

quint16 q10(double amperes) {
    return quint16(qint16(std::lround(amperes * 1024.0)));
}

// Power-on values of a drive fresh from the factory, as a bench engineer would find them.
void loadDefaults(std::array<quint16, 65536>& r, ReplyLayout layout) {
    const bool x7 = layout == ReplyLayout::WideByteCount;
    r[reg::CurrentLoopKp] = x7 ? 1000 : 900;
    r[reg::CurrentLoopKi] = x7 ? 300 : 260;
    r[reg::StepTestCurrent] = q10(1.0);
    r[reg::PeakCurrent] = q10(3.0);
    r[reg::SpeedOrMicrosteps] = x7 ? 300 : 1600; // rpm, or pulses per revolution
    r[reg::Resonance1Amplitude] = 2600;
    r[reg::Resonance1Phase] = 800;
    r[reg::Resonance2Amplitude] = 1800;
    r[reg::Resonance2Phase] = 640;
    r[reg::Resonance3Amplitude] = 64;
    r[reg::Resonance3Phase] = 128;
    r[reg::IdleCurrentPercent] = 50;
    r[reg::IdleCurrentTimeMs] = 1000;
    r[reg::PulseFilterEnable] = 1;
    r[reg::MidSpeedSuppression] = 1500;
    r[reg::InputConfiguration] = 0; // PUL/DIR, rising edge, low level forward

    if (x7) {
        // The X7 keeps its jog settings at addresses that are also fault history columns 5 to 9.
        r[reg::Resonance1Lower] = 100;
        r[reg::Resonance1Upper] = 400;
        r[reg::Resonance2Lower] = 400;
        r[reg::Resonance2Upper] = 900;
        r[reg::Resonance3Lower] = 900;
        r[reg::Resonance3Upper] = 1500;
        r[reg::JogAcceleration] = 100;
        r[reg::JogHighSpeed] = 600;
        r[reg::JogLowSpeed] = 60;
    }
    LoadGeneratorDefaults(r, layout);
}

} // namespace

DriveModel::DriveModel(ReplyLayout layout, quint8 station) : layout_(layout), station_(station) {
    loadDefaults(registers_, layout_);
    stored_ = registers_;
}

quint16 DriveModel::reg(int address) const {
    return visibleReg(address);
}

void DriveModel::setReg(int address, quint16 value) {
    if (address < 0 || address >= int(registers_.size()))
        return;
    const int sample = address - reg::StepResponseFirst;
    if (stepTestRunning_ && sample >= 0 && sample < int(capture_.size()))
        capture_[size_t(sample)] = value;
    else
        registers_[size_t(address)] = value;
}

quint16 DriveModel::storedReg(int address) const {
    if (address < 0 || address >= int(stored_.size()))
        return 0;
    return stored_[size_t(address)];
}

quint16 DriveModel::visibleReg(int address) const {
    if (address < 0 || address >= int(registers_.size()))
        return 0;
    const int sample = address - reg::StepResponseFirst;
    if (stepTestRunning_ && sample >= 0 && sample < int(capture_.size()))
        return capture_[size_t(sample)];
    return registers_[size_t(address)];
}

QByteArray DriveModel::answer(const QByteArray& request) {
    requests_.append(request);
    if (const auto gains = loop_.takeTunedGains()) {
        registers_[reg::CurrentLoopKp] = gains->kp;
        registers_[reg::CurrentLoopKi] = gains->ki;
    }
    if (request.size() < 4 || !crcMatches(request))
        return {};
    const quint8 station = quint8(request[0]);
    const bool broadcast = station == 0;
    if (station != station_ && !broadcast)
        return {};
    const quint8 function = quint8(request[1]);
    if ((function == kWrite || function == kRead) && request.size() != 8)
        return {}; // a known function in a frame of the wrong size is no request at all
    if (function == kWrite)
        return writeReply(request, broadcast);
    if (broadcast)
        return {}; // a broadcast is never answered, not even with an exception
    if (function == kRead)
        return readReply(request);
    return exceptionReply(function, kIllegalFunction);
}

QByteArray DriveModel::readReply(const QByteArray& request) {
    const int address = wordAt(request, 2);
    const int count = wordAt(request, 4);
    if (count < 1 || count > kMaxReadCount)
        return exceptionReply(kRead, kIllegalValue);
    if (address + count > 65536)
        return exceptionReply(kRead, kIllegalAddress);

    QByteArray reply;
    reply.append(char(station_));
    reply.append(char(kRead));
    const int byteCount = 2 * count;
    if (layout_ == ReplyLayout::WideByteCount)
        appendWord(reply, quint16(byteCount));
    else
        reply.append(char(byteCount & 0xFF)); // one byte: a read of 200 says 144
    for (int j = 0; j < count; ++j)
        appendWord(reply, FaultRecord::isFaultRead(address, count) ? faults_.word(j)
                                                                   : visibleReg(address + j));
    appendCrc(reply);
    return reply;
}

QByteArray DriveModel::writeReply(const QByteArray& request, bool broadcast) {
    applyWrite(wordAt(request, 2), wordAt(request, 4));
    if (broadcast)
        return {};
    return request.left(8);
}

QByteArray DriveModel::exceptionReply(quint8 function, quint8 code) const {
    QByteArray reply;
    reply.append(char(station_));
    reply.append(char(function | 0x80));
    reply.append(char(code));
    appendCrc(reply);
    return reply;
}

void DriveModel::setStuck(quint16 address, quint16 value) {
    stuck_.insert(address, value);
    registers_[address] = value;
}

void DriveModel::applyWrite(quint16 address, quint16 value) {
    if (faults_.takeWrite(address, value))
        return; // the fault-clear command is never stored
    registers_[address] = stuck_.value(address, value);
    switch (address) {
    case reg::StepTestCommand:
        if (value == 1)
            runStepTest();
        else if (value == 0)
            stepTestRunning_ = false;
        break;
    case reg::CurrentLoopAutoTune:
        if (value == 1)
            runAutoTuning();
        break;
    case reg::EepromCommit:
        if (value == 1) {
            ++eepromCommits_;
            stored_ = registers_;
        }
        break;
    case reg::GeneratorRun:
        if (value == 1 || value == 0)
            generatorRunning_ = value == 1;
        break;
    default:
        break;
    }
}

void DriveModel::runStepTest() {
    stepTestRunning_ = true;
    if (!cannedResponse_.isEmpty()) {
        capture_.fill(0);
        for (int k = 0; k < int(capture_.size()) && k < cannedResponse_.size(); ++k)
            capture_[size_t(k)] = quint16(cannedResponse_[k]);
        return;
    }
    capture_ = loop_.recordStep(registers_[reg::CurrentLoopKp], registers_[reg::CurrentLoopKi],
                                qint16(registers_[reg::StepTestCurrent]));
}

void DriveModel::runAutoTuning() {
    ++autoTunings_;
    loop_.startAutoTuning();
}

QList<Delivery> DriveModel::respond(const QByteArray& request) {
    QList<Delivery> deliveries;
    const QByteArray reply = answer(request);
    if (reply.isEmpty())
        return deliveries;
    if (fault_.kind == Misbehaviour::None || fault_.count == 0) {
        deliveries.append({replyDelayMs_, reply});
        return deliveries;
    }
    if (fault_.count > 0)
        --fault_.count;
    misbehave(reply, deliveries);
    return deliveries;
}

void DriveModel::misbehave(const QByteArray& reply, QList<Delivery>& deliveries) {
    QByteArray bytes = reply;
    switch (fault_.kind) {
    case Misbehaviour::None:
        break;
    case Misbehaviour::Silent:
        return;
    case Misbehaviour::Late:
        deliveries.append({fault_.delayMs, bytes});
        return;
    case Misbehaviour::InPieces: {
        const int half = int(bytes.size()) / 2;
        deliveries.append({replyDelayMs_, bytes.left(half)});
        deliveries.append({replyDelayMs_ + fault_.delayMs, bytes.mid(half)});
        return;
    }
    case Misbehaviour::CorruptCrc:
        bytes[bytes.size() - 1] = char(~quint8(bytes[bytes.size() - 1]));
        break;
    case Misbehaviour::OtherStation:
        bytes.chop(2);
        bytes[0] = char(quint8(station_ + 1));
        appendCrc(bytes);
        break;
    case Misbehaviour::StrayBytes:
        bytes.prepend(char(0xFF));
        break;
    case Misbehaviour::ShortReply:
        bytes.chop(1);
        break;
    case Misbehaviour::ExceptionReply:
        bytes = exceptionReply(quint8(reply[1]) & 0x7F, kIllegalAddress);
        break;
    }
    deliveries.append({replyDelayMs_, bytes});
}

} // namespace kiro::sim
