#include "DriveLink.h"

#include "AttemptLimits.h"
#include "LinkClock.h"
#include "ModbusCodes.h"
#include "Prompts.h"
#include "RequestFrame.h"
#include "SerialPort.h"
#include "StatusDisplay.h"

#include <algorithm>

namespace kiro {

namespace {
constexpr quint8 kRead = modbus::kReadHolding;
constexpr quint8 kWrite = modbus::kWriteSingle;
const QString kLinkTitle = QStringLiteral("通讯故障！");
const QString kStationOrFunctionFailed = QStringLiteral("接收设备号功能码失败！");
const QString kCrcFailed = QStringLiteral("接收CRC失败！");
const QString kUnknownFunction = QStringLiteral("上位机故障！");
const QString kOverflow = QStringLiteral("溢出");
constexpr int kMaxIncompletePolls = 10;
} // namespace

DriveLink::DriveLink(SerialPort& port, LinkClock& clock, Prompter& prompter,
                     const LinkVariant& variant)
    : port_(port), clock_(clock), prompter_(prompter), variant_(variant) {
}

void DriveLink::SendRequest(quint8 station, quint8 function, float address, float value) {
    if (nestedInLink()) {
        // Another transaction is waiting underneath: do not touch its port traffic.
        ++refusals_;
        state_.replyError = kUnreachable;
        state_.requestSent = false;
        return;
    }
    state_.replyError = 0;
    state_.requestSent = false;
    state_.portFaulted = false;
    if (!port_.discardOutput() || !port_.discardInput()) {
        reportPortFault();
        return;
    }
    state_.lastValue = value;
    const auto frame = BuildRequestFrame(station, function, address, value);
    const auto expected = ExpectedReplyLengthFor(function, value, state_.expectedReplyLength);
    if (!frame || !expected) {
        // A value that cannot be sent is a failed transaction, never a silent success.
        state_.replyError = kUnreachable;
        tell(kOverflow, QString());
        return;
    }
    state_.txFrame = frame->data;
    state_.crcLow = frame->crc.low;
    state_.crcHigh = frame->crc.high;
    if (IsKnownFunction(function))
        state_.expectedReplyLength = *expected;
    else
        tell(kUnknownFunction, kLinkTitle);
    if (!port_.write(frame->bytes())) {
        reportPortFault();
        return;
    }
    state_.requestSent = true;
}

void DriveLink::WaitMs(int milliseconds) {
    if (milliseconds < 0)
        return;
    ++waitDepth_;
    const TransactionState underneath = state_;
    const int refusalsBefore = refusals_;
    clock_.waitMs(milliseconds, [&] {
        if (refusals_ != refusalsBefore)
            state_ = underneath;
    });
    --waitDepth_;
    tellIfFree();
}

void DriveLink::ReceiveReply(quint8 station, quint8 function) {
    if (!state_.requestSent)
        return; // nothing went out; ReplyError already says so
    const PendingRequest request{station, function, state_.expectedReplyLength, state_.lastValue,
                                 state_.txFrame};
    const int awaited = AwaitedReplyLength(variant_.layout, request);
    const int pollInterval = state_.expectedReplyLength / std::max<int>(1, baudKilo_) + 30;
    for (;;) {
        const int waiting = port_.bytesWaiting();
        if (waiting < 0) {
            reportPortFault();
            return;
        }
        if (waiting > awaited) {
            ++state_.replyError; // the surplus stays until the next request discards it
            return;
        }
        if (waiting == awaited)
            break;
        const bool givingUp = state_.replyError > kMaxIncompletePolls;
        ++state_.replyError;
        if (givingUp)
            return;
        WaitMs(pollInterval);
    }
    QByteArray reply;
    if (!port_.readAll(reply)) {
        reportPortFault();
        return;
    }
    state_.rxFrame = reply;
    WaitMs(pollInterval);

    const ReplyVerdict verdict = CheckReply(variant_.layout, request, state_.rxFrame);
    state_.replyError = quint8(state_.replyError + verdict.failedChecks);
    if (verdict.crc) {
        state_.crcLow = verdict.crc->low;
        state_.crcHigh = verdict.crc->high;
    }
    if (verdict.values)
        state_.readValues = *verdict.values;
    switch (verdict.complaint) {
    case ReplyVerdict::Complaint::StationOrFunction:
        tell(kStationOrFunctionFailed, kLinkTitle);
        break;
    case ReplyVerdict::Complaint::Crc:
        tell(kCrcFailed, kLinkTitle);
        break;
    case ReplyVerdict::Complaint::None:
        break;
    }
}

void DriveLink::ReadRegisters(quint8 station, float address, float count) {
    runRetried(station, kRead, address, count);
}

void DriveLink::WriteRegister(quint8 station, float address, float value) {
    runRetried(station, kWrite, address, value);
}

void DriveLink::runRetried(quint8 station, quint8 function, float address, float value) {
    if (nestedInLink()) {
        SendRequest(station, function, address, value); // refused, and says so in ReplyError
        return;
    }
    for (int attempt = 0;; ++attempt) {
        if (statusDisplay_)
            statusDisplay_->showBusy();
        SendRequest(station, function, address, value);
        WaitMs(ReplyWaitMs());
        ReceiveReply(station, function);
        if (state_.replyError == 0)
            break;
        // A port fault has been shown already; the attempts left would only show it again.
        if (attempt + 1 >= attempts::kLinkWrapper || state_.portFaulted) {
            tell(variant_.failureMessage, variant_.failureTitle);
            tuningIdle_ = true;
            return; // the lamp keeps showing busy: the link is in doubt
        }
    }
    WaitMs(ReplyWaitMs());
    if (statusDisplay_)
        statusDisplay_->showIdle();
}

quint16 DriveLink::ReadWord(int index) const {
    if (index < 0 || index >= state_.readValues.size())
        return 0;
    return quint16(qint32(state_.readValues.at(index)) & 0xFFFF);
}

float DriveLink::ToQ10(float plain) {
    q10Value_ = plain * 1024.0f;
    return q10Value_;
}

float DriveLink::FromQ10(float q10) {
    plainValue_ = q10 / 1024.0f;
    return plainValue_;
}

int DriveLink::ReplyWaitMs(int factor) const {
    return state_.expectedReplyLength * factor / std::max<int>(1, baudKilo_) + 30;
}

void DriveLink::tell(const QString& text, const QString& title) {
    // A message box runs its own event loop; anything refused meanwhile must not change what the
    // transaction underneath sees afterwards.
    const TransactionState underneath = state_;
    const int refusalsBefore = refusals_;
    ++promptDepth_;
    prompter_.tell(text, title);
    --promptDepth_;
    tellIfFree();
    if (refusals_ != refusalsBefore)
        state_ = underneath;
}

void DriveLink::tellIfFree() {
    if (!busy())
        emit becameFree();
}

void DriveLink::reportPortFault() {
    state_.portFaulted = true;
    state_.requestSent = false;
    state_.replyError = kUnreachable; // a dead port is no success
    tell(port_.errorString(), QString());
}

} // namespace kiro
