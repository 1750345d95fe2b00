// Feeds arbitrary bytes to the reply acceptance and decoding of both drive variants, directly and
// through a whole ReceiveReply on a port that hands out the fuzzer's bytes.
//
// Input: byte 0 picks the layout (bit 0) and the request (bit 1: write, else read), byte 1 the
// register count of a read, byte 2 how many bytes the port claims to hold; the rest is the reply.

#include "link/DriveLink.h"
#include "link/LinkClock.h"
#include "link/Prompts.h"
#include "link/ReplyAcceptance.h"
#include "link/RequestFrame.h"
#include "link/SerialPort.h"

#include <cstddef>
#include <cstdint>

namespace {

class ReplayPort : public kiro::SerialPort {
public:
    QByteArray reply;
    int claimed = 0;

    void setPortNumber(int) override {}
    void setSettings(const QString&) override {}
    void setBinaryInput(bool) override {}
    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    bool discardOutput() override { return true; }
    bool discardInput() override { return true; }
    int bytesWaiting() override { return claimed; }
    bool readAll(QByteArray& bytes) override {
        bytes = reply;
        return true;
    }
    bool write(const QByteArray&) override { return true; }
    QString errorString() const override { return QStringLiteral("replay"); }
};

class InstantClock : public kiro::LinkClock {
public:
    qint64 now = 0;
    qint64 nowMs() override { return now; }
    void letEventsRun(qint64 deadline) override { now = deadline; }
};

class SilentPrompter : public kiro::Prompter {
public:
    kiro::PromptAnswer ask(const kiro::Prompt&) override { return kiro::PromptAnswer::Ok; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const auto layout =
        (data[0] & 1) ? kiro::ReplyLayout::NarrowByteCount : kiro::ReplyLayout::WideByteCount;
    const bool write = data[0] & 2;
    const int count = data[1];
    const QByteArray reply(reinterpret_cast<const char*>(data + 3), int(size - 3));

    const quint8 function = write ? 6 : 3;
    const float value = write ? float(count * 257) : float(count);
    const auto frame = kiro::BuildRequestFrame(1, function, 31.0f, value);
    const kiro::PendingRequest request{
        1, function, *kiro::ExpectedReplyLengthFor(function, value, 0), value, frame->data};
    const kiro::ReplyVerdict verdict = kiro::CheckReply(layout, request, reply);
    if (verdict.values && verdict.values->size() != count)
        __builtin_trap();
    kiro::DecodeRegisters(layout, reply, count);

    ReplayPort port;
    port.reply = reply;
    port.claimed = data[2] % 4 == 0 ? int(reply.size()) : data[2];
    InstantClock clock;
    SilentPrompter prompter;
    kiro::DriveLink link(port, clock, prompter,
                         layout == kiro::ReplyLayout::WideByteCount ? kiro::LinkVariant::x7()
                                                                    : kiro::LinkVariant::qz318());
    link.setBaudKilo(38);
    link.SendRequest(1, function, 31.0f, value);
    link.ReceiveReply(1, function);
    if (link.ReplyError() == 0 && !write && link.ReadValues().size() != count)
        __builtin_trap();
    return 0;
}
