#include "BenchSession.h"

#include <cstdio>

namespace {

const char* const kUsage =
    "usage: qzcli --variant x7|qz318 --port COMn [--trace] [--reply-margin MS] COMMAND "
    "[ARGUMENTS]\n"
    "\n"
    "Options may stand before or after the command.\n"
    "  --trace            every frame sent and received, in hex with milliseconds, on\n"
    "                     standard error; replies that came only within the margin are\n"
    "                     marked \"late\"\n"
    "  --reply-margin MS  extra milliseconds on every reply wait, for slow serial\n"
    "                     adapters (0 to 1000, default 0: the tuners' timing)\n"
    "\n"
    "Commands (station 1, 38400 baud; numbers are decimal, or hexadecimal with 0x):\n"
    "  read ADDR [COUNT]       read COUNT registers (default 1); one line per register:\n"
    "                          address, unsigned value, signed value\n"
    "  write ADDR VALUE        write VALUE (0..65535) to ADDR\n"
    "  step CURRENT [--kp N[,N...]] [--ki N[,N...]] [--metrics] [--keep-gains]\n"
    "                          current step test; CSV of the captured response, or with\n"
    "                          --metrics its figures; lists run every pair, Kp outer and\n"
    "                          Ki inner (1000,300 1000,600 2000,300 ...); after a sweep\n"
    "                          the drive gets back its Kp, Ki and step current (register\n"
    "                          4) unless --keep-gains; Ctrl+C stops after the running\n"
    "                          step, a second Ctrl+C, SIGTERM, SIGHUP or a closed pipe at\n"
    "                          once; the drive always leaves the test mode first\n"
    "  faults [--clear current|history]\n"
    "                          the ten fault words, or clear faults\n"
    "  archive save|restore FILE         (x7) parameter archive file\n"
    "  archive verify FILE               (x7) compare the drive with FILE: CSV of the\n"
    "                                    registers that differ (register,name,file,drive)\n"
    "  archive restore --verify FILE     (x7) restore, then compare as verify does\n"
    "  params save|load FILE.kvx         (qz318) parameter file\n"
    "  params verify FILE.kvx            (qz318) compare, as archive verify\n"
    "  params load --verify FILE.kvx     (qz318) load, then compare as verify does\n"
    "  params load|verify --by-position  accept lines whose names are not the built-in\n"
    "                                    names (the line's position decides)\n"
    "  params load|verify --force        accept values outside the valid ranges\n"
    "  params reset                      (qz318) factory parameters\n"
    "  commit                  commit the drive's parameters to EEPROM\n"
    "  tune [--current A] [--max-overshoot PCT] [--max-steps N] [--kp N] [--ki N]\n"
    "                          search Kp and Ki with step tests (default: half the peak\n"
    "                          current, 5 %, 40 steps, from the drive's gains); CSV of\n"
    "                          every step, then the best pair is written; Ctrl+C puts\n"
    "                          the drive's gains back and exits with 130\n"
    "\n";

} // namespace

BenchSession::BenchSession(const kiro::LinkVariant& variant, const QString& portName, bool trace,
                           int replyMarginMs)
    : variant_(variant), portName_(portName) {
    clock_.setReplyMarginMs(replyMarginMs);
    clock_.watchPort(&port_);
    if (!trace)
        return;
    tracer_ = std::make_unique<kiro::TracingSerialPort>(port_);
    // A reply read after a wait with a margin came late for the tuners when more bytes arrived
    // than were waiting at the end of their own wait.
    if (replyMarginMs > 0)
        tracer_->noteReceived([this](const QByteArray& bytes) {
            return clock_.bytesWaitingInTime() < bytes.size() ? QByteArray("late") : QByteArray();
        });
}

BenchSession::~BenchSession() {
    if (port_.isOpen())
        port_.close();
}

QString BenchSession::variantName() const {
    return &variant_ == &kiro::LinkVariant::x7() ? QStringLiteral("x7") : QStringLiteral("qz318");
}

kiro::DriveLink* BenchSession::openLink() {
    if (link_)
        return link_.get();
    // Opened through the trace, so that its clock starts with the port.
    kiro::SerialPort& line = tracer_ ? static_cast<kiro::SerialPort&>(*tracer_) : port_;
    port_.setPortName(portName_);
    port_.setSettings(QStringLiteral("38400,n,8,1"));
    port_.setBinaryInput(true);
    if (!line.open()) {
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(port_.errorString()));
        return nullptr;
    }
    link_ = std::make_unique<kiro::DriveLink>(line, clock_, prompter_, variant_);
    link_->setBaudKilo(38);
    return link_.get();
}

int BenchSession::usage(const QString& complaint) {
    if (!complaint.isEmpty())
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(complaint));
    std::fputs(kUsage, stderr);
    std::fputs(qPrintable(exitCodeHelp()), stderr);
    return kExitUsage;
}

void BenchSession::progress(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

std::optional<int> parseNumber(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? text.mid(2).toInt(&ok, 16)
                          : text.toInt(&ok, 10);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}
